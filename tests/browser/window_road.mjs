// The whole road of one diagnosis in headless Chromium against `sysdiagnose-host ui`: history,
// scan, ticking, detect, the upload window, repair, and back to the history showing the new run.
// Also: a request without the token is refused, and the server listens on loopback only; the
// page is titled as the window and fits the viewport, centred in a frame, at any size; the keys
// move the focus (a visible ring), press (Enter, Space) and cancel (Esc); lists show a scroll
// bar; the window arrives as changes that leave the page as a new page would show it, images
// once, and all of it well under 2 MB.
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
  // A change from the server may replace the node between finding it and clicking it: find it again.
  for (let tries = 0; ; tries++) {
    await page.waitForSelector(selector, { visible: true, timeout: stepTimeout });
    try {
      await page.click(selector);
      return;
    } catch (error) {
      if (tries >= 5 || !/not clickable|detached/.test(String(error))) throw error;
      await pause(100);
    }
  }
}

// Where the window stands in the viewport, and the named control.
function placement(page, name) {
  return page.evaluate((n) => {
    const r = (e) => { const b = e.getBoundingClientRect(); return { x: b.x, y: b.y, w: b.width, h: b.height }; };
    const main = document.querySelector('#screen > .dui-window');
    const control = document.querySelector(`[data-name="${n}"]`);
    return { width: innerWidth, height: innerHeight, window: r(main), control: control ? r(control) : null,
             frame: getComputedStyle(main).boxShadow };
  }, name);
}

async function fitsAt(page, width, height) {
  await page.setViewport({ width, height });
  // Growing, the old window fits at once: wait until it has been scaled to the new size too.
  await page.waitForFunction(() => {
    const b = document.querySelector('#screen > .dui-window').getBoundingClientRect();
    return b.right <= innerWidth && b.bottom <= innerHeight && Math.max(b.width / innerWidth, b.height / innerHeight) > 0.9;
  }, { timeout: 5000 }).catch(() => {});
  const at = await placement(page, 'btnSysdiagnoseScan');
  const inside = (b) => b.x >= 0 && b.y >= 0 && b.x + b.w <= at.width + 0.5 && b.y + b.h <= at.height + 0.5;
  const centred = Math.abs(at.window.x - (at.width - at.window.x - at.window.w)) <= 2 &&
                  Math.abs(at.window.y - (at.height - at.window.y - at.window.h)) <= 2;
  const filled = Math.max(at.window.w / at.width, at.window.h / at.height) > 0.9;
  check(`at ${width}x${height} the window fits, centred and framed, Diagnose Now in view`,
    inside(at.window) && centred && filled && inside(at.control) && at.frame !== 'none', JSON.stringify(at));
}

// The focused box: its name, and whether a ring shows on it (or, for a hit area over other
// controls, on the box it lies in).
function focusedBox(page) {
  return page.evaluate(() => {
    const e = document.activeElement;
    const box = e && e.closest ? e.closest('[data-id]') : null;
    if (!box) return { name: null, ring: false };
    const ringed = box.classList.contains('dui-hit') ? box.parentElement : e;
    const style = getComputedStyle(ringed);
    return { name: box.dataset.name, ring: style.outlineStyle === 'solid' && parseFloat(style.outlineWidth) >= 2 };
  });
}

// Presses Tab until the named control has the focus.
async function tabTo(page, name, most = 60) {
  for (let i = 0; i < most; i++) {
    await page.keyboard.press('Tab');
    if ((await focusedBox(page)).name === name) return true;
  }
  return false;
}

// The screen as a canonical text: every element with its attributes sorted, and the texts.
function screenText(page) {
  return page.evaluate(() => {
    const walk = (node) => {
      if (node.nodeType === 3) return JSON.stringify(node.textContent);
      if (node.nodeType !== 1) return '';
      const attributes = [...node.attributes].filter((a) => a.name !== 'inert').map((a) => `${a.name}=${a.value}`).sort();
      return `<${node.tagName} ${attributes.join(' ')}>${[...node.childNodes].map(walk).join('')}</>`;
    };
    return { version: document.body.dataset.version, text: walk(document.getElementById('screen')) };
  });
}

// The live page against a page loaded now: the changes it applied gave it the same screen.
async function sameAsANewPage(browser, page, url, what) {
  const fresh = await browser.newPage();
  await fresh.setViewport(page.viewport());
  await fresh.goto(url);
  let live, loaded;
  for (let tries = 0; tries < 50; tries++) {
    [live, loaded] = [await screenText(page), await screenText(fresh)];
    if (live.version === loaded.version && live.text === loaded.text) break;
    await pause(100);
  }
  await fresh.close();
  const at = [...live.text].findIndex((c, i) => c !== loaded.text[i]);
  check(`${what}: the page shows what a new page shows`, live.version === loaded.version && live.text === loaded.text,
    `versions ${live.version} and ${loaded.version}; first difference: ${live.text.slice(at - 80, at + 80)} | ${loaded.text.slice(at - 80, at + 80)}`);
}

