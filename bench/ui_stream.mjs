// The browser window against the command line, side by side in one run, on the sample notebook
// with faults:
//   - a whole diagnosis (scan, every category ticked, detect, up to "Diagnosis complete"): the
//     `diagnose` command's wall time, and the same road clicked in headless Chromium against `ui`,
//     with every byte the browser received (page, event stream, images);
//   - the same clicks posted to `ui` with no browser: the window's own animations in real time;
//   - how long the final title trails the result the page shows;
//   - with 50 event streams open beside it: a new tab's first frame, GET / and POST /input;
//   - a click (a tick on the scan page) until the page shows its effect.
// Medians and 95th percentiles; run it on the release build:
//   node bench/ui_stream.mjs build/release/bin/sysdiagnose-host [RUNS]
// Chromium is Debian's (/usr/bin/chromium or $CHROMIUM); puppeteer-core comes from tests/browser.
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, '../tests/browser/package.json'));
const puppeteer = require('puppeteer-core');

const host = resolve(process.argv[2] || 'build/release/bin/sysdiagnose-host');
const runs = Number(process.argv[3] || 3);
const profile = join(here, '../resources/machines/faulty-notebook.json');
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const env = { ...process.env, SYSDIAGNOSE_APP_DIR: process.env.SYSDIAGNOSE_APP_DIR || dirname(host), SYSDIAGNOSE_MACHINE: '' };
const timeout = 120000;

const median = (xs) => { const s = [...xs].sort((a, b) => a - b); return s[Math.floor((s.length - 1) / 2)]; };
const p95 = (xs) => { const s = [...xs].sort((a, b) => a - b); return s[Math.min(s.length - 1, Math.ceil(s.length * 0.95) - 1)]; };
const ms = (x) => `${x.toFixed(1)} ms`;
const pause = (t) => new Promise((r) => setTimeout(r, t));

function commandLine() {
  const dataDir = mkdtempSync(join(tmpdir(), 'bench-ui-cli-'));
  const start = performance.now();
  execFileSync(host, ['diagnose', '--machine', profile, '--data-dir', dataDir], { env, stdio: 'ignore' });
  const took = performance.now() - start;
  rmSync(dataDir, { recursive: true, force: true });
  return took;
}

function startUi(dataDir) {
  const child = spawn(host, ['ui', '--machine', profile, '--data-dir', dataDir], { env, stdio: ['ignore', 'pipe', 'inherit'] });
  const url = new Promise((ok, fail) => {
    createInterface({ input: child.stdout }).once('line', (line) => ok(new URL(line)));
    child.once('exit', (code) => fail(new Error(`ui ended with ${code}`)));
  });
  return { child, url };
}

async function stopUi(ui) {
  const ended = new Promise((r) => ui.child.once('exit', r));
  ui.child.kill('SIGINT');
  await ended;
}

// An event stream that reads and drops what comes, as a forgotten tab would.
function openStream(url) {
  return new Promise((ok, fail) => {
    const request = http.get(`${url.origin}/events?token=${url.searchParams.get('token')}`, (response) => {
      response.on('data', () => {});
      ok(request);
    });
    request.on('error', fail);
  });
}

async function timed(fn) {
  const start = performance.now();
  await fn();
  return performance.now() - start;
}

