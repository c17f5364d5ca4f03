// The web page against the native program: one table of files (the example files, files made
// by sox and ffmpeg, and files made here), each converted by the page in headless Chromium and
// by build/norvistrand in the command-line mode with the same options. Their lines, exit
// status, signal file names and signal files' bytes must be the same, and the page must make
// no request that leaves the machine.
//   node browser_test.js PAGE NATIVE_PROGRAM WORK_FOLDER [PART]
// With PART, only the rows whose description holds it run.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');
const driver = require('./page_driver.js');

const [pagePath, nativeProgram, workFolder, part = ''] = process.argv.slice(2);
const made = path.join(workFolder, 'files');
const BatchMilliseconds = 60000;
const LongFileMilliseconds = 300000;
const LongFileSamples = 10000000;

// A Wave file: a format chunk of the given fields, any chunks before the data, the data chunk
// with its size field (the data's length unless given) and the data bytes.
function wave({tag = 1, channels = 1, rate = 8000, bits = 16, align, data, dataSize, before}) {
    const blockAlign = align ?? channels * Math.ceil(bits / 8);
    const format = Buffer.alloc(24);
    format.write('fmt ', 0);
    format.writeUInt32LE(16, 4);
    format.writeUInt16LE(tag, 8);
    format.writeUInt16LE(channels, 10);
    format.writeUInt32LE(rate, 12);
    format.writeUInt32LE(rate * blockAlign, 16);
    format.writeUInt16LE(blockAlign, 20);
    format.writeUInt16LE(bits, 22);
    const dataHeader = Buffer.alloc(8);
    dataHeader.write('data', 0);
    dataHeader.writeUInt32LE(dataSize ?? data.length, 4);
    const body =
        Buffer.concat([Buffer.from('WAVE'), format, before ?? Buffer.alloc(0), dataHeader, data]);
    const riff = Buffer.alloc(8);
    riff.write('RIFF', 0);
    riff.writeUInt32LE(body.length, 4);
    return Buffer.concat([riff, body]);
}

// Repeatable noise: count bytes from a linear congruential generator.
function noise(count, seed = 1) {
    const bytes = Buffer.alloc(count);
    let state = seed >>> 0;
    for (let i = 0; i < count; ++i) {
        state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
        bytes[i] = state >>> 24;
    }
    return bytes;
}

function makeFile(name, bytes) {
    const file = path.join(made, name);
    fs.writeFileSync(file, bytes);
    return file;
}

// A folder, chosen as a file: the browser gives it as a File whose bytes cannot be read.
function makeFolder(name) {
    const folder = path.join(made, name);
    fs.mkdirSync(folder);
    return folder;
}

// A file a sound tool makes; its command line, run by sh, writes to OUT.
function toolFile(name, command) {
    const file = path.join(made, name);
    childProcess.execSync(command.replace('OUT', `'${file}'`), {stdio: 'ignore', timeout: 60000});
    return file;
}

