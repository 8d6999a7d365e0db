// How long the page takes to review a game: the 80-ply game in test/data
// loaded into the built page in headless chromium and reviewed at each time
// per position given (milliseconds; the page's default when none is given).
// A measurement, not a test: it prints the times and exits 0.
//   node test/review-time.mjs [MS ...]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const pageDir = path.resolve(process.env.TARVIK_PAGE_DIR || path.join(here, '../../dist/web'));
const pgn = fs.readFileSync(path.join(here, 'data/eighty-plies.pgn'), 'utf8');
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`],
});
try {
  for (const ms of process.argv.slice(2).length ? process.argv.slice(2) : [null]) {
    const page = await browser.newPage();
    await page.goto(`file://${path.join(pageDir, 'index.html')}`);
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Your move'), { timeout: 20000 });
    await page.$eval('#pgn-input', (e, v) => (e.value = v), pgn);
    await page.click('#load-pgn');
    if (ms) await page.select('#review-time', ms);
    const setting = await page.$eval('#review-time', (e) => e.value);
    const t = Date.now();
    await page.click('#review');
    await page.waitForFunction(() => document.body.dataset.state !== 'review', { timeout: 600000, polling: 100 });
    const positions = await page.$eval('#review-progress', (e) => e.max);
    const seconds = (Date.now() - t) / 1000;
    console.log(`time per position ${setting} ms: ${positions} positions reviewed in ${seconds.toFixed(1)} s (${((seconds * 1000) / positions).toFixed(0)} ms each)`);
    await page.close();
  }
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
