// Drives the web page in headless Chromium (puppeteer-core) and the native program on the same
// files, for tests/web/browser_test.js and bench/web_bench.js. Every wait is bounded.
'use strict';

const childProcess = require('child_process');
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const puppeteer = require('puppeteer-core');

const ReadyMilliseconds = 30000;

// The signal file's name by the program's rule: the last three characters become "sig".
function signalNameOf(name) {
    return name.length < 3 ? 'sig' : `${name.slice(0, -3)}sig`;
}

function sha256(bytes) {
    return crypto.createHash('sha256').update(bytes).digest('hex');
}

// A signal file as the page's results and the native program's are compared.
function describeSignal(name, bytes) {
    return `${name} ${bytes.length} ${sha256(bytes)}`;
}

// The native command-line mode on a copy of the file alone in a fresh folder, run there, as
// the page runs it over the file alone in the module's folder (a file called "-" as "./-").
function runNative(binary, file, options, folder) {
    fs.rmSync(folder, {recursive: true, force: true});
    fs.mkdirSync(folder, {recursive: true});
    const name = path.basename(file) === '-' ? './-' : path.basename(file);
    fs.cpSync(file, path.join(folder, name), {recursive: true});
    const start = process.hrtime.bigint();
    const run = childProcess.spawnSync(
        path.resolve(binary), [...options, '--', name],
        {cwd: folder, encoding: 'buffer', timeout: 300000});
    const milliseconds = Number(process.hrtime.bigint() - start) / 1e6;
    if (run.error) throw new Error(`${binary} ${name}: ${run.error}`);
    // Every file the run made: one for each channel with --channel=all, channel 1 first.
    const made = fs.readdirSync(folder)
                     .filter((each) => each !== path.basename(name))
                     .sort((a, b) => a.localeCompare(b, 'en', {numeric: true}));
    let signalPath = path.join(folder, signalNameOf(name));
    if (!fs.existsSync(signalPath) && made.length > 0) signalPath = path.join(folder, made[0]);
    const signal = run.status === 0 && fs.existsSync(signalPath) && signalNameOf(name) !== name ?
        fs.readFileSync(signalPath) :
        null;
    return {
        signals: made.map((each) => describeSignal(each, fs.readFileSync(path.join(folder, each))))
                     .sort()
                     .join('; '),
        text: (run.stderr.toString() + run.stdout.toString()).replace(/\n$/, ''),
        status: run.status,
        signalName: signal ? path.basename(signalPath) : null,
        size: signal ? signal.length : 0,
        sha256: signal ? sha256(signal) : null,
        milliseconds,
    };
}

async function openPage(pagePath) {
    const browser = await puppeteer.launch({
        executablePath: childProcess.execSync('command -v chromium').toString().trim(),
        headless: true,
        args: ['--no-sandbox', '--disable-gpu'],
        protocolTimeout: 600000,
    });
    const page = await browser.newPage();
    // Every request that leaves the machine; the page's own file, data and blob URLs do not.
    const requests = [];
    page.on('request', (request) => {
        if (!/^(file|data|blob):/.test(request.url())) requests.push(request.url());
    });
    const errors = [];
    page.on('pageerror', (error) => errors.push(String(error)));
    await page.goto(`file://${path.resolve(pagePath)}`, {timeout: ReadyMilliseconds});
    await page.waitForFunction(
        () => ['ready', 'broken'].includes(document.body.dataset.state),
        {timeout: ReadyMilliseconds});
    if (await page.evaluate(() => document.body.dataset.state) === 'broken') {
        throw new Error(await page.evaluate(() => document.getElementById('status').textContent));
    }
    return {browser, page, requests, errors};
}

