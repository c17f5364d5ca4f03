// The page: the form, the results and their downloads. scripts/build_web.sh puts ModuleBase64
// (the module), WorkerMain (web/worker.js) and archiveParts (web/zip_archive.js) before this,
// in the page's one script. Every line about a file is the module's: the page words none.
'use strict';

const form = {
    files: document.getElementById('files'),
    again: document.getElementById('again'),
    status: document.getElementById('status'),
    spoken: document.getElementById('spoken'),
    progress: document.getElementById('progress'),
    results: document.getElementById('results'),
    downloadAll: document.getElementById('download-all'),
    clear: document.getElementById('clear'),
    archive: document.getElementById('archive'),
    pictures: document.getElementById('pictures'),
};
const Flags = ['extensible', 'data-to-end', 'any-pcm', 'common-peak', 'mix', 'npy'];

// A signal's picture: its envelope, one column of pixels to a column of the module's, right
// of the axis running from -1 to 1; the peak marked. The colours are those the browser test
// looks for.
const Picture = {
    width: 600,
    height: 160,
    left: 34, // the plot's first column; the axis and its labels are left of it
    top: 8,
    bottom: 151,
    envelope: '#1f5fbf',
    peak: '#c00000',
    axis: '#595959',
};
const PictureColumns = Picture.width - Picture.left;

// Each choice of files: {files: [{file, handle, readable}], options, items}, items being the
// result element of each file. The choices wait their turn in order; one converts at a time.
let waiting = [];
let converting = null;            // the choice being converted
let lastChoice = null;            // for "Convert again"
let choosing = Promise.resolve(); // choices are looked at in the order they were made
let busy = true;                  // until the worker is ready
// The signal files shown, by name, in the order shown: {element, link, blob, crc, date,
// waveName}, element holding the link and the picture.
const kept = new Map();
// The work since the page was last idle, for the one progress: files in it, files done and
// how they ended.
let work = {total: 0, done: 0, converted: 0, notConverted: 0};
let started = 0; // when the file being converted began, in milliseconds
let worker = null;
let workerConverted = false; // the worker has converted a choice, and holds its signal files
// The signal files let go of (cleared, or replaced by a later file's), held weakly. The
// browser's store for Blobs is limited (to 500 MB in headless Chromium), and a Blob's bytes
// stay in it until the collector has taken every object that holds it: the files let go of
// must be gone before the next choice's take their place.
let letGo = [];
const LetGoRounds = 100;
const LetGoPauseMilliseconds = 20;
const NudgeBytes = 64 * 1024 * 1024;

function setState(state) {
    document.body.dataset.state = state;
}

// The options as the command line takes them; the channel as typed, so the module refuses
// what the command line refuses.
function chosenOptions() {
    const options = Flags.filter((flag) => document.querySelector(`[name="${flag}"]`).checked)
                        .map((flag) => `--${flag}`);
    const channel = document.querySelector('[name="channel"]').value;
    if (channel !== '') options.push(`--channel=${channel}`);
    return options;
}

// Controls for options that this build's command-line mode does not know are turned off.
function offerKnownOptions(help) {
    for (const name of Flags.concat(['channel'])) {
        if (help.includes(`--${name}`)) continue;
        const control = document.querySelector(`[name="${name}"]`);
        control.disabled = true;
        control.closest('label').append(' (not in this version)');
    }
}

// Whether the file's bytes can be read now: a folder's cannot, nor those of a file changed or
// gone since it was chosen.
function readableNow(file) {
    return file.slice(0, 1).arrayBuffer().then(() => true, () => false);
}

function letGoOf(signal) {
    URL.revokeObjectURL(signal.link.href);
    letGo.push(new WeakRef(signal.blob));
}

// Waits, for up to two seconds, until the collector has taken the signal files let go of.
// Large buffers, dropped at once, are what make it run soon: nothing else in the page asks it
// for memory.
async function waitForLetGo() {
    for (let round = 0; round < LetGoRounds; ++round) {
        if (!letGo.some((signal) => signal.deref() !== undefined)) break;
        new ArrayBuffer(NudgeBytes);
        await new Promise((resolve) => setTimeout(resolve, LetGoPauseMilliseconds));
    }
    letGo = [];
}