function launch() {
  return puppeteer.launch({
    executablePath: chromium, headless: true, userDataDir: mkdtempSync(join(tmpdir(), 'bench-ui-chromium-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run', '--window-size=1280,1024'],
  });
}

const textOf = (page, name) => page.$eval(`[data-name="${name}"]`, (e) => e.innerText.trim()).catch(() => '');
const waitText = (page, name, wanted) => page.waitForFunction((n, w) => {
  const e = document.querySelector(`[data-name="${n}"]`);
  return e && e.innerText.trim() === w;
}, { timeout, polling: 'mutation' }, name, wanted);

// One diagnosis clicked through the window: its time, the bytes the browser received, and how
// long the final title came after the result was shown.
async function browserRoad(browser) {
  const dataDir = mkdtempSync(join(tmpdir(), 'bench-ui-road-'));
  const ui = startUi(dataDir);
  const url = await ui.url;
  const page = await browser.newPage();
  const cdp = await page.createCDPSession();
  await cdp.send('Network.enable');
  let bytes = 0;
  cdp.on('Network.dataReceived', (e) => { bytes += e.encodedDataLength; });
  cdp.on('Network.responseReceived', (e) => { bytes += e.response.encodedDataLength || 0; });
  await page.goto(url.href);
  await waitText(page, 'btnSysdiagnoseScan', 'Diagnose Now');
  // The detect page's result (the second title counts what needs attention) against its first
  // title, which the page changes once its list has scrolled back to the top.
  await page.evaluate(() => {
    window.__marks = {};
    new MutationObserver(() => {
      const text = (n) => document.querySelector(`[data-name="${n}"]`)?.innerText.trim() ?? '';
      const now = performance.now();
      if (!window.__marks.result && /need(s)? attention/.test(text('txtSysdiagnoseDetectSecondTitle'))) window.__marks.result = now;
      if (!window.__marks.title && text('txtSysdiagnosedDetectFirstTitle') === 'Diagnosis complete') window.__marks.title = now;
    }).observe(document.body, { subtree: true, childList: true, attributes: true, characterData: true });
  });
  const took = await timed(async () => {
    await page.click('[data-name="btnSysdiagnoseScan"]');
    await waitText(page, 'txtSysdiagnoseScanFirstTitle', 'Scan complete. Choose the hardware to diagnose.');
    await page.click('[data-name="btnSysdiagnoseDetect"]');
    await waitText(page, 'txtSysdiagnosedDetectFirstTitle', 'Diagnosis complete');
  });
  const marks = await page.evaluate(() => window.__marks);
  await page.close();
  await stopUi(ui);
  rmSync(dataDir, { recursive: true, force: true });
  return { took, bytes, titleLag: marks.title && marks.result ? Math.max(0, marks.title - marks.result) : NaN };
}

// The same diagnosis in `ui` with no browser: the clicks posted as input, the page's texts read
// from the window the server keeps. What remains is the window's own animations, in real time.
async function withoutBrowser() {
  const dataDir = mkdtempSync(join(tmpdir(), 'bench-ui-bare-'));
  const ui = startUi(dataDir);
  const url = await ui.url;
  const token = url.searchParams.get('token');
  const page = async () => (await fetch(url.href)).text();
  const idOf = (html, name) => Number(new RegExp(`data-id="([0-9]+)" data-name="${name}"`).exec(html)[1]);
  const press = (id) => fetch(`${url.origin}/input?token=${token}`, {
    method: 'POST', headers: { 'Content-Type': 'application/json', Origin: url.origin },
    body: JSON.stringify({ action: 'click', id }) });
  const until = async (text) => { while (!(await page()).includes(text)) await pause(20); };
  const took = await timed(async () => {
    await press(idOf(await page(), 'btnSysdiagnoseScan'));
    await until('>Scan complete. Choose the hardware to diagnose.<');
    await press(idOf(await page(), 'btnSysdiagnoseDetect'));
    await until('>Diagnosis complete<');
  });
  await stopUi(ui);
  rmSync(dataDir, { recursive: true, force: true });
  return took;
}

// With 50 streams open: new tabs' first frames, GET / and input, then clicks until seen.
async function underLoad(browser) {
  const dataDir = mkdtempSync(join(tmpdir(), 'bench-ui-load-'));
  const ui = startUi(dataDir);
  const url = await ui.url;
  const streams = [];
  for (let i = 0; i < 50; i++) streams.push(await openStream(url));
  await pause(500);

  const firstFrames = [];
  for (let i = 0; i < 20; i++) {
    const page = await browser.newPage();
    firstFrames.push(await timed(async () => {
      await page.goto(url.href, { waitUntil: 'domcontentloaded' });
      await page.waitForSelector('[data-name="btnSysdiagnoseScan"]', { timeout });
    }));
    await page.close();
  }
  const gets = [];
  const inputs = [];
  for (let i = 0; i < 40; i++) {
    gets.push(await timed(() => fetch(url.href).then((r) => r.text())));
    inputs.push(await timed(() => fetch(`${url.origin}/input?token=${url.searchParams.get('token')}`, {
      method: 'POST', headers: { 'Content-Type': 'application/json', Origin: url.origin },
      body: JSON.stringify({ action: 'enter', id: 1 }) })));
  }

  // Clicks: tick and untick the first category on the scan page, until the subtitle changes.
  const page = await browser.newPage();
  await page.goto(url.href);
  await page.click('[data-name="btnSysdiagnoseScan"]');
  await waitText(page, 'txtSysdiagnoseScanFirstTitle', 'Scan complete. Choose the hardware to diagnose.');
  await page.evaluate(() => {
    const subtitle = () => document.querySelector('[data-name="txtSysdiagnoseScanSecondTitle"]').innerText.trim();
    window.__seen = [];
    document.addEventListener('pointerdown', () => {
      const before = subtitle();
      const at = performance.now();
      const observer = new MutationObserver(() => {
        if (subtitle() === before) return;
        window.__seen.push(performance.now() - at);
        observer.disconnect();
      });
      observer.observe(document.body, { subtree: true, childList: true, attributes: true, characterData: true });
    }, true);
  });
  for (let i = 0; i < 40; i++) {
    const before = await textOf(page, 'txtSysdiagnoseScanSecondTitle');
    await page.click('[data-name="lstSysdiagnoseScanItems"] [data-name="optChoose"]');
    await page.waitForFunction((b) => document.querySelector('[data-name="txtSysdiagnoseScanSecondTitle"]').innerText.trim() !== b,
      { timeout, polling: 'mutation' }, before);
  }
  const clicks = await page.evaluate(() => window.__seen);
  await page.close();
  for (const s of streams) s.destroy();
  await stopUi(ui);
  rmSync(dataDir, { recursive: true, force: true });
  return { firstFrames, gets, inputs, clicks };
}

async function main() {
  const cli = [];
  const road = [];
  const bare = [];
  const browser = await launch();
  try {
    for (let i = 0; i < runs; i++) {
      cli.push(commandLine());
      road.push(await browserRoad(browser));
      bare.push(await withoutBrowser());
    }
    const load = await underLoad(browser);
    const cliTime = median(cli);
    const roadTime = median(road.map((r) => r.took));
    console.log(`sysdiagnose-host: ${host}  (${runs} runs each, medians)`);
    console.log(`diagnosis, command line (diagnose)          ${ms(cliTime)}`);
    console.log(`diagnosis, browser (scan + detect clicked)  ${ms(roadTime)}  (${(roadTime / cliTime).toFixed(2)}x the command line)`);
    console.log(`diagnosis, ui without a browser             ${ms(median(bare))}  (the window's own animations; browser ${(roadTime / median(bare)).toFixed(2)}x)`);
    console.log(`bytes the browser received for it           ${(median(road.map((r) => r.bytes)) / 1e6).toFixed(3)} MB`);
    console.log(`first title after the result's subtitle     ${ms(median(road.map((r) => r.titleLag)))}  (the list's scroll back to the top)`);
    console.log(`with 50 streams open: new tab's first frame median ${ms(median(load.firstFrames))}, p95 ${ms(p95(load.firstFrames))}`);
    console.log(`with 50 streams open: GET /                 median ${ms(median(load.gets))}, p95 ${ms(p95(load.gets))}`);
    console.log(`with 50 streams open: POST /input           median ${ms(median(load.inputs))}, p95 ${ms(p95(load.inputs))}`);
    console.log(`click until the page shows it               median ${ms(median(load.clicks))}, p95 ${ms(p95(load.clicks))}  (${load.clicks.length} clicks)`);
  } finally {
    await browser.close();
  }
}

main().catch((error) => { console.error(error); process.exit(1); });