// Sets the form's options from command-line arguments; the page's own (the pictures) stay.
async function setOptions(page, options) {
    const channel = options.find((option) => option.startsWith('--channel='));
    await page.evaluate((flags, channelValue) => {
        for (const box of document.querySelectorAll('fieldset input[type=checkbox]')) {
            box.checked = flags.includes(`--${box.name}`);
        }
        document.querySelector('[name="channel"]').value = channelValue;
    }, options, channel ? channel.slice('--channel='.length) : '');
}

function batchesDone(page) {
    return page.evaluate(() => Number(document.body.dataset.batches || 0));
}

// Waits until more than count batches are done.
function waitForBatches(page, count, timeout) {
    return page.waitForFunction(
        (done) => Number(document.body.dataset.batches || 0) > done, {timeout, polling: 100},
        count);
}

async function chooseFiles(page, files) {
    await (await page.$('input[type=file]')).uploadFile(...files);
}

// Empties the page's list of results, as its "Clear" button does.
async function clearResults(page) {
    await page.evaluate(() => document.getElementById('clear')?.click()); // none before 1.4
}

// Empties the list, sets the options, selects the files and waits for their results.
async function convertInPage(page, files, options, timeout) {
    await clearResults(page);
    return addInPage(page, files, options, timeout);
}

// Sets the options, selects the files and waits for their results, and those shown before.
async function addInPage(page, files, options, timeout) {
    await setOptions(page, options);
    const batches = await batchesDone(page);
    await chooseFiles(page, files);
    await waitForBatches(page, batches, timeout);
    return resultsInPage(page);
}

// The results shown: for each file, its result text, exit status, and the first link's name
// and the size and SHA-256 of the bytes behind it; signals: every link, as describeSignal
// gives them, in name order.
function resultsInPage(page) {
    return page.evaluate(async () => {
        const results = [];
        for (const item of document.querySelectorAll('#results li')) {
            const links = [];
            for (const link of item.querySelectorAll('a[download]')) {
                const name = link.getAttribute('download');
                try {
                    const bytes = await (await fetch(link.href)).arrayBuffer();
                    const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
                    const sha256 =
                        Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('');
                    links.push({name, size: bytes.byteLength, sha256});
                } catch (error) {
                    links.push(
                        {name, size: 0, sha256: `a link whose bytes cannot be read (${error})`});
                }
            }
            const [first] = links;
            results.push({
                text: item.querySelector('.result').textContent,
                status: Number(item.dataset.status),
                milliseconds: Number(item.dataset.milliseconds),
                signalName: first ? first.name : null,
                size: first ? first.size : 0,
                sha256: first ? first.sha256 : null,
                signals: links.map(({name, size, sha256}) => `${name} ${size} ${sha256}`)
                             .sort()
                             .join('; '),
            });
        }
        return results;
    });
}

// Clicks "Download all" with the browser's downloads going to folder (emptied first), and
// waits, for up to ten seconds, until one is complete: the names of the downloads begun by
// then, and of the files in folder.
async function downloadAll(page, folder) {
    fs.rmSync(folder, {recursive: true, force: true});
    fs.mkdirSync(folder, {recursive: true});
    const session = await page.browser().target().createCDPSession();
    await session.send(
        'Browser.setDownloadBehavior',
        {behavior: 'allow', downloadPath: path.resolve(folder), eventsEnabled: true});
    const begun = [];
    session.on('Browser.downloadWillBegin', (event) => begun.push(event.suggestedFilename));
    const completed = new Promise((resolve) => session.on('Browser.downloadProgress', (event) => {
        if (event.state !== 'inProgress') resolve();
    }));
    await page.click('#download-all');
    await Promise.race([completed, new Promise((resolve) => setTimeout(resolve, 10000))]);
    await session.detach();
    return {begun, files: fs.readdirSync(folder)};
}

module.exports = {
    signalNameOf,
    sha256,
    describeSignal,
    runNative,
    openPage,
    setOptions,
    batchesDone,
    waitForBatches,
    chooseFiles,
    clearResults,
    convertInPage,
    addInPage,
    resultsInPage,
    downloadAll
};