// The module's lines, with each "->" kept whole where a narrow window wraps them.
function showText(line, text) {
    line.replaceChildren();
    text.split('->').forEach((piece, i) => {
        if (i > 0) {
            const arrow = document.createElement('span');
            arrow.className = 'arrow';
            arrow.textContent = '->';
            line.append(arrow);
        }
        line.append(piece);
    });
}

function showProgress(percent, name) {
    form.progress.value = Math.floor((work.done + percent / 100) * 100 / Math.max(work.total, 1));
    form.status.textContent = `Converting ${name} (${work.done + 1} of ${work.total}): ${percent}%`;
}

// A choice is shown at once, each file as waiting, below the results so far.
function addChoice(files, options) {
    const items = files.map(({file}) => {
        const item = document.createElement('li');
        const line = document.createElement('p');
        line.className = 'result';
        showText(line, `${file.name}: waiting`);
        item.append(line);
        form.results.append(item);
        return item;
    });
    waiting.push({files, options, items});
    work.total += files.length;
    form.clear.disabled = false;
    startNext();
}

// The options are those set when the files were chosen, even when they wait for a choice
// before them. Each file is looked at as it is chosen, so that one changed later is told.
function choose(chosen, options = chosenOptions()) {
    if (chosen.length === 0) return;
    choosing = choosing.then(async () => {
        const files = await Promise.all(chosen.map(
            async ({file, handle}) => ({file, handle, readable: await readableNow(file)})));
        lastChoice = files;
        addChoice(files, options);
    });
}

// Files dropped give a handle the browser may read afresh; a file chosen in the box does not.
function chooseAgain() {
    if (!lastChoice) return;
    const options = chosenOptions();
    choosing = choosing.then(async () => {
        const files = await Promise.all(lastChoice.map(async (chosen) => {
            if (!chosen.handle) return chosen;
            try {
                const file = await chosen.handle.getFile();
                return {file, handle: chosen.handle, readable: await readableNow(file)};
            } catch {
                return chosen;
            }
        }));
        lastChoice = files;
        addChoice(files, options);
    });
}

// A new worker for each choice: ending the last one lets go of its parts of the signal files
// at once.
async function startNext() {
    if (busy || waiting.length === 0) return;
    busy = true;
    const choice = waiting.shift();
    converting = choice;
    setState('busy');
    form.again.disabled = true;
    if (workerConverted) {
        worker.terminate();
        await waitForLetGo();
        if (converting !== choice) return; // cleared meanwhile
        worker = startWorker();
    }
    workerConverted = true;
    showProgress(0, converting.files[0].file.name);
    send(worker, {
        type: 'convert',
        files: converting.files.map(({file}) => file),
        readable: converting.files.map(({readable}) => readable),
        options: converting.options,
        shown: Array.from(kept, ([name, signal]) => [name, signal.waveName]),
        columns: form.pictures.checked ? PictureColumns : 0,
    });
}

// The pixel row of a signal's value, -1 to 1.
function pictureRow(value) {
    const clamped = Math.max(-1, Math.min(1, value));
    return Math.round(Picture.top + (1 - clamped) * (Picture.bottom - Picture.top) / 2);
}

// The first pixel column of the picture's column c of count.
function pictureColumn(c, count) {
    return Picture.left + Math.floor(c * PictureColumns / count);
}