function makeFiles() {
    fs.rmSync(made, {recursive: true, force: true});
    fs.mkdirSync(made, {recursive: true});
    const sox = 'sox -R -D -n';
    const sweep = 'synth 0.4 sine 200-3000 gain -n -1';
    const list =
        Buffer.concat([Buffer.from('LIST'), Buffer.from([6, 0, 0, 0]), Buffer.from('INFOab')]);
    return {
        chirp8: 'examples/chirp8.wav',
        chirp16: 'examples/chirp16.wav',
        chirp24: 'examples/chirp24.wav',
        sox8: toolFile('sox8.wav', `${sox} -r 11025 -b 8 -c 1 OUT ${sweep}`),
        sox16: toolFile('sox 16 é.wav', `${sox} -r 44100 -b 16 -c 1 OUT ${sweep}`),
        sox24: toolFile('sox24.wav', `${sox} -r 48000 -b 24 -c 1 OUT ${sweep}`),
        soxPiped:
            toolFile('sox-piped.wav', `${sox} -r 8000 -b 16 -c 1 -t wav - ${sweep} | cat > OUT`),
        soxStereo: toolFile('sox-stereo.wav', `${sox} -r 8000 -b 16 -c 2 OUT ${sweep}`),
        soxFloat:
            toolFile('sox-float.wav', `${sox} -r 8000 -e floating-point -b 32 -c 1 OUT ${sweep}`),
        ffmpegPiped: toolFile(
            'ffmpeg-piped.wav',
            'ffmpeg -nostdin -v error -f lavfi ' +
                '-i sine=f=440:d=0.3:r=8000 -c:a pcm_s16le -f wav pipe:1 | cat > OUT'),
        empty: makeFile('empty.wav', wave({data: Buffer.alloc(0)})),
        listBefore: makeFile('list.wav', wave({bits: 24, data: noise(3000, 7), before: list})),
        cutShort: makeFile('cut.wav', wave({data: noise(1000, 3), dataSize: 4000})),
        text: makeFile('text.wav', Buffer.from('not a wave file at all\n')),
        notPacked: makeFile('slots.wav', wave({bits: 24, align: 4, data: noise(400, 5)})),
        twelveBits: makeFile('twelve.wav', wave({bits: 12, data: noise(400, 9)})),
        sigName: makeFile('self.sig', wave({data: noise(400, 11)})),
        dash: makeFile('-', wave({data: noise(400, 23)})),
        folder: makeFolder('folder.wav'),
        long: makeFile(
            'long24.wav', wave({bits: 24, rate: 48000, data: noise(3 * LongFileSamples, 13)})),
        // Two signal files of 175 MB a batch, three batches: more than the browser's store for
        // Blobs holds, unless each batch lets go of the last one's files.
        longA: makeFile('long16a.wav', wave({rate: 48000, data: noise(2 * LongFileSamples, 17)})),
        longB: makeFile('long16b.wav', wave({rate: 48000, data: noise(2 * LongFileSamples, 19)})),
        // More than the ten downloads a browser lets one click make.
        zipped: Array.from(
            {length: 15},
            (_, i) => makeFile(
                `zip ${i + 1} é.wav`,
                wave({bits: 8 + 8 * (i % 3), data: noise(300 + 30 * i, 31 + i)}))),
        lower: makeFile('a.wav', wave({data: noise(400, 41)})),
        upper: makeFile('a.WAV', wave({data: noise(600, 43)})),
        changed: makeFile('changed.wav', wave({data: noise(400, 47)})),
        longName: makeFile(`${'ALongNameOfATake'.repeat(6)}.wav`, wave({data: noise(400, 53)})),
        three24:
            makeFile('three24.wav', wave({channels: 3, bits: 24, data: noise(3 * 3 * 700, 61)})),
        stereo8: makeFile('stereo8.wav', wave({channels: 2, bits: 8, data: noise(2 * 900, 67)})),
        spikes: makeFile('spikes.wav', wave({channels: 2, data: spikes(SpikesFrames, SpikeAt)})),
    };
}

// Quiet 16-bit stereo noise with one loud sample in each channel, at the frames given.
const SpikesFrames = 8000;
const SpikeAt = [6000, 1000];

function spikes(frames, at) {
    const data = Buffer.alloc(4 * frames);
    const quiet = noise(2 * frames, 71);
    for (let i = 0; i < 2 * frames; ++i) data.writeInt16LE((quiet[i] - 128) * 8, 2 * i);
    at.forEach((frame, k) => data.writeInt16LE(k === 0 ? 30000 : -28000, 4 * frame + 2 * k));
    return data;
}

