// The web page's conversion time per sample against the native command-line mode's, on
// 10,000,000 16- and 24-bit samples: the best of a few runs each, the page's after one run to
// warm it up (its first conversion touches fresh memory). Also the module alone, run here in
// node (an older V8 than Chromium's) with the signal file's bytes thrown away.
//   NODE_PATH=build-web/node/node_modules node bench/web_bench.js \
//       build-web/norvistrand.html build/norvistrand build-web/bench [SAMPLES] [RUNS]
'use strict';

const fs = require('fs');
const path = require('path');
const driver = require('../tests/web/page_driver.js');

const [pagePath, nativeProgram, folder, samplesText, runsText] = process.argv.slice(2);
const samples = Number(samplesText || 10000000);
const runs = Number(runsText || 3);

// A mono Wave file of the given bits holding a repeatable noise.
function noiseWave(bits) {
    const dataBytes = samples * (bits / 8);
    const file = Buffer.alloc(44 + dataBytes);
    file.write('RIFF', 0);
    file.writeUInt32LE(36 + dataBytes, 4);
    file.write('WAVEfmt ', 8);
    file.writeUInt32LE(16, 16);
    file.writeUInt16LE(1, 20);
    file.writeUInt16LE(1, 22);
    file.writeUInt32LE(48000, 24);
    file.writeUInt32LE(48000 * (bits / 8), 28);
    file.writeUInt16LE(bits / 8, 32);
    file.writeUInt16LE(bits, 34);
    file.write('data', 36);
    file.writeUInt32LE(dataBytes, 40);
    let state = 12345;
    for (let i = 44; i < file.length; ++i) {
        state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
        file[i] = state >>> 24;
    }
    const name = path.join(folder, `noise${bits}.wav`);
    fs.writeFileSync(name, file);
    return name;
}

// The module (build-web/module/norvistrand_web.wasm) converting the file with no page around it.
function moduleAlone(file) {
    const wave = fs.readFileSync(file);
    let instance = null;
    const memory = (at, length) => new Uint8Array(instance.exports.memory.buffer, at, length);
    const ignore = () => {};
    instance = new WebAssembly.Instance(
        new WebAssembly.Module(fs.readFileSync('build-web/module/norvistrand_web.wasm')), {
            norvistrand: {
                read: (number, offset, target, count) =>
                    memory(target, count).set(wave.subarray(offset, offset + count)),
                write: ignore, named: ignore, dropped: ignore, stream: ignore,
            },
            wasi_snapshot_preview1: {clock_time_get: () => 0, fd_write: () => 8, fd_seek: () => 8,
                                     fd_close: () => 0},
        });
    instance.exports._initialize();
    const put = (text) => {
        const bytes = Buffer.from(`${text}\0`);
        memory(instance.exports.ReserveSpace(bytes.length), bytes.length).set(bytes);
        return bytes.length - 1;
    };
    let best = Infinity;
    for (let run = 0; run <= runs; ++run) {
        instance.exports.AddFile(put('noise.wav'), wave.length);
        put('noise.wav');
        const start = performance.now();
        instance.exports.RunArguments(1);
        if (run > 0) best = Math.min(best, performance.now() - start);
    }
    return best;
}

async function main() {
    fs.mkdirSync(folder, {recursive: true});
    const {browser, page} = await driver.openPage(pagePath);
    try {
        for (const bits of [16, 24]) {
            const file = noiseWave(bits);
            let nativeBest = Infinity;
            let pageBest = Infinity;
            await driver.convertInPage(page, [file], [], 600000);
            for (let run = 0; run < runs; ++run) {
                const native = driver.runNative(nativeProgram, file, [], path.join(folder, 'native'));
                nativeBest = Math.min(nativeBest, native.milliseconds);
                const [inPage] = await driver.convertInPage(page, [file], [], 600000);
                if (inPage.sha256 !== native.sha256) throw new Error(`${bits} bits: bytes differ`);
                pageBest = Math.min(pageBest, inPage.milliseconds);
            }
            const perSample = (milliseconds) => (milliseconds * 1e6 / samples).toFixed(1);
            console.log(`${bits} bits, ${samples} samples: native ${perSample(nativeBest)} ns, ` +
                        `page ${perSample(pageBest)} ns per sample, ` +
                        `${(pageBest / nativeBest).toFixed(2)}x; ` +
                        `the module alone ${perSample(moduleAlone(file))} ns`);
        }
    } finally {
        await browser.close();
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