let step = 0;
async function shot(page, name) {
  if (!shots) return;
  step++;
  await page.screenshot({ path: join(shots, `${String(step).padStart(2, '0')}-${name}.png`) });
}

async function road(browser, page, url) {
  // History: a fresh data directory has no run yet.
  await waitText(page, 'btnSysdiagnoseScan', 'Diagnose Now', 'the history page offers a diagnosis');
  await waitText(page, 'txtSysdiagnoseArchievementSecondTitle', /No diagnosis yet/, 'the history has no run yet');
  check('the page is titled as the window', (await page.title()) === 'Hardware Diagnosis', await page.title());
  await fitsAt(page, 1920, 1080);
  await fitsAt(page, 700, 500);
  await shot(page, 'history');

  // Keys: Tab reaches the button with a ring, Enter presses it, Esc cancels the scan it started.
  await page.keyboard.press('Tab');
  const first = await focusedBox(page);
  check('Tab moves the focus to Diagnose Now, with a ring', first.name === 'btnSysdiagnoseScan' && first.ring,
    JSON.stringify(first));
  await page.keyboard.press('Enter');
  await waitText(page, 'txtSysdiagnoseScanFirstTitle', /^Scanning/, 'Enter starts the scan');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.querySelector('[data-name="btnSysdiagnoseScan"]').checkVisibility(),
    { timeout: stepTimeout }).then(() => check('Esc cancels the scan', true), () => check('Esc cancels the scan', false));

  // Scan: every category of the catalogue arrives, then all are ticked.
  await click(page, '[data-name="btnSysdiagnoseScan"]');
  await waitText(page, 'txtSysdiagnoseScanFirstTitle', 'Scan complete. Choose the hardware to diagnose.',
    'the scan ends with every category shown');
  const categories = await page.$$eval('[data-name="lstSysdiagnoseScanItems"] [data-name="txtName"]',
    (names) => names.map((n) => n.innerText.trim()));
  check('the scan shows the notebook\'s categories', categories.includes('Network Adapter') && categories.length >= 8,
    categories.join(', '));
  await waitText(page, 'txtSysdiagnoseScanSecondTitle', `${categories.length} categories selected`, 'all of them are ticked');
  const bar = await page.evaluate(() => {
    const list = document.querySelector('[data-name="lstSysdiagnoseScanItems"]');
    const thumb = list.querySelector(':scope > .dui-scrollbar');
    return thumb && thumb.checkVisibility() ? { thumb: thumb.getBoundingClientRect().height, list: list.getBoundingClientRect().height } : null;
  });
  check('the list shows a scroll bar: it holds more than it shows', bar !== null && bar.thumb > 0 && bar.thumb < bar.list / 2,
    JSON.stringify(bar));
  await shot(page, 'scan');

  // Space ticks the focused category off and on again; the list follows the focus.
  check('Tab reaches a category\'s tick', await tabTo(page, 'optChoose'));
  await page.keyboard.press(' ');
  await waitText(page, 'txtSysdiagnoseScanSecondTitle', `${categories.length - 1} categories selected`, 'Space unticks it');
  await page.keyboard.press(' ');
  await waitText(page, 'txtSysdiagnoseScanSecondTitle', `${categories.length} categories selected`, 'Space ticks it again');
  await page.evaluate(() => document.activeElement.blur());

  // Tick: only the network adapter and the keyboard stay chosen. Items below the list's edge are
  // scrolled to with the mouse wheel, as a user would. The first tick's image is replaced between
  // press and release, as when its hover look arrives then: the click still counts.
  await page.evaluate(() => {
    window.__pressReplaced = null;
    addEventListener('pointerdown', (e) => {
      const box = e.target.closest('[data-id]');
      const own = [...box.childNodes].filter((n) => !(n.nodeType === 1 && (n.hasAttribute('data-id') || n.hasAttribute('data-key'))));
      window.__pressReplaced = own.includes(e.target);
      for (const n of own) box.replaceChild(n.cloneNode(true), n);
    }, { once: true });
  });
  for (let i = 0; i < categories.length; i++) {
    if (categories[i] === 'Network Adapter' || categories[i] === 'Keyboard') continue;
    const before = await read.text(page, 'txtSysdiagnoseScanSecondTitle');
    const replaced = await page.evaluate(() => window.__pressReplaced === null);
    await clickInList(page, 'lstSysdiagnoseScanItems', 'optChoose', i);
    const counted = await page.waitForFunction((b) => document.querySelector('[data-name="txtSysdiagnoseScanSecondTitle"]').innerText.trim() !== b,
      { timeout: stepTimeout }, before).then(() => true, () => false);
    if (replaced) {
      check('a click counts when the pressed image is replaced before the release',
        counted && await page.evaluate(() => window.__pressReplaced), `counted ${counted}`);
    }
    if (!counted) throw new Error(`the tick of ${categories[i]} did not count`);
  }
  await waitText(page, 'txtSysdiagnoseScanSecondTitle', '2 categories selected', 'unticking leaves two categories chosen');
  await shot(page, 'ticked');

  // Detect: the Wi-Fi switch is off; Filter Keys are on, a notice with its one-click fix.
  await click(page, '[data-name="btnSysdiagnoseDetect"]');
  await waitText(page, 'txtSysdiagnosedDetectFirstTitle', 'Diagnosis complete', 'the diagnosis ends');
  await waitText(page, 'txtSysdiagnoseDetectSecondTitle', /1 category needs attention\. Send the diagnosis logs/,
    'it finds one category and offers the logs');
  await waitText(page, 'btnSysdiagnoseDetectComplete', 'Repair', 'repair is offered');
  await sameAsANewPage(browser, page, url, 'at the result');
  await shot(page, 'detected');

  // The one-click fix reads as a button: a hand, a hover look, the focus ring; Enter presses it.
  check('Tab reaches the one-click fix', await tabTo(page, 'btnSuggest'));
  const fix = await focusedBox(page);
  check('the one-click fix shows the focus ring around it', fix.ring, JSON.stringify(fix));
  const suggest = await page.evaluateHandle(() => document.activeElement);
  const looks = () => suggest.evaluate((e) => {
    const b = e.parentElement.getBoundingClientRect();
    return { cursor: getComputedStyle(e).cursor, background: getComputedStyle(e).backgroundColor,
             x: b.x + b.width / 2, y: b.y + b.height / 2 };
  });
  await suggest.evaluate((e) => e.blur());
  const resting = await looks();
  await page.mouse.move(resting.x, resting.y);
  const hovered = await looks();
  check('the one-click fix has a hand and a hover look', hovered.cursor === 'pointer' &&
    resting.background === 'rgba(0, 0, 0, 0)' && hovered.background !== resting.background,
  `${JSON.stringify(resting)}, hovered ${JSON.stringify(hovered)}`);
  await suggest.evaluate((e) => e.focus());
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => !document.querySelector('[data-name="btnSuggest"]').checkVisibility(), { timeout: stepTimeout })
    .then(() => check('Enter runs the one-click fix', true), () => check('Enter runs the one-click fix', false));

  // The upload window, by the keys: the link opens it with the focus inside; Esc closes it.
  check('Tab reaches the log link', await tabTo(page, 'txtSysdiagnoseDetectSecondTitle'));
  await page.keyboard.press('Enter');
  await page.waitForSelector('.host-modal [data-name="btnUpload"]', { visible: true, timeout: stepTimeout });
  check('the upload window opens over the page', true);
  await page.waitForFunction(() => document.querySelector('.host-modal').contains(document.activeElement) &&
                                   document.querySelector('#screen > .dui-window').inert, { timeout: stepTimeout })
    .then(() => check('the focus moves into the dialog, the page under it is inert', true),
      () => check('the focus moves into the dialog, the page under it is inert', false));
  await shot(page, 'upload-window');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.querySelector('.host-modal'), { timeout: stepTimeout })
    .then(() => check('Esc closes the upload window', true), () => check('Esc closes the upload window', false));
  await waitText(page, 'txtSysdiagnoseDetectSecondTitle', /Log upload cancelled/, 'the page says no logs went');

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
  await sameAsANewPage(browser, page, url, 'back at the history');
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
    // What the page receives, and which images it asks for.
    const cdp = await page.createCDPSession();
    await cdp.send('Network.enable');
    let received = 0;
    cdp.on('Network.dataReceived', (e) => { received += e.encodedDataLength; });
    const images = [];
    page.on('request', (r) => { if (r.url().includes('/image/')) images.push(r.url()); });
    await page.goto(url.href);
    await page.waitForSelector('[data-name]', { timeout: stepTimeout });
    await road(browser, page, url.href);
    check('the whole road arrived in under 2 MB', received > 0 && received < 2e6, `${received} bytes`);
    check('each image was fetched once, none inlined', images.length > 5 && new Set(images).size === images.length &&
      !(await page.content()).includes('data:image'), images.join('\n'));
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