// What each row converts, with which options; `needs` names an option the native program
// must know for the row to run (its --help names it).
function table(files) {
    return [
        {file: files.chirp8, options: []},
        {file: files.chirp16, options: []},
        {file: files.chirp24, options: []},
        {file: files.sox8, options: []},
        {file: files.sox16, options: []},
        {file: files.sox24, options: []},
        {file: files.sox24, options: ['--extensible']},
        {file: files.soxPiped, options: []},
        {file: files.soxPiped, options: ['--data-to-end']},
        {file: files.ffmpegPiped, options: []},
        {file: files.ffmpegPiped, options: ['--data-to-end']},
        {file: files.soxStereo, options: []},
        {file: files.soxStereo, options: ['--channel=2'], needs: '--channel'},
        {file: files.soxStereo, options: ['--channel=3'], needs: '--channel'},
        {file: files.soxStereo, options: ['--channel=0'], needs: '--channel'},
        {file: files.soxStereo, options: ['--channel=1e'], needs: '--channel'},
        {file: files.soxStereo, options: ['--channel= 2'], needs: '--channel'},
        {file: files.soxStereo, options: ['--channel=all'], needs: '--mix'},
        {file: files.three24, options: ['--channel=all'], needs: '--mix'},
        {file: files.three24, options: ['--channel=all', '--common-peak'], needs: '--mix'},
        {file: files.soxStereo, options: ['--channel=2', '--common-peak'], needs: '--mix'},
        {file: files.three24, options: ['--channel=all', '--npy'], needs: '--mix'},
        {file: files.stereo8, options: ['--mix'], needs: '--mix'},
        {file: files.three24, options: ['--mix'], needs: '--mix'},
        {file: files.soxStereo, options: ['--channel=all', '--mix'], needs: '--mix'},
        {file: files.soxStereo, options: ['--common-peak'], needs: '--mix'},
        {file: files.soxFloat, options: []},
        {file: files.soxFloat, options: ['--any-pcm'], needs: '--any-pcm'},
        {file: files.empty, options: []},
        {file: files.listBefore, options: []},
        {file: files.cutShort, options: []},
        {file: files.cutShort, options: ['--data-to-end']},
        {file: files.text, options: []},
        {file: files.notPacked, options: []},
        {file: files.twelveBits, options: []},
        {file: files.sigName, options: []},
        {file: files.dash, options: []},
        {file: files.folder, options: []},
        {file: files.long, options: [], long: true},
        {file: files.longA, options: [], long: true, rounds: 3},
        {file: files.longB, options: [], long: true, rounds: 3},
    ];
}

function describe(row) {
    const rounds = row.rounds ? ` (${row.rounds} times)` : '';
    return `${path.basename(row.file)} ${row.options.join(' ')}`.trim() + rounds;
}

function compare(inPage, native) {
    const faults = [];
    for (const field of ['text', 'status', 'signalName', 'size', 'sha256', 'signals']) {
        if (inPage[field] !== native[field]) {
            faults.push(
                `${field}: page ${JSON.stringify(inPage[field])}, ` +
                `native ${JSON.stringify(native[field])}`);
        }
    }
    return faults;
}

function nativeOf(file, options = []) {
    return driver.runNative(nativeProgram, file, options, path.join(workFolder, 'native'));
}

// [] where it holds, else the fault.
function unless(holds, fault) {
    return holds ? [] : [fault];
}

// python's zipfile over the archive: what the script prints, as JSON.
function zipfileSays(archive, script) {
    const run = childProcess.execFileSync('python3', [
        '-c', `import zipfile, sys, json, hashlib\nz = zipfile.ZipFile(sys.argv[1])\n${script}`,
        archive
    ]);
    return JSON.parse(run.toString());
}

// How many pixels of each colour ('#rrggbb') each column of the PNG image holds, the image
// decoded by the browser in a blank page of its own.
async function colourColumns(browser, png, colours) {
    const blank = await browser.newPage();
    try {
        return await blank.evaluate(async (base64, wanted) => {
            const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
            const image = await createImageBitmap(new Blob([bytes], {type: 'image/png'}));
            const context = new OffscreenCanvas(image.width, image.height).getContext('2d');
            context.drawImage(image, 0, 0);
            const {data} = context.getImageData(0, 0, image.width, image.height);
            return wanted.map((colour) => {
                const columns = new Array(image.width).fill(0);
                for (let at = 0; at < data.length; at += 4) {
                    const rgb = '#' +
                        Array
                            .from(data.subarray(at, at + 3), (v) => v.toString(16).padStart(2, '0'))
                            .join('');
                    if (rgb === colour) columns[(at / 4) % image.width] += 1;
                }
                return columns;
            });
        }, png.toString('base64'), colours);
    } finally {
        await blank.close();
    }
}

