// The page's worker: it runs the module, one file at a time, so the page never waits for a
// conversion. scripts/build_web.sh makes this the body of the page script's WorkerMain, whose
// source text the page starts the worker from. The page starts a worker for each choice of
// files and ends it when the next choice starts, which lets go at once of the parts of the
// signal files made here.
//
// Messages in:  {type: 'start', module}              the compiled module
//               {type: 'help'}                       asks for the module's --help text
//               {type: 'convert', files, readable, options, shown, columns}
//                   one choice of files (File objects), each converted in a run of its own as
//                   one run would convert them all; readable: whether each file could be read
//                   when it was chosen; options: as arguments; shown: the [signal name, wave
//                   name] of each signal file the page shows from earlier choices; columns:
//                   the columns of each signal's picture, 0 for none
// Messages out: {type: 'help', text}                 the module's --help text
//               {type: 'begin', index}               a file's conversion starts
//               {type: 'progress', index, percent}   of the file being converted
//               {type: 'result', index, text, status, signals}
//                   text: the lines the module wrote (standard error, then output); signals:
//                   each signal file written (one for each channel with --channel=all), in
//                   order, as {name, blob, crc, replaces, picture}: blob, its bytes; crc, their
//                   CRC-32; replaces: it replaces the page's one of that name; picture: its
//                   envelope (see signalPicture), or null
//               {type: 'done'}
'use strict';

// The page's own files are read a slice of up to 64 MB at a time (most whole, at their first
// read, since each read from the browser costs), and the made files' bytes are gathered here and
// become a Blob 64 MB at a time: neither takes room in the module's memory, whatever a file's
// length. The browser takes large Blobs at a much lower cost per byte than small ones.
const ReadSliceBytes = 64 * 1024 * 1024;
const GatherBytes = 64 * 1024 * 1024;
const KeepMilliseconds = 60000;
const ConversionAttempts = 2;
const RetryMilliseconds = 1500;

// WASI's error number for a descriptor that is not open.
const BadDescriptor = 8;

let instance = null;
let pageFiles = [];   // by the module's number: the page's File
let madeNames = [];   // by the module's number: the name a made file has, once renamed
let madeParts = [];   // by the module's number: the made file's bytes so far, as Blobs
let madeCrcs = [];    // by the module's number: the CRC-32 of the made file's bytes so far
let gathered = null;  // the bytes written last, not yet a Blob: {number, bytes, length}
let slice = null;     // the slice last read: {number, start, bytes}
let texts = ['', '']; // the run's standard output and standard error
let decoders = [];
let run = null; // the file being converted: {index, number, read, size, percent}

const encoder = new TextEncoder();

function memoryBytes(address, length) {
    return new Uint8Array(instance.exports.memory.buffer, address, length);
}

function readPageFile(number, offset, target, count) {
    if (!slice || slice.number !== number || offset < slice.start ||
        offset + count > slice.start + slice.bytes.length) {
        const file = pageFiles[number];
        const end = Math.min(file.size, offset + Math.max(count, ReadSliceBytes));
        // A folder, or a file changed on disk since it was chosen, cannot be read: the module
        // hears so, as from a disk that failed.
        try {
            const bytes = new FileReaderSync().readAsArrayBuffer(file.slice(offset, end));
            slice = {number, start: offset, bytes: new Uint8Array(bytes)};
        } catch {
            slice = null;
            return 1;
        }
    }
    const from = offset - slice.start;
    memoryBytes(target, count).set(slice.bytes.subarray(from, from + count));
    if (run && number === run.number) showProgress(count);
    return 0;
}

// Both passes read the samples once each: the share of twice the file read so far.
function showProgress(count) {
    run.read += count;
    const percent = Math.min(100, Math.floor(run.read * 50 / Math.max(run.size, 1)));
    if (percent === run.percent) return;
    run.percent = percent;
    postMessage({type: 'progress', index: run.index, percent});
}

// The bytes gathered become the next part of their made file.
function keepGathered() {
    if (!gathered || gathered.length === 0) return;
    const part = new Blob([gathered.bytes.subarray(0, gathered.length)]);
    (madeParts[gathered.number] ||= []).push(part);
    gathered.length = 0;
}

