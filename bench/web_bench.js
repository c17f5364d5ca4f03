// The web page's conversion time per sample against the native command-line mode's, on
// 10,000,000 16- and 24-bit samples: the best of a few runs each, alternating, the page's after
// one run to warm it up (its first conversion touches fresh memory); a native program that can
// use several threads is timed on one as well. Also the module alone, run here in node (an
// older V8 than Chromium's) with the signal file's bytes thrown away, and the browser alone
// holding that many bytes as a Blob. The page converts with its picture of each signal and
// without (its "Show a picture" box cleared), in turn.
//   NODE_PATH=build-web/node/node_modules node bench/web_bench.js \
//       build-web/norvistrand.html build/norvistrand build-web/bench [SAMPLES] [RUNS]
'use strict';

const childProcess = require('child_process');
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

// The module (build-web/module/norvistrand_web.wasm) converting the file with no page around it,
// gathering the envelope of a picture of so many columns (0: none).
function moduleAlone(file, columns = 0) {
    const wave = fs.readFileSync(file);
    let instance = null;
    const memory = (at, length) => new Uint8Array(instance.exports.memory.buffer, at, length);
    const ignore = () => {};
    instance = new WebAssembly.Instance(
        new WebAssembly.Module(fs.readFileSync('build-web/module/norvistrand_web.wasm')), {
            norvistrand: {
                read: (number, offset, target, count) =>
                    memory(target, count).set(wave.subarray(offset, offset + count)),
                write: ignore,
                named: ignore,
                dropped: ignore,
                stream: ignore,
            },
            wasi_snapshot_preview1:
                {clock_time_get: () => 0, fd_write: () => 8, fd_seek: () => 8, fd_close: () => 0},
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
        instance.exports.RunArguments(1, columns);
        if (run > 0) best = Math.min(best, performance.now() - start);
    }
    return best;
}

// The floor the page stands on: the milliseconds this browser takes to hold size bytes as a
// Blob, made as the page's worker makes a signal file's (64 MB parts from one buffer, until
// its last byte can be read), with no conversion. The best of runs.
async function blobFloor(page, size, runs) {
    return page.evaluate(
        (bytes, times) => new Promise((resolve, reject) => {
            const source = `onmessage = async (event) => {
            const [size, runs] = event.data;
            const part = new Uint8Array(64 * 1024 * 1024).fill(48);
            let best = Infinity;
            for (let run = 0; run < runs; ++run) {
                const start = performance.now();
                const parts = [];
                for (let at = 0; at < size; at += part.length) {
                    parts.push(new Blob([part.subarray(0, Math.min(part.length, size - at))]));
                }
                const blob = new Blob(parts);
                await blob.slice(size - 1).arrayBuffer();
                best = Math.min(best, performance.now() - start);
            }
            postMessage(best);
        };`;
            const worker = new Worker(URL.createObjectURL(new Blob([source])));
            worker.onmessage = (event) => {
                worker.terminate();
                resolve(event.data);
            };
            worker.onerror = (event) => reject(new Error(event.message));
            worker.postMessage([bytes, times]);
        }),
        size, runs);
}

// The page's conversion of the file, with or without its picture: its milliseconds.
async function convertInPage(page, file, pictures, nativeSha256) {
    await page.evaluate((on) => {
        document.getElementById('pictures').checked = on;
    }, pictures);
    const [inPage] = await driver.convertInPage(page, [file], [], 600000);
    if (inPage.sha256 !== nativeSha256) throw new Error(`${file}: bytes differ`);
    return inPage.milliseconds;
}

// The native program's runs to compare with: as it runs by default, and on one thread too
// where it can use more.
function nativeSettings(nativeProgram) {
    const help = childProcess.spawnSync(nativeProgram, ['--help'], {encoding: 'utf8'}).stdout;
    return help.includes('--threads') ? [[], ['--threads=1']] : [[]];
}

async function main() {
    fs.mkdirSync(folder, {recursive: true});
    const settings = nativeSettings(nativeProgram);
    const {browser, page} = await driver.openPage(pagePath);
    try {
        for (const bits of [16, 24]) {
            const file = noiseWave(bits);
            const columns = await page.evaluate(() => PictureColumns);
            const nativeBest = settings.map(() => Infinity);
            let pageBest = Infinity;
            let plainBest = Infinity; // the page with no pictures
            let nativeSha256 = null;
            let signalSize = 0;
            await driver.convertInPage(page, [file], [], 600000);
            for (let run = 0; run < runs; ++run) {
                settings.forEach((options, which) => {
                    const native =
                        driver.runNative(nativeProgram, file, options, path.join(folder, 'native'));
                    if (native.status !== 0) throw new Error(`${bits} bits: ${native.text}`);
                    nativeBest[which] = Math.min(nativeBest[which], native.milliseconds);
                    nativeSha256 = native.sha256;
                    signalSize = native.size;
                });
                pageBest = Math.min(pageBest, await convertInPage(page, file, true, nativeSha256));
                plainBest =
                    Math.min(plainBest, await convertInPage(page, file, false, nativeSha256));
            }
            const perSample = (milliseconds) => (milliseconds * 1e6 / samples).toFixed(1);
            const against = settings.map(
                (options, which) => `native${options.length ? ` ${options.join(' ')}` : ''} ` +
                    `${perSample(nativeBest[which])} ns, ` +
                    `${(pageBest / nativeBest[which]).toFixed(2)}x`);
            console.log(
                `${bits} bits, ${samples} samples: page ${perSample(pageBest)} ns per ` +
                `sample; ${against.join('; ')}; the module alone ` +
                `${perSample(moduleAlone(file))} ns; a Blob of the signal file's ` +
                `${signalSize} bytes alone ${
                    perSample(await blobFloor(page, signalSize, runs))} ns`);
            console.log(
                `${bits} bits: the page with pictures ${pageBest.toFixed(0)} ms, without ` +
                `${plainBest.toFixed(0)} ms: ${
                    ((pageBest / plainBest - 1) * 100).toFixed(1)}% for the pictures; the module ` +
                `alone ${perSample(moduleAlone(file, columns))} ns with their envelope`);
        }
    } finally {
        await browser.close();
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