// The signal's picture, drawn on a canvas labelled with what it shows.
function signalPicture(name, picture) {
    const canvas = document.createElement('canvas');
    canvas.width = Picture.width;
    canvas.height = Picture.height;
    canvas.className = 'picture';
    canvas.setAttribute('role', 'img');
    const context = canvas.getContext('2d');
    const {top, bottom, left} = Picture;
    const middle = pictureRow(0);
    context.fillStyle = Picture.axis;
    context.fillRect(left - 1, top, 1, bottom - top + 1);
    context.font = '11px system-ui, sans-serif';
    context.textAlign = 'right';
    context.textBaseline = 'middle';
    for (const [value, label] of [[1, '1'], [0, '0'], [-1, '-1']]) {
        context.fillRect(left - 5, pictureRow(value), 4, 1);
        context.fillText(
            label, left - 8, Math.min(Math.max(pictureRow(value), top + 5), bottom - 5));
    }
    context.fillStyle = '#d0d0d0';
    context.fillRect(left, middle, PictureColumns, 1);
    const {columns, samples, divisor, peakAt} = picture;
    // A silent signal's lines are all 0: its divisor is 0.
    const value = (sample) => (divisor === 0 ? 0 : sample / divisor);
    context.fillStyle = Picture.envelope;
    for (let c = 0; c < columns; ++c) {
        const x = pictureColumn(c, columns);
        const high = pictureRow(value(picture.greatest[c]));
        const low = pictureRow(value(picture.least[c]));
        context.fillRect(x, high, Math.max(1, pictureColumn(c + 1, columns) - x), low - high + 1);
    }
    let described = `no samples`;
    if (columns > 0) {
        // The column whose samples hold the peak's: the module's columns end at
        // floor(samples * (c + 1) / columns).
        const c = Math.ceil((peakAt + 1) * columns / samples) - 1;
        const x = Math.min(pictureColumn(c, columns), Picture.width - 2);
        const peak = value(picture.peakSample);
        context.fillStyle = Picture.peak;
        context.fillRect(x, top, 2, bottom - top + 1);
        context.fillRect(x - 3, pictureRow(peak) - 3, 8, 7);
        context.textAlign = x > Picture.width - 40 ? 'right' : 'left';
        context.textBaseline = 'top';
        context.fillText('peak', x + (x > Picture.width - 40 ? -5 : 5), top);
        described = `${samples} samples; the peak, ${Number(peak.toPrecision(6))}, at sample ` +
            `${peakAt + 1}`;
    }
    canvas.setAttribute(
        'aria-label',
        `Picture of ${name}: the least and greatest value in each stretch of the signal over ` +
            `time, on an axis from -1 to 1; ${described}.`);
    return canvas;
}

// A signal file's link, and its picture where there is one.
function showSignal(item, waveName, signal) {
    if (signal.replaces && kept.has(signal.name)) {
        const older = kept.get(signal.name);
        letGoOf(older);
        older.element.remove();
        kept.delete(signal.name);
    }
    const element = document.createElement('div');
    element.className = 'signal';
    const link = document.createElement('a');
    link.href = URL.createObjectURL(signal.blob);
    link.download = signal.name;
    link.textContent = `Download ${signal.name}`;
    element.append(link);
    if (signal.picture) element.append(signalPicture(signal.name, signal.picture));
    item.append(element);
    kept.set(
        signal.name,
        {element, link, blob: signal.blob, crc: signal.crc, date: new Date(), waveName});
    form.downloadAll.disabled = false;
}

function showResult(message) {
    const item = converting.items[message.index];
    const name = converting.files[message.index].file.name;
    showText(item.querySelector('.result'), message.text.replace(/\n$/, ''));
    item.dataset.status = message.status;
    if (message.status !== 0) item.classList.add('failed');
    for (const signal of message.signals) showSignal(item, name, signal);
    // From the file's start to its links and pictures, for bench/web_bench.js.
    item.dataset.milliseconds = (performance.now() - started).toFixed(1);
    work.done += 1;
    work[message.status === 0 ? 'converted' : 'notConverted'] += 1;
    form.spoken.textContent = `${name}: ${message.status === 0 ? 'converted' : 'not converted'} ` +
        `(${work.done} of ${work.total})`;
}

function finishChoice() {
    busy = false;
    converting = null;
    document.body.dataset.batches = Number(document.body.dataset.batches || 0) + 1;
    if (waiting.length > 0) {
        startNext();
        return;
    }
    form.again.disabled = false;
    form.progress.value = 100;
    form.status.textContent = `Done: ${work.converted} converted, ${work.notConverted} not ` +
        'converted.';
    form.spoken.textContent = form.status.textContent;
    work = {total: 0, done: 0, converted: 0, notConverted: 0};
    setState('done');
}

