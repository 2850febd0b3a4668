// Screenshots of the window in the browser, in English and Chinese, with the keyboard's focus ring
// showing: the detect page's result at 1920x1080 (the focus on the keyboard notice's one-click
// fix) and the history page after that run at 700x500 (the focus on Diagnose Now).
//
// usage: node window_screenshots.mjs HOST_PROGRAM MACHINE_PROFILE OUTPUT_DIR
// writes OUTPUT_DIR/window-1920x1080-en.png, window-700x500-en.png and the same with -zh.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import puppeteer from 'puppeteer-core';

const [host, profile, output] = process.argv.slice(2);
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const timeout = 60000;
const shown = (page, name) => page.waitForFunction(
  (n) => [...document.querySelectorAll(`[data-name="${n}"]`)].some((e) => e.checkVisibility()), { timeout }, name);

async function tabTo(page, name) {
  for (let i = 0; i < 80; i++) {
    await page.keyboard.press('Tab');
    if (await page.evaluate((n) => document.activeElement?.closest('[data-id]')?.dataset.name === n, name)) return;
  }
  throw new Error(`Tab never reached ${name}`);
}

async function settle(page) {
  await new Promise((resolve) => setTimeout(resolve, 600));
}

async function language(browser, code, suffix) {
  const work = mkdtempSync(join(tmpdir(), 'sysdiagnose-shots-'));
  const machine = JSON.parse(readFileSync(profile, 'utf8'));
  machine.host.userLanguage = code;
  writeFileSync(join(work, 'machine.json'), JSON.stringify(machine));
  const child = spawn(host, ['ui', '--machine', join(work, 'machine.json'), '--data-dir', join(work, 'data')],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  try {
    const url = await new Promise((resolve, reject) => {
      createInterface({ input: child.stdout }).once('line', resolve);
      child.once('exit', (c) => reject(new Error(`ui ended with ${c}`)));
    });
    const page = await browser.newPage();
    await page.setViewport({ width: 1920, height: 1080 });
    await page.goto(url);
    await shown(page, 'btnSysdiagnoseScan');
    await page.click('[data-name="btnSysdiagnoseScan"]');
    await shown(page, 'btnSysdiagnoseDetect');
    await page.click('[data-name="btnSysdiagnoseDetect"]');
    await shown(page, 'btnSysdiagnoseDetectBack');
    await tabTo(page, 'btnSuggest');
    await settle(page);
    await page.screenshot({ path: join(output, `window-1920x1080-${suffix}.png`) });

    await page.evaluate(() => document.activeElement.blur());
    await page.click('[data-name="btnSysdiagnoseDetectBack"]');
    await shown(page, 'btnSysdiagnoseScan');
    await page.setViewport({ width: 700, height: 500 });
    await tabTo(page, 'btnSysdiagnoseScan');
    await shown(page, 'txtSysdiagnoseDateItemsTips');  // the day bars' animation has ended
    await settle(page);
    await page.screenshot({ path: join(output, `window-700x500-${suffix}.png`) });
    await page.close();
  } finally {
    child.kill('SIGINT');
    await new Promise((resolve) => (child.exitCode !== null ? resolve() : child.once('exit', resolve)));
    rmSync(work, { recursive: true, force: true });
  }
}

const profileDir = mkdtempSync(join(tmpdir(), 'sysdiagnose-chromium-'));
const browser = await puppeteer.launch({
  executablePath: chromium, headless: true, userDataDir: profileDir,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
         '--disable-sync', '--no-first-run', '--hide-scrollbars'],
});
try {
  await language(browser, 'en-US', 'en');
  await language(browser, 'zh-CN', 'zh');
} finally {
  await browser.close();
  rmSync(profileDir, { recursive: true, force: true });
}
for (const size of ['1920x1080', '700x500']) for (const l of ['en', 'zh']) console.log(join(output, `window-${size}-${l}.png`));
