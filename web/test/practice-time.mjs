// How long the page takes to judge a practice try: the blunder of the game
// in test/data practised in the built page in headless chromium, a handful of
// tries at each time per try given (milliseconds; the page's default when
// none is given), each timed from Enter until the verdict is shown.
// A measurement, not a test: it prints the times.
//   node test/practice-time.mjs [MS ...]
import path from 'node:path';
import { PAGE_DIR, data, freshPage, launchBrowser, loadPgn, waitFor } from './harness.mjs';

// Tries that need the engine: none is the game's move or the review's.
const TRIES = ['Nf3', 'Nc3', 'd3', 'a3', 'Qxf7+', 'Qf3', 'Be2', 'Qe2'];
const chromium = await launchBrowser();
try {
  const { page, close } = await freshPage(chromium.browser, { url: `file://${path.join(PAGE_DIR, 'index.html')}` });
  await loadPgn(page, data('white-queen-blunder.pgn'));
  await waitFor(page, () => !(/** @type {HTMLButtonElement} */ (document.getElementById('practise'))).disabled, 10000);
  await page.select('#practise-side', 'w');
  for (const ms of process.argv.slice(2).length ? process.argv.slice(2) : [null]) {
    if (ms) await page.select('#practise-time', ms);
    const setting = await page.$eval('#practise-time', (e) => /** @type {HTMLSelectElement} */ (e).value);
    const times = [];
    for (const san of TRIES) {
      await page.click('#practise');
      await waitFor(page, () => document.getElementById('practise-prompt').dataset.status === 'find', 5000);
      await page.$eval('#move-input', (e) => (/** @type {HTMLInputElement} */ (e).value = ''));
      await page.type('#move-input', san);
      const t = Date.now();
      await page.keyboard.press('Enter');
      await waitFor(page, () => ['good', 'wrong'].includes(document.getElementById('practise-prompt').dataset.status), 30000);
      times.push(Date.now() - t);
      await page.click('#practise-stop');
    }
    const sorted = [...times].sort((a, b) => a - b);
    console.log(`time per try ${setting} ms: ${TRIES.length} tries judged in ${times.join(', ')} ms; median ${sorted[sorted.length >> 1]} ms, most ${sorted.at(-1)} ms`);
  }
  await close();
} finally {
  await chromium.close();
}