// The made file's Blob, once the browser holds all of it; null when it could not keep it (its
// store for Blobs is full) or has not taken it in KeepMilliseconds. Its last byte can be read
// only when all of it is there.
async function keptBlob(number) {
    keepGathered();
    const blob = new Blob(madeParts[number] || [], {type: 'application/octet-stream'});
    delete madeParts[number]; // the Blob holds them
    let timer = null;
    const late = new Promise((resolve, reject) => {
        timer = setTimeout(() => reject(new Error('late')), KeepMilliseconds);
    });
    try {
        await Promise.race([blob.slice(Math.max(blob.size - 1, 0)).arrayBuffer(), late]);
        return blob;
    } catch {
        return null;
    } finally {
        clearTimeout(timer);
    }
}

const imports = {
    norvistrand: {
        read: readPageFile,
        write(number, source, count) {
            madeCrcs[number] =
                instance.exports.UpdateCrc32(madeCrcs[number] || 0, source, count) >>> 0;
            if (!gathered) gathered = {number, bytes: new Uint8Array(GatherBytes), length: 0};
            if (gathered.number !== number || gathered.length + count > GatherBytes) {
                keepGathered();
                gathered.number = number;
            }
            if (count > GatherBytes) {
                (madeParts[number] ||= []).push(new Blob([memoryBytes(source, count)]));
                return;
            }
            gathered.bytes.set(memoryBytes(source, count), gathered.length);
            gathered.length += count;
        },
        named(number, name, length) {
            madeNames[number] = new TextDecoder().decode(memoryBytes(name, length));
        },
        dropped(number) {
            delete pageFiles[number];
            delete madeNames[number];
            delete madeParts[number];
            delete madeCrcs[number];
            if (gathered && gathered.number === number) gathered.length = 0;
            if (slice && slice.number === number) slice = null;
        },
        stream(which, text, length) {
            texts[which] += decoders[which].decode(memoryBytes(text, length), {stream: true});
        },
    },
    // What the C library asks of the system: the steady clock of the progress display, and the
    // standard streams for its own messages (none are expected: the program writes its lines
    // through stream above).
    wasi_snapshot_preview1: {
        clock_time_get(id, precision, time) {
            const nanoseconds = BigInt(Math.round(performance.now() * 1e6));
            new DataView(instance.exports.memory.buffer).setBigUint64(time, nanoseconds, true);
            return 0;
        },
        fd_write(fd, vectors, count, written) {
            const view = new DataView(instance.exports.memory.buffer);
            let total = 0;
            for (let i = 0; i < count; ++i) {
                const at = view.getUint32(vectors + 8 * i, true);
                const length = view.getUint32(vectors + 8 * i + 4, true);
                if (fd === 1 || fd === 2) imports.norvistrand.stream(fd - 1, at, length);
                total += length;
            }
            view.setUint32(written, total, true);
            return fd === 1 || fd === 2 ? 0 : BadDescriptor;
        },
        fd_seek: () => BadDescriptor,
        fd_close: () => 0,
    },
};

// A folder dropped or chosen comes as a File whose bytes cannot be read.
function readable(file) {
    try {
        new FileReaderSync().readAsArrayBuffer(file.slice(0, 1));
        return true;
    } catch {
        return false;
    }
}

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

// One run of the command-line mode with these arguments over these page files, each signal's
// envelope gathered over columns columns (none for 0).
function runModule(args, files, columns = 0) {
    pageFiles = [];
    madeNames = [];
    madeParts = [];
    madeCrcs = [];
    if (gathered) gathered.length = 0;
    slice = null;
    startTexts();
    const numbers = files.map((file) => {
        const [name] = putStrings([file.name]);
        const number = instance.exports.AddFile(name.length, readable(file) ? file.size : -1);
        pageFiles[number] = file;
        return number;
    });
    putStrings(args);
    if (run) run.number = numbers[0];
    const status = instance.exports.RunArguments(args.length, columns);
    endTexts();
    return status;
}

function startTexts() {
    texts = ['', ''];
    decoders = [new TextDecoder(), new TextDecoder()];
}

