// How long the library takes in headless chromium: many games loaded from one PGN, and the page opened with none and with many stored. It prints the times and fails only when the page does not do what is measured.
//   node test/library-time.mjs [GAMES_LOADED [GAMES_STORED]]   (2000 and 1000 by default)
import assert from 'node:assert/strict';
import { PAGE_DIR, freshPage, launchBrowser, squareAt, startServer, waitFor } from './harness.mjs';
import { manyGames } from './many-games.mjs';

const [loaded = 2000, stored = 1000] = process.argv.slice(2).map(Number);
/** @typedef {import('puppeteer-core').Page} Page */

/** @param {number} ms */
const s = (ms) => `${(ms / 1000).toFixed(2)} s`;

/**
 * Loads count generated games; the times until the message and until the
 * library holds them all.
 * @param {Page} page
 * @param {number} count
 */
async function load(page, count) {
  // Games of 40 to 120 plies, about the length of games as played.
  const { text, good } = manyGames(count, { seed: count, plies: [40, 120] });
  await page.$eval('#pgn-input', (e, v) => (/** @type {HTMLTextAreaElement} */ (e).value = v), text);
  const t = Date.now();
  await page.click('#load-pgn');
  await waitFor(page, () => /games loaded/.test(document.getElementById('pgn-message').textContent), 600000);
  const message = Date.now() - t;
  await waitFor(page, (n) => document.getElementById('library-count').textContent.endsWith(` of ${n}`), 600000, good.length);
  return { message, stored: Date.now() - t, bytes: text.length };
}

/**
 * Drags e2 to e4, or g1 to f3 when e4 is played already, and returns the ms
 * until the board shows the move.
 * @param {Page} page
 */
async function dragMove(page) {
  const before = await page.$eval('#board', (e) => /** @type {HTMLElement} */ (e).dataset.fen);
  const [from, to] = before.startsWith('rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP') ? ['e2', 'e4'] : ['g1', 'f3'];
  const a = await squareAt(page, from, 'w');
  const b = await squareAt(page, to, 'w');
  const t = Date.now();
  await page.mouse.move(a.x, a.y);
  await page.mouse.down();
  await page.mouse.move(b.x, b.y, { steps: 4 });
  await page.mouse.up();
  await waitFor(page, (f) => document.getElementById('board').dataset.fen !== f, 5000, before);
  return Date.now() - t;
}

// Runs in the page before its scripts: when, from the navigation's start,
// the page's new game first took a move, and when the game left open (the
// first of those loaded) was back.
function timeMarks() {
  const marks = /** @type {{ move?: number, reopened?: number }} */ ({});
  window['marks'] = marks;
  addEventListener('DOMContentLoaded', () => {
    const status = document.getElementById('status');
    if (!status) return;
    const note = () => {
      if (status.textContent.startsWith('Your move')) marks.move ??= performance.now();
      if (document.body.dataset.state === 'analyse' && /Player 1 – /.test(document.getElementById('players')?.textContent ?? ''))
        marks.reopened ??= performance.now();
    };
    note();
    new MutationObserver(note).observe(document.body, { subtree: true, childList: true, characterData: true, attributes: true });
  });
}

const server = await startServer(PAGE_DIR);
const chromium = await launchBrowser();
try {
  const url = `${server.origin}/`;
  // 1. A PGN of many games loaded into an empty library.
  {
    const { page, close } = await freshPage(chromium.browser, { url, origin: server.origin });
    const t = await load(page, loaded);
    console.log(`${loaded} games (${(t.bytes / 1e6).toFixed(1)} MB of PGN): message after ${s(t.message)}, all stored after ${s(t.stored)}`);
    await close();
  }
  // 2. The page opened with an empty library, and reopened with many games.
  {
    const empty = await freshPage(chromium.browser, { url, origin: server.origin });
    console.log(`empty library: the board takes a move ${s(empty.readyMs)} after opening (the move took ${s(await dragMove(empty.page))})`);
    await empty.close();
    const { page, close } = await freshPage(chromium.browser, { url, origin: server.origin, setUp: timeMarks });
    await load(page, stored);
    await page.goto('about:blank');
    await page.goto(url);
    await waitFor(page, () => window['marks'].reopened !== undefined, 20000);
    const marks = await page.evaluate(() => window['marks']);
    const moved = await dragMove(page);
    assert.equal(await page.$eval('#board', (e) => /** @type {HTMLElement} */ (e).dataset.ply), '1');
    console.log(
      `${stored} games stored: from the navigation, the page's new game took a move after ${s(marks.move ?? NaN)}, ` +
        `the game left open was back after ${s(marks.reopened)} (a move dragged on it then took ${s(moved)})`,
    );
    await close();
  }
} finally {
  await chromium.close();
  await server.stop();
}
