// How long the page takes to review a game: the 80-ply game in test/data
// loaded into the built page in headless chromium and reviewed at each time
// per position given (milliseconds; the page's default when none is given).
// A measurement, not a test: it prints the times, and fails only when the
// page reports an error.
//   node test/review-time.mjs [MS ...]
import path from 'node:path';
import { PAGE_DIR, data, freshPage, launchBrowser, loadPgn, waitFor } from './harness.mjs';

const pgn = data('eighty-plies.pgn');
const chromium = await launchBrowser();
try {
  for (const ms of process.argv.slice(2).length ? process.argv.slice(2) : [null]) {
    const { page, close } = await freshPage(chromium.browser, { url: `file://${path.join(PAGE_DIR, 'index.html')}` });
    await loadPgn(page, pgn);
    if (ms) await page.select('#review-time', ms);
    const setting = await page.$eval('#review-time', (e) => /** @type {HTMLSelectElement} */ (e).value);
    const t = Date.now();
    await page.click('#review');
    await waitFor(page, () => document.body.dataset.state !== 'review', 600000);
    const positions = await page.$eval('#review-progress', (e) => /** @type {HTMLProgressElement} */ (e).max);
    const seconds = (Date.now() - t) / 1000;
    console.log(`time per position ${setting} ms: ${positions} positions reviewed in ${seconds.toFixed(1)} s (${((seconds * 1000) / positions).toFixed(0)} ms each)`);
    await close();
  }
} finally {
  await chromium.close();
}