function endTexts() {
    texts = texts.map((text, which) => text + decoders[which].decode());
}

// The module's line for what befell the file outside it (PageEvent in web/web_entry.cpp),
// about the file named first of the strings; its exit status.
const PageEvent = {
    unkept: 0,
    changed: 1,
    replaces: 2
};

function sayPageEvent(event, strings) {
    startTexts();
    putStrings(strings);
    const status = instance.exports.SayPageEvent(event, strings.length);
    endTexts();
    return {text: texts[1] + texts[0], status};
}

// The envelope the module gathered of the signal file of the last run: {columns, samples,
// divisor, peakSample, peakAt, least, greatest}, samples as the wave file holds them (the
// signal's values are these divided by divisor); peakAt from 0, -1 for no sample.
function signalPicture(name) {
    const [encoded] = putStrings([name]);
    const at = instance.exports.SignalPicture(encoded.length);
    if (at === 0) return null;
    const head = new Float64Array(instance.exports.memory.buffer, at, 5);
    const columns = head[0];
    const values = new Float64Array(instance.exports.memory.buffer, at + 40, 2 * columns);
    return {
        columns,
        samples: head[1],
        divisor: head[2],
        peakSample: head[3],
        peakAt: head[4],
        least: values.slice(0, columns),
        greatest: values.slice(columns),
    };
}

// The name the file is given to the module under: as on the command line, a file called "-"
// is "./-", since "-" alone is standard input.
function argumentName(file) {
    return file.name === '-' ? './-' : file.name;
}

// Converts the file; when the browser could not keep its signal file, once more after a pause:
// the Blobs let go of just before (the last choice's, in the worker ended then) may take that
// long to leave the browser's store. A file that could be read when it was chosen and no longer
// can changed or went since.
async function convert(index, file, options, readableWhenChosen, shown, columns) {
    postMessage({type: 'begin', index});
    if (readableWhenChosen && !readable(file)) {
        postMessage(
            {type: 'result', index, ...sayPageEvent(PageEvent.changed, [file.name]), signals: []});
        return;
    }
    for (let attempt = 1;; ++attempt) {
        run = {index, number: -1, read: 0, size: file.size, percent: -1};
        let status = runModule(options.concat(['--', argumentName(file)]), [file], columns);
        run = null;
        let text = texts[1] + texts[0];
        // The files made, in the order the module made them: channel by channel.
        const made = [];
        madeNames.forEach((name, number) => made.push({name, number, crc: madeCrcs[number] || 0}));
        let signals = [];
        for (const {name, number, crc} of made) {
            const picture = columns > 0 ? signalPicture(name) : null;
            signals.push({name, blob: await keptBlob(number), crc, replaces: false, picture});
        }
        if (signals.some((signal) => !signal.blob)) {
            if (attempt < ConversionAttempts) {
                await new Promise((resolve) => setTimeout(resolve, RetryMilliseconds));
                continue;
            }
            ({text, status} = sayPageEvent(PageEvent.unkept, [file.name]));
            signals = [];
        }
        if (signals.length > 0) instance.exports.KeepWritten();
        for (const signal of signals) {
            signal.replaces = shown.has(signal.name);
            if (signal.replaces) {
                const said = sayPageEvent(
                    PageEvent.replaces, [file.name, signal.name, shown.get(signal.name)]);
                text = said.text + text;
            }
            shown.set(signal.name, file.name);
        }
        postMessage({type: 'result', index, text, status, signals});
        return;
    }
}

onmessage = async (event) => {
    const message = event.data;
    if (message.type === 'start') {
        instance = new WebAssembly.Instance(message.module, imports);
        instance.exports._initialize();
    } else if (message.type === 'help') {
        runModule(['--help'], []);
        postMessage({type: 'help', text: texts[0]});
    } else if (message.type === 'convert') {
        instance.exports.BeginChoice();
        const shown = new Map(message.shown);
        for (const [index, file] of message.files.entries()) {
            await convert(
                index, file, message.options, message.readable[index], shown, message.columns);
        }
        postMessage({type: 'done'});
    }
};
