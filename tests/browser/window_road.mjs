// The whole road of one diagnosis in headless Chromium against `sysdiagnose-host ui`: history,
// scan, ticking, detect, the upload window, repair, and back to the history showing the new run.
// Also: a request without the token is refused, and the server listens on loopback only.
//
// usage: node window_road.mjs HOST_PROGRAM MACHINE_PROFILE [SCREENSHOT_DIR]
// Chromium is Debian's (/usr/bin/chromium, or $CHROMIUM), driven over the DevTools protocol.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import puppeteer from 'puppeteer-core';

const [host, profile, shots] = process.argv.slice(2);
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const stepTimeout = 60000;
let failures = 0;
let checks = 0;

function check(what, ok, detail = '') {
  checks++;
  if (!ok) failures++;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok || !detail ? '' : ': ' + detail}`);
}

function startHost(dataDir) {
  const child = spawn(host, ['ui', '--machine', profile, '--data-dir', dataDir], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (d) => { stderr += d; });
  const url = new Promise((resolve, reject) => {
    createInterface({ input: child.stdout }).once('line', resolve);
    child.once('exit', (code) => reject(new Error(`sysdiagnose-host ui ended (${code}): ${stderr}`)));
  });
  return { child, url, stderr: () => stderr };
}

// The local addresses listening on `port`, from /proc/net/tcp and tcp6.
function listeners(port) {
  const hex = port.toString(16).toUpperCase().padStart(4, '0');
  const found = [];
  for (const table of ['/proc/net/tcp', '/proc/net/tcp6']) {
    for (const line of readFileSync(table, 'utf8').split('\n').slice(1)) {
      const [, local, , state] = line.trim().split(/\s+/);
      if (state === '0A' && local && local.endsWith(':' + hex)) found.push(local.split(':')[0]);
    }
  }
  return found;
}

// The window as the user sees it, read from the live page.
const read = {
  text: (page, name) => page.$eval(`[data-name="${name}"]`, (e) => e.innerText.replace(/\s+/g, ' ').trim()).catch(() => null),
  shown: (page, name) => page.$eval(`[data-name="${name}"]`, (e) => {
    for (let c = e; c && c.id !== 'screen'; c = c.parentElement) if (getComputedStyle(c).display === 'none') return false;
    return true;
  }).catch(() => false),
};

async function waitText(page, name, wanted, what) {
  const matches = (text) => (wanted instanceof RegExp ? wanted.test(text) : text === wanted);
  try {
    await page.waitForFunction((n, source, flags, plain) => {
      const e = document.querySelector(`[data-name="${n}"]`);
      if (!e) return false;
      const text = e.innerText.replace(/\s+/g, ' ').trim();
      return source !== null ? new RegExp(source, flags).test(text) : text === plain;
    }, { timeout: stepTimeout, polling: 100 }, name,
    wanted instanceof RegExp ? wanted.source : null, wanted instanceof RegExp ? wanted.flags : '', String(wanted));
    check(what, true);
  } catch {
    const now = await read.text(page, name);
    check(what, matches(now ?? ''), `${name} reads ${JSON.stringify(now)}, wanted ${wanted}`);
  }
}

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The rectangles of a list and of the named control in its i-th item, as now shown.
function rects(page, list, name, i) {
  return page.evaluate((l, n, k) => {
    const box = document.querySelector(`[data-name="${l}"]`);
    const target = box && box.querySelectorAll(`[data-name="${n}"]`)[k];
    if (!target) return null;
    const r = (e) => { const b = e.getBoundingClientRect(); return { x: b.x, y: b.y, w: b.width, h: b.height }; };
    return { list: r(box), target: r(target) };
  }, list, name, i);
}

// Clicks the named control of the i-th item of a list, wheeling the list until it is in view.
async function clickInList(page, list, name, i) {
  for (let tries = 0; tries < 40; tries++) {
    const at = await rects(page, list, name, i);
    if (!at) throw new Error(`no ${name} in item ${i} of ${list}`);
    const { list: l, target: t } = at;
    if (t.y >= l.y && t.y + t.h <= l.y + l.h) {
      await page.mouse.click(t.x + t.w / 2, t.y + t.h / 2);
      return;
    }
    await page.mouse.move(l.x + l.w / 2, l.y + l.h / 2);
    await page.mouse.wheel({ deltaY: t.y < l.y ? -48 : 48 });
    await pause(250);
  }
  throw new Error(`item ${i} of ${list} never came into view`);
}

async function click(page, selector) {
  await page.waitForSelector(selector, { visible: true, timeout: stepTimeout });
  await page.click(selector);
}

let step = 0;
async function shot(page, name) {
  if (!shots) return;
  step++;
  await page.screenshot({ path: join(shots, `${String(step).padStart(2, '0')}-${name}.png`) });
}

async function road(page) {
  // History: a fresh data directory has no run yet.
  await waitText(page, 'btnSysdiagnoseScan', 'Diagnose Now', 'the history page offers a diagnosis');
  await waitText(page, 'txtSysdiagnoseArchievementSecondTitle', /No diagnosis yet/, 'the history has no run yet');
  await shot(page, 'history');

  // Scan: every category of the catalogue arrives, then all are ticked.
  await click(page, '[data-name="btnSysdiagnoseScan"]');
  await waitText(page, 'txtSysdiagnoseScanFirstTitle', 'Scan complete. Choose the hardware to diagnose.',
    'the scan ends with every category shown');
  const categories = await page.$$eval('[data-name="lstSysdiagnoseScanItems"] [data-name="txtName"]',
    (names) => names.map((n) => n.innerText.trim()));
  check('the scan shows the notebook\'s categories', categories.includes('Network Adapter') && categories.length >= 8,
    categories.join(', '));
  await waitText(page, 'txtSysdiagnoseScanSecondTitle', `${categories.length} categories selected`, 'all of them are ticked');
  await shot(page, 'scan');

  // Tick: only the network adapter stays chosen. Items below the list's edge are scrolled to with
  // the mouse wheel, as a user would.
  for (let i = 0; i < categories.length; i++) {
    if (categories[i] === 'Network Adapter') continue;
    const before = await read.text(page, 'txtSysdiagnoseScanSecondTitle');
    await clickInList(page, 'lstSysdiagnoseScanItems', 'optChoose', i);
    await page.waitForFunction((b) => document.querySelector('[data-name="txtSysdiagnoseScanSecondTitle"]').innerText.trim() !== b,
      { timeout: stepTimeout }, before);
  }
  await waitText(page, 'txtSysdiagnoseScanSecondTitle', '1 category selected', 'unticking leaves one category chosen');
  await shot(page, 'ticked');

  // Detect: the one category is diagnosed; the Wi-Fi switch is off.
  await click(page, '[data-name="btnSysdiagnoseDetect"]');
  await waitText(page, 'txtSysdiagnosedDetectFirstTitle', 'Diagnosis complete', 'the diagnosis ends');
  await waitText(page, 'txtSysdiagnoseDetectSecondTitle', /1 category needs attention\. Send the diagnosis logs/,
    'it finds one category and offers the logs');
  await waitText(page, 'btnSysdiagnoseDetectComplete', 'Repair', 'repair is offered');
  await shot(page, 'detected');

  // The upload window: the logs are sent.
  await click(page, '[data-name="txtSysdiagnoseDetectSecondTitle"] [data-link]');
  await page.waitForSelector('.host-modal [data-name="btnUpload"]', { visible: true, timeout: stepTimeout });
  check('the upload window opens over the page', true);
  await shot(page, 'upload-window');
  await click(page, '.host-modal [data-name="btnUpload"]');
  await page.waitForFunction(() => !document.querySelector('.host-modal'), { timeout: stepTimeout })
    .then(() => check('the upload window closes', true), () => check('the upload window closes', false));
  await waitText(page, 'txtSysdiagnoseDetectSecondTitle', /The diagnosis logs have been sent/, 'the page says the logs went');

  // Repair: the switch is turned back on.
  await click(page, '[data-name="btnSysdiagnoseDetectComplete"]');
  await waitText(page, 'txtSysdiagnosedDetectFirstTitle', 'Repair complete', 'the repair succeeds');
  await waitText(page, 'txtSysdiagnoseDetectSecondTitle', 'No problems found.', 'nothing needs attention any more');
  await shot(page, 'repaired');

  // Back to the history, which shows the new run.
  await click(page, '[data-name="btnSysdiagnoseDetectComplete"]');
  await waitText(page, 'btnSysdiagnoseScan', 'Diagnose Now', 'the page goes back to the history');
  await waitText(page, 'txtSysdiagnoseArchievementSecondTitle', /good shape at the last diagnosis/,
    'the history shows the repaired run');
  await shot(page, 'history-after');
}

async function main() {
  const dataDir = mkdtempSync(join(tmpdir(), 'sysdiagnose-road-'));
  const profileDir = mkdtempSync(join(tmpdir(), 'sysdiagnose-chromium-'));
  const server = startHost(dataDir);
  let browser;
  try {
    const url = new URL(await server.url);
    check('the server prints a loopback URL with a token', url.hostname === '127.0.0.1' && url.searchParams.get('token')?.length === 32, url.href);
    const port = Number(url.port);
    check('the server listens on loopback only', JSON.stringify(listeners(port)) === JSON.stringify(['0100007F']),
      listeners(port).join(', '));
    const bare = await fetch(`http://127.0.0.1:${port}/`);
    check('a request without the token is refused', bare.status === 403, `status ${bare.status}`);
    // One hex digit changed, never to itself.
    const token = url.searchParams.get('token');
    const wrong = await fetch(`http://127.0.0.1:${port}/?token=${token[0] === '0' ? '1' : '0'}${token.slice(1)}`);
    check('a request with another token is refused', wrong.status === 403, `status ${wrong.status}`);

    browser = await puppeteer.launch({
      executablePath: chromium,
      headless: true,
      userDataDir: profileDir,
      args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
             '--disable-sync', '--no-first-run', '--window-size=1280,1024'],
    });
    const page = await browser.newPage();
    await page.goto(url.href);
    // The window is as large as the screen's scale makes it: show all of it, as a desktop would.
    await page.waitForSelector('[data-name]', { timeout: stepTimeout });
    const size = await page.evaluate(() => ({ width: document.documentElement.scrollWidth,
                                              height: document.documentElement.scrollHeight }));
    await page.setViewport(size);
    await road(page);
  } catch (error) {
    check('the road runs to its end', false, error.stack || String(error));
  } finally {
    if (browser) await browser.close();
    const ended = server.child.exitCode !== null ? Promise.resolve(server.child.exitCode)
      : new Promise((resolve) => server.child.once('exit', (c) => resolve(c)));
    server.child.kill('SIGINT');
    const code = await ended;
    check('Ctrl-C ends the server cleanly', code === 0, `exit ${code}: ${server.stderr()}`);
    rmSync(dataDir, { recursive: true, force: true });
    rmSync(profileDir, { recursive: true, force: true });
  }
  console.log(`${checks - failures} passed, ${failures} failed`);
  process.exit(failures ? 1 : 0);
}

main();