// The rows that drive the page as a person would, each giving its faults.
const behaviours = [
    {
        what: 'a picture of each channel in a screenshot: its envelope drawn, its peak marked ' +
            'where the loud sample is, and a label saying so',
        async check(page, files) {
            const results = await driver.convertInPage(
                page, [files.spikes], ['--channel=all'], BatchMilliseconds);
            if (results.length !== 1 || results[0].status !== 0)
                return [`converted: ${results[0]?.text}`];
            const style = await page.evaluate(() => ({...Picture, columns: PictureColumns}));
            const canvases = await page.$$('#results canvas');
            if (canvases.length !== 2) return [`${canvases.length} pictures, not 2`];
            const faults = [];
            for (const [k, canvas] of canvases.entries()) {
                const [envelope, peak] = await colourColumns(
                    page.browser(), await canvas.screenshot(), [style.envelope, style.peak]);
                const drawn = envelope.filter((count) => count > 0).length;
                const marked = peak.findIndex((count) => count >= (style.bottom - style.top) / 2);
                // Where the loud sample falls along the plot, right of the canvas's border.
                const expected = 1 + style.left + SpikeAt[k] / SpikesFrames * style.columns;
                const label =
                    await canvas.evaluate((element) => element.getAttribute('aria-label'));
                faults.push(
                    ...unless(
                        drawn >= style.columns - 2,
                        `channel ${k + 1}: envelope in ${drawn} columns`),
                    ...unless(
                        Math.abs(marked - expected) <= 2,
                        `channel ${k + 1}: peak marked at x ${marked}, not ${expected.toFixed(1)}`),
                    ...unless(
                        label.includes(`at sample ${SpikeAt[k] + 1}`) && label.includes('-1 to 1'),
                        `channel ${k + 1}: labelled ${label}`));
            }
            return faults;
        }
    },
    {
        what: '15 files in one ZIP archive by "Download all", each as the native program writes it',
        async check(page, files) {
            await driver.convertInPage(page, files.zipped, [], BatchMilliseconds);
            const folder = path.join(workFolder, 'downloads');
            const {begun, files: arrived} = await driver.downloadAll(page, folder);
            const name = 'norvistrand-signal-files.zip';
            if (begun.length !== 1 || arrived.join() !== name) return [`downloads ${begun}`];
            // The first entry whose CRC-32 is wrong, or the SHA-256 of each entry.
            const entries = zipfileSays(
                path.join(folder, name),
                'print(json.dumps(z.testzip() or {i.filename: ' +
                    'hashlib.sha256(z.read(i)).hexdigest() for i in z.infolist()}))');
            if (typeof entries === 'string') return [`a wrong CRC-32 in ${entries}`];
            return files.zipped.map((file) => nativeOf(file))
                .flatMap(
                    (native) => unless(
                        entries[native.signalName] === native.sha256,
                        `${native.signalName} differs`))
                .concat(unless(Object.keys(entries).length === 15, 'entries not the files'));
        }
    },
    {
        what: 'the ZIP64 fields of an entry past 4 GB and of one after it',
        async check(page) {
            const big = 2 ** 32 + 5;
            const parts = await page.evaluate(
                (size) =>
                    archiveParts([
                        {name: 'big.sig', data: {size}, crc: 0, date: new Date()},
                        {name: 'small.sig', data: {size: 3}, crc: 0xff41d912, date: new Date()},
                    ]).map((part) => (part instanceof Uint8Array ? Array.from(part) : part.size)),
                big);
            // The entries' bytes are holes in the file: zeros.
            const archive = path.join(workFolder, 'big.zip');
            const out = fs.openSync(archive, 'w');
            let at = 0;
            for (const part of parts) {
                at += part.length ? fs.writeSync(out, Buffer.from(part), 0, part.length, at) : part;
            }
            fs.closeSync(out);
            const said = zipfileSays(
                archive,
                'print(json.dumps([z.getinfo("big.sig").file_size, ' +
                    'z.getinfo("small.sig").header_offset, z.read("small.sig") == bytes(3)]))');
            fs.rmSync(archive);
            const expected = [big, 30 + 'big.sig'.length + 20 + big, true];
            return unless(said.join() === expected.join(), `zipfile read ${said}, not ${expected}`);
        }
    },
    {
        what: 'a choice made while a long file converts: shown at once as waiting, converted ' +
            'after it with the options it was chosen with, both links kept',
        async check(page, files) {
            await driver.clearResults(page);
            const batches = await driver.batchesDone(page);
            await driver.setOptions(page, []);
            await driver.chooseFiles(page, [files.long]);
            await driver.setOptions(page, ['--data-to-end']);
            await driver.chooseFiles(page, [files.cutShort]);
            const shown = await page
                              .waitForFunction(
                                  () => {
                                      const lines = document.querySelectorAll('#results .result');
                                      return document.body.dataset.state === 'busy' &&
                                          lines.length === 2 &&
                                          lines[1].textContent === 'cut.wav: waiting';
                                  },
                                  {timeout: 10000, polling: 50})
                              .then(() => true, () => false);
            await driver.setOptions(page, []);
            await driver.waitForBatches(page, batches + 1, LongFileMilliseconds);
            const results = await driver.resultsInPage(page);
            return unless(shown, 'the second choice was not shown as waiting below the first')
                .concat(
                    unless(results.length === 2, `${results.length} results`),
                    compare(results[0], nativeOf(files.long)),
                    compare(results[1] ?? {}, nativeOf(files.cutShort, ['--data-to-end'])));
        }
    },
    {
        what:
            'a.wav, a.WAV and a.wav in one choice refused and skipped as one run does; a.wav chosen ' +
            'again replaces the link of the first, and its own line says so',
        async check(page, files) {
            await driver.convertInPage(
                page, [files.lower, files.upper, files.lower], [], BatchMilliseconds);
            const [first, upper, twice, again] =
                await driver.addInPage(page, [files.lower], [], BatchMilliseconds);
            const native = nativeOf(files.lower);
            const run = childProcess.spawnSync(
                path.resolve(nativeProgram), ['a.wav', 'a.WAV', 'a.wav'],
                {cwd: path.dirname(files.lower), encoding: 'utf8', timeout: 60000});
            const said = run.stderr.split('\n');
            const line = said.find((one) => one.includes('a.WAV'));
            // The same file named again is converted once, the second naming skipped.
            const skipped = said.find((one) => one.startsWith('norvistrand: a.wav: skipped'));
            const refused = {
                ...native,
                text: line,
                status: 1,
                signalName: null,
                size: 0,
                sha256: null,
                signals: ''
            };
            return [
                ...compare(first, {...refused, text: native.text, status: 0}),
                ...compare(upper, refused),
                ...compare(twice, {...refused, text: skipped, status: 0}),
                ...compare({...again, text: again.text.split('\n').slice(1).join('\n')}, native),
                ...unless(
                    again.text.split('\n').length === native.text.split('\n').length + 1,
                    `no line of its own says the link was replaced: ${again.text}`),
            ];
        }
    },
    {
        what: 'a file changed on disk before "Convert again"',
        async check(page, files) {
            const [first] =
                await driver.convertInPage(page, [files.changed], [], BatchMilliseconds);
            fs.writeFileSync(files.changed, wave({data: noise(800, 59)}));
            const later = new Date(Date.now() + 5000);
            fs.utimesSync(files.changed, later, later);
            const batches = await driver.batchesDone(page);
            await page.click('#again');
            await driver.waitForBatches(page, batches, BatchMilliseconds);
            const [, again] = await driver.resultsInPage(page);
            return unless(first.status === 0, `the first conversion: ${first.text}`)
                .concat(unless(
                    again.status !== 0 && !again.signalName &&
                        again.text.includes('since it was chosen'),
                    `converted again: ${again.text}`));
        }
    },
    {
        what: 'a 320 px window: no sideways scroll, and each "->" on one line',
        async check(page, files) {
            await page.setViewport({width: 320, height: 640});
            await driver.convertInPage(
                page, [files.longName, files.chirp16], [], BatchMilliseconds);
            const {wide, broken} = await page.evaluate(
                () => ({
                    wide:
                        document.documentElement.scrollWidth - document.documentElement.clientWidth,
                    broken: Array.from(document.querySelectorAll('.arrow'))
                                .filter((arrow) => arrow.getClientRects().length !== 1)
                                .length,
                }));
            await page.setViewport({width: 800, height: 600});
            return unless(wide <= 0, `${wide} px of sideways scroll`)
                .concat(unless(broken === 0, `${broken} arrows broken over two lines`));
        }
    },
];

