// The page: the form, the results and their downloads. scripts/build_web.sh puts ModuleBase64
// (the module) and WorkerMain (web/worker.js) before this, in the page's one script.
'use strict';

const form = {
    files: document.getElementById('files'),
    again: document.getElementById('again'),
    status: document.getElementById('status'),
    progress: document.getElementById('progress'),
    results: document.getElementById('results'),
    downloadAll: document.getElementById('download-all'),
};
const Flags = ['extensible', 'data-to-end', 'any-pcm'];

let lastFiles = [];
let waiting = []; // batches of files chosen while a batch converts
let busy = true; // until the worker is ready
let links = []; // the download links of the results shown
let items = []; // the result element of each file of the batch
// The made files' bytes as the worker sends them, by the module's number: {blobs, loose,
// looseBytes}. The pieces become a Blob some megabytes at a time, while the worker goes on
// converting: one Blob of many pieces costs less than many Blobs of one piece.
const PiecesPerBlobBytes = 16 * 1024 * 1024;
let pieces = new Map();
let started = 0; // when the file being converted began, in milliseconds

function setState(state) {
    document.body.dataset.state = state;
}

// The options as the command line takes them.
function chosenOptions() {
    const options = Flags.filter((flag) => document.querySelector(`[name="${flag}"]`).checked)
        .map((flag) => `--${flag}`);
    const channel = document.querySelector('[name="channel"]').value.trim();
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

function clearResults() {
    for (const link of links) URL.revokeObjectURL(link.href);
    links = [];
    form.results.replaceChildren();
    form.downloadAll.disabled = true;
}

function convert(files) {
    if (files.length === 0) return;
    if (busy) {
        waiting.push(files);
        return;
    }
    busy = true;
    setState('busy');
    lastFiles = files;
    form.again.disabled = true;
    clearResults();
    items = files.map((file) => {
        const item = document.createElement('li');
        const line = document.createElement('p');
        line.className = 'result';
        line.textContent = `${file.name}: waiting`;
        item.append(line);
        form.results.append(item);
        return item;
    });
    form.progress.value = 0;
    worker.postMessage({type: 'convert', files, options: chosenOptions()});
}

function keepPiece(message) {
    if (!pieces.has(message.number)) pieces.set(message.number, {blobs: [], loose: [], looseBytes: 0});
    const made = pieces.get(message.number);
    made.loose.push(message.bytes);
    made.looseBytes += message.bytes.byteLength;
    if (made.looseBytes < PiecesPerBlobBytes) return;
    made.blobs.push(new Blob(made.loose));
    made.loose = [];
    made.looseBytes = 0;
}

function showResult(message) {
    const item = items[message.index];
    item.querySelector('.result').textContent = message.text.replace(/\n$/, '');
    item.dataset.status = message.status;
    if (message.status !== 0) item.classList.add('failed');
    if (message.signalNumber >= 0) {
        const made = pieces.get(message.signalNumber) || {blobs: [], loose: []};
        const signal = new Blob(made.blobs.concat(made.loose), {type: 'application/octet-stream'});
        const link = document.createElement('a');
        link.href = URL.createObjectURL(signal);
        link.download = message.signalName;
        link.textContent = `Download ${message.signalName}`;
        item.append(' ', link);
        links.push(link);
        form.downloadAll.disabled = false;
    }
    pieces = new Map();
    // From the file's start to its link, for bench/web_bench.js.
    item.dataset.milliseconds = (performance.now() - started).toFixed(1);
}

function finishBatch() {
    busy = false;
    form.again.disabled = false;
    form.status.textContent = `Done: ${items.length} file${items.length === 1 ? '' : 's'}.`;
    form.progress.value = 100;
    document.body.dataset.batches = Number(document.body.dataset.batches || 0) + 1;
    setState('done');
    if (waiting.length > 0) convert(waiting.shift());
}

const workerSource = `(${WorkerMain.toString()})();`;
const worker = new Worker(URL.createObjectURL(new Blob([workerSource], {type: 'text/javascript'})));
worker.onmessage = (event) => {
    const message = event.data;
    if (message.type === 'ready') {
        offerKnownOptions(message.help);
        busy = false;
        form.files.disabled = false;
        form.status.textContent = 'Ready: choose or drop Wave files.';
        setState('ready');
        if (waiting.length > 0) convert(waiting.shift());
    } else if (message.type === 'begin') {
        started = performance.now();
    } else if (message.type === 'piece') {
        keepPiece(message);
    } else if (message.type === 'dropped') {
        pieces.delete(message.number);
    } else if (message.type === 'progress') {
        form.progress.value = message.percent;
        form.status.textContent = `Converting ${lastFiles[message.index].name}: ${message.percent}%`;
    } else if (message.type === 'result') {
        showResult(message);
    } else if (message.type === 'done') {
        finishBatch();
    }
};
worker.onerror = (event) => {
    form.status.textContent = `The converter stopped: ${event.message}`;
    setState('broken');
};

const module = Uint8Array.from(atob(ModuleBase64), (c) => c.charCodeAt(0));
worker.postMessage({type: 'start', module}, [module.buffer]);

form.files.addEventListener('change', () => {
    convert(Array.from(form.files.files));
    form.files.value = '';
});
form.again.addEventListener('click', () => convert(lastFiles));
form.downloadAll.addEventListener('click', () => {
    for (const link of links) link.click();
});

// Files dropped anywhere on the page.
document.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    convert(Array.from(event.dataTransfer.files));
});
