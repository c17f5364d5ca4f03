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
const Flags = ['extensible', 'data-to-end', 'any-pcm', 'npy'];
const SomeFileFailed = 1; // the command-line mode's exit status when a file failed

let lastFiles = [];
let waiting = []; // [files, options] of each batch chosen while a batch converts
let busy = true; // until the worker is ready
let links = []; // the download links of the results shown
let items = []; // the result element of each file of the batch
let started = 0; // when the file being converted began, in milliseconds
let worker = null;
let workerConverted = false; // the worker has converted a batch, and holds its signal files
// The signal files shown, held weakly. The browser's store for Blobs is limited (to 500 MB in
// headless Chromium), and a Blob's bytes stay in it until the collector has taken every object
// that holds it: a batch's files must be gone before the next batch's take their place.
let shownSignals = [];
const LetGoRounds = 100;
const LetGoPauseMilliseconds = 20;
const NudgeBytes = 64 * 1024 * 1024;

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

// Waits, for up to two seconds, until the collector has taken the signal files shown before.
// Large buffers, dropped at once, are what make it run soon: nothing else in the page asks it
// for memory.
async function letGoOfSignals() {
    for (let round = 0; round < LetGoRounds; ++round) {
        if (!shownSignals.some((signal) => signal.deref() !== undefined)) break;
        new ArrayBuffer(NudgeBytes);
        await new Promise((resolve) => setTimeout(resolve, LetGoPauseMilliseconds));
    }
    shownSignals = [];
}

// The options are those set when the files were chosen, even when they wait for a batch.
async function convert(files, options = chosenOptions()) {
    if (files.length === 0) return;
    if (busy) {
        waiting.push([files, options]);
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
    form.status.textContent = `Converting ${files.length} file${files.length === 1 ? '' : 's'}…`;
    // A new worker for each batch: ending the last one lets go of its parts of the signal
    // files at once.
    if (workerConverted) {
        worker.terminate();
        await letGoOfSignals();
        worker = startWorker();
    }
    workerConverted = true;
    send(worker, {type: 'convert', files, options});
}

function showResult(message) {
    const item = items[message.index];
    item.querySelector('.result').textContent = message.text.replace(/\n$/, '');
    item.dataset.status = message.status;
    // The module wrote the signal file, but the browser's store for Blobs was full: worded as
    // the command-line mode words a signal file it could not write.
    if (message.unkept) {
        item.querySelector('.result').textContent =
            `norvistrand: ${lastFiles[message.index].name}: The signal file could not be ` +
            'written (the browser has no room left for it; convert fewer long files at once)';
        item.dataset.status = SomeFileFailed;
    }
    if (item.dataset.status !== '0') item.classList.add('failed');
    if (message.signal) {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(message.signal);
        shownSignals.push(new WeakRef(message.signal));
        link.download = message.signalName;
        link.textContent = `Download ${message.signalName}`;
        item.append(' ', link);
        links.push(link);
        form.downloadAll.disabled = false;
    }
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
    if (waiting.length > 0) convert(...waiting.shift());
}

function answerWorker(event) {
    const message = event.data;
    if (message.type === 'help') {
        offerKnownOptions(message.text);
        busy = false;
        form.files.disabled = false;
        form.status.textContent = 'Ready: choose or drop Wave files.';
        setState('ready');
        if (waiting.length > 0) convert(...waiting.shift());
    } else if (message.type === 'begin') {
        started = performance.now();
    } else if (message.type === 'progress') {
        form.progress.value = message.percent;
        form.status.textContent = `Converting ${lastFiles[message.index].name}: ${message.percent}%`;
    } else if (message.type === 'result') {
        showResult(message);
    } else if (message.type === 'done') {
        finishBatch();
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
    module.then(() => target.postMessage(message), (error) => workerBroke({message: String(error)}));
}

// A worker with its own instance of the module, compiled once for all.
function startWorker() {
    const fresh = new Worker(workerUrl);
    fresh.onmessage = answerWorker;
    fresh.onerror = workerBroke;
    module.then((compiled) => fresh.postMessage({type: 'start', module: compiled}), () => {});
    return fresh;
}

worker = startWorker();
send(worker, {type: 'help'});

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
