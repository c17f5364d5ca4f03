// The page's worker: it runs the module, one file at a time, so the page never waits for a
// conversion. scripts/build_web.sh makes this the body of the page script's WorkerMain, whose
// source text the page starts the worker from.
//
// Messages in:  {type: 'start', module}              the module's bytes
//               {type: 'convert', files, options}    File objects, and the options as arguments
// Messages out: {type: 'ready', help}                the module's --help text
//               {type: 'progress', index, percent}   of the file being converted
//               {type: 'result', index, name, text, status, signalName, signal, milliseconds}
//                   text: the lines the command-line mode wrote (standard error, then output);
//                   signal: a Blob of the signal file's bytes, or null
//               {type: 'done'}
'use strict';

// The module makes its files' bytes only through these, so its memory stays the same
// whatever the length of a file. The page's own files are read a slice at a time.
const ReadSliceBytes = 4 * 1024 * 1024;
// A made file's written pieces are folded into one Blob past this many bytes, which the
// browser may keep out of the worker's memory.
const FoldBytes = 16 * 1024 * 1024;

let instance = null;
// By the module's number: {blob, size} for the page's files, {name, parts, loose, size} for
// made ones (parts: Uint8Arrays and Blobs in order; loose: bytes not yet folded).
let files = [];
let slice = null; // the slice last read: {number, start, bytes}
let texts = ['', '']; // the run's standard output and standard error
let decoders = [];
let run = null; // the file being converted: {index, number, read, size, percent}

const encoder = new TextEncoder();

function memoryBytes(address, length) {
    return new Uint8Array(instance.exports.memory.buffer, address, length);
}

function readPageFile(number, offset, target, count) {
    const file = files[number];
    if (!slice || slice.number !== number || offset < slice.start ||
        offset + count > slice.start + slice.bytes.length) {
        const blob = file.blob || new Blob(file.parts.concat(file.loose));
        const end = Math.min(file.size, offset + Math.max(count, ReadSliceBytes));
        const bytes = new FileReaderSync().readAsArrayBuffer(blob.slice(offset, end));
        slice = {number, start: offset, bytes: new Uint8Array(bytes)};
    }
    const from = offset - slice.start;
    memoryBytes(target, count).set(slice.bytes.subarray(from, from + count));
    if (run && number === run.number) showProgress(count);
}

// Both passes read the samples once each: the share of twice the file read so far.
function showProgress(count) {
    run.read += count;
    const percent = Math.min(100, Math.floor(run.read * 50 / Math.max(run.size, 1)));
    if (percent === run.percent) return;
    run.percent = percent;
    postMessage({type: 'progress', index: run.index, percent});
}

function madeFile(number) {
    if (!files[number]) files[number] = {name: null, parts: [], loose: [], looseBytes: 0, size: 0};
    return files[number];
}

function fold(file) {
    file.parts = [new Blob(file.parts.concat(file.loose))];
    file.loose = [];
    file.looseBytes = 0;
}

function writePageFile(number, offset, source, count) {
    const file = madeFile(number);
    const bytes = memoryBytes(source, count).slice();
    if (offset === file.size) {
        file.loose.push(bytes);
        file.looseBytes += count;
        file.size += count;
        if (file.looseBytes > FoldBytes) fold(file);
        return;
    }
    fold(file);
    const whole = file.parts[0];
    const gap = new Uint8Array(Math.max(0, offset - file.size));
    file.parts = [whole.slice(0, offset), gap, bytes, whole.slice(offset + count)];
    file.size = Math.max(file.size, offset + count);
}

function cutPageFile(number, size) {
    const file = madeFile(number);
    fold(file);
    file.parts = [file.parts[0].slice(0, size), new Uint8Array(Math.max(0, size - file.size))];
    file.size = size;
    slice = null;
}

const imports = {
    norvistrand: {
        read: readPageFile,
        write: writePageFile,
        cut: cutPageFile,
        named(number, name, length) {
            madeFile(number).name = new TextDecoder().decode(memoryBytes(name, length));
        },
        dropped(number) {
            delete files[number];
            if (slice && slice.number === number) slice = null;
        },
        stream(which, text, length) {
            texts[which] += decoders[which].decode(memoryBytes(text, length), {stream: true});
        },
    },
    wasi_snapshot_preview1: {
        // The only clock the module reads: steady time for its progress display.
        clock_time_get(id, precision, time) {
            const nanoseconds = BigInt(Math.round(performance.now() * 1e6));
            new DataView(instance.exports.memory.buffer).setBigUint64(time, nanoseconds, true);
            return 0;
        },
    },
};

// Copies the strings into the module's space, each ended by a zero byte.
function putStrings(strings) {
    const encoded = strings.map((s) => encoder.encode(s));
    const length = encoded.reduce((sum, bytes) => sum + bytes.length + 1, 0);
    const space = memoryBytes(instance.exports.ReserveSpace(length), length);
    let at = 0;
    for (const bytes of encoded) {
        space.set(bytes, at);
        at += bytes.length + 1;
    }
    return encoded;
}

// One run of the command-line mode with these arguments over these page files.
function runModule(args, pageFiles) {
    files = [];
    slice = null;
    texts = ['', ''];
    decoders = [new TextDecoder(), new TextDecoder()];
    const numbers = pageFiles.map((file) => {
        const [name] = putStrings([file.name]);
        const number = instance.exports.AddFile(name.length, file.size);
        files[number] = {blob: file, size: file.size};
        return number;
    });
    putStrings(args);
    if (run) run.number = numbers[0];
    const status = instance.exports.RunArguments(args.length);
    texts = texts.map((text, which) => text + decoders[which].decode());
    return status;
}

function convert(index, file, options) {
    run = {index, number: -1, read: 0, size: file.size, percent: -1};
    const start = performance.now();
    const status = runModule(options.concat(['--', file.name]), [file]);
    const milliseconds = performance.now() - start;
    let signal = null;
    let signalName = null;
    for (const made of files) {
        if (!made || !made.name) continue;
        signalName = made.name;
        signal = new Blob(made.parts.concat(made.loose), {type: 'application/octet-stream'});
    }
    files = [];
    run = null;
    const text = texts[1] + texts[0];
    postMessage({type: 'result', index, name: file.name, text, status, signalName, signal,
                 milliseconds});
}

onmessage = (event) => {
    const message = event.data;
    if (message.type === 'start') {
        const module = new WebAssembly.Module(message.module);
        instance = new WebAssembly.Instance(module, imports);
        instance.exports._initialize();
        runModule(['--help'], []);
        postMessage({type: 'ready', help: texts[0]});
    } else if (message.type === 'convert') {
        message.files.forEach((file, index) => convert(index, file, message.options));
        postMessage({type: 'done'});
    }
};