async function main() {
    const help = childProcess.execFileSync(nativeProgram, ['--help']).toString();
    const files = makeFiles();
    const rows = table(files).filter((row) => {
        if (!describe(row).includes(part)) return false;
        if (!row.needs || help.includes(row.needs)) return true;
        console.log(`SKIP ${describe(row)}: the program has no ${row.needs} yet`);
        return false;
    });
    // The rows of one set of options go to the page together, as one choice of files.
    const batches = new Map();
    for (const row of rows) {
        const key = JSON.stringify([row.options, Boolean(row.long), row.rounds ?? 1]);
        if (!batches.has(key)) batches.set(key, []);
        batches.get(key).push(row);
    }
    const {browser, page, requests, errors} = await driver.openPage(pagePath);
    let failed = 0;
    try {
        for (const batch of batches.values()) {
            const timeout = batch[0].long ? LongFileMilliseconds : BatchMilliseconds;
            const rounds = [];
            for (let round = 0; round < (batch[0].rounds ?? 1); ++round) {
                rounds.push(await driver.convertInPage(
                    page, batch.map((row) => row.file), batch[0].options, timeout));
            }
            batch.forEach((row, i) => {
                const native = driver.runNative(
                    nativeProgram, row.file, row.options, path.join(workFolder, 'native'));
                const faults = rounds.flatMap((results, round) => {
                    const faulted = results.length === batch.length ? compare(results[i], native) :
                                                                      ['the page gave no result'];
                    const which = rounds.length > 1 ? `batch ${round + 1}: ` : '';
                    return faulted.map((fault) => which + fault);
                });
                const results = rounds[rounds.length - 1];
                if (row.long && faults.length === 0) {
                    console.log(
                        `     ${LongFileSamples} samples: page ` +
                        `${results[i].milliseconds.toFixed(0)} ms, native ` +
                        `${native.milliseconds.toFixed(0)} ms`);
                }
                failed += faults.length > 0 ? 1 : 0;
                console.log(`${faults.length > 0 ? 'FAIL' : 'PASS'} ${describe(row)}`);
                for (const fault of faults) console.log(`     ${fault}`);
            });
        }
        for (const behaviour of behaviours.filter(({what}) => what.includes(part))) {
            const faults = await behaviour.check(page, files);
            failed += faults.length > 0 ? 1 : 0;
            console.log(`${faults.length > 0 ? 'FAIL' : 'PASS'} ${behaviour.what}`);
            for (const fault of faults) console.log(`     ${fault}`);
        }
    } finally {
        await browser.close();
    }
    for (const request of requests) console.log(`FAIL the page asked the network for ${request}`);
    for (const error of errors) console.log(`FAIL the page's script failed: ${error}`);
    failed += requests.length + errors.length;
    console.log(failed === 0 ? 'web: every row as the native program' : `web: ${failed} failed`);
    process.exit(failed === 0 ? 0 : 1);
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