// Empties the list and lets go of its signal files; a choice converting or waiting is
// dropped, with the worker converting it.
function clearAll() {
    if (busy && converting) {
        worker.terminate();
        worker = startWorker();
        workerConverted = false;
        busy = false;
        converting = null;
    }
    waiting = [];
    for (const signal of kept.values()) letGoOf(signal);
    kept.clear();
    URL.revokeObjectURL(form.archive.href);
    form.archive.removeAttribute('href');
    form.results.replaceChildren();
    form.downloadAll.disabled = true;
    form.clear.disabled = true;
    form.again.disabled = !lastChoice;
    work = {total: 0, done: 0, converted: 0, notConverted: 0};
    form.progress.value = 0;
    form.status.textContent = 'Ready: choose or drop Wave files.';
    form.spoken.textContent = '';
    if (document.body.dataset.state !== 'ready') setState('done');
}

// Every signal file shown, as one ZIP archive, in one download.
function downloadAll() {
    const entries = Array.from(
        kept, ([name, signal]) => ({name, data: signal.blob, crc: signal.crc, date: signal.date}));
    URL.revokeObjectURL(form.archive.href);
    form.archive.href =
        URL.createObjectURL(new Blob(archiveParts(entries), {type: 'application/zip'}));
    form.archive.click();
}

function answerWorker(event) {
    const message = event.data;
    if (message.type === 'help') {
        offerKnownOptions(message.text);
        busy = false;
        form.files.disabled = false;
        form.status.textContent = 'Ready: choose or drop Wave files.';
        setState('ready');
        startNext();
    } else if (message.type === 'begin') {
        started = performance.now();
        showProgress(0, converting.files[message.index].file.name);
    } else if (message.type === 'progress') {
        showProgress(message.percent, converting.files[message.index].file.name);
    } else if (message.type === 'result') {
        showResult(message);
    } else if (message.type === 'done') {
        finishChoice();
    }
}

function workerBroke(event) {
    form.status.textContent = `The converter stopped: ${event.message}`;
    setState('broken');
}

const workerSource = `(${WorkerMain.toString()})();`;
const workerUrl = URL.createObjectURL(new Blob([workerSource], {type: 'text/javascript'}));
const module = WebAssembly.compile(Uint8Array.from(atob(ModuleBase64), (c) => c.charCodeAt(0)));

// Messages go to a worker once the module is compiled, in the order sent.
function send(target, message) {
    const broke = (error) => workerBroke({message: String(error)});
    module.then(() => target.postMessage(message), broke);
}

// A worker with its own instance of the module, compiled once for all.
function startWorker() {
    const fresh = new Worker(workerUrl);
    fresh.onmessage = answerWorker;
    fresh.onerror = workerBroke;
    const start = (compiled) => fresh.postMessage({type: 'start', module: compiled});
    module.then(start, () => {});
    return fresh;
}

worker = startWorker();
send(worker, {type: 'help'});

form.files.addEventListener('change', () => {
    choose(Array.from(form.files.files, (file) => ({file, handle: null})));
    form.files.value = '';
});
form.again.addEventListener('click', chooseAgain);
form.downloadAll.addEventListener('click', downloadAll);
form.clear.addEventListener('click', clearAll);

// Files dropped anywhere on the page; a handle to each, where the browser gives one, lets
// "Convert again" read it afresh.
document.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    const files = Array.from(event.dataTransfer.files);
    const handles =
        Array.from(event.dataTransfer.items)
            .filter((item) => item.kind === 'file')
            .map((item) => (item.getAsFileSystemHandle ? item.getAsFileSystemHandle() : null));
    Promise.all(handles.map((handle) => Promise.resolve(handle).catch(() => null)))
        .then(
            (found) => choose(files.map(
                (file, i) => ({file, handle: found[i]?.kind === 'file' ? found[i] : null}))));
});
