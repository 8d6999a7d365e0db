// Practising a reviewed game's blunder in chromium with the real engine: the
// position before it, the blunder refused, tries judged, the summary, and the
// practice and its result kept over reloads.
//   TARVIK_PAGE_DIR=../dist/web TARVIK_WEB_ARTEFACTS=../build/web-test node --test test/practice-browser.test.mjs
// @ts-nocheck: the waitFor predicates run in the page.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Chess } from 'chessops/chess';
import { makeFen } from 'chessops/fen';
import { parsePgn, startingPosition } from 'chessops/pgn';
import { parseSan } from 'chessops/san';
import { data, freshPage, loadPgn, note, pageAndBrowser, shot, view, waitFor } from './harness.mjs';

const served = pageAndBrowser();
const GAME = data('white-queen-blunder.pgn');

// The position after the game's first plies, by chessops.
function fenAfter(plies) {
  const game = parsePgn(GAME)[0];
  const pos = startingPosition(game.headers).unwrap();
  let n = 0;
  for (const node of game.moves.mainline()) {
    if (n++ === plies) break;
    pos.play(parseSan(pos, node.san));
  }
  return makeFen(pos.toSetup());
}

const prompt = (page) => page.$eval('#practise-prompt', (e) => [e.textContent, e.dataset.status]);

/** Types a try into the move box; resolves once the page has judged it. */
async function tryMove(page, san) {
  await page.$eval('#move-input', (e) => (e.value = ''));
  await page.type('#move-input', san);
  const t0 = Date.now();
  await page.keyboard.press('Enter');
  await waitFor(page, () => !['judging', 'find'].includes(document.getElementById('practise-prompt').dataset.status), 15000);
  return Date.now() - t0;
}

test('a blunder practised: refused again, a weak try not this one, a good one found, kept over a reload', async () => {
  const { page, close } = await freshPage(served.browser, { url: `${served.server.origin}/`, origin: served.server.origin });
  await loadPgn(page, GAME);
  await waitFor(page, () => !document.getElementById('eval-graph').hidden && !document.getElementById('practise').disabled, 10000);
  await page.select('#practise-side', 'w');
  await page.click('#practise');
  await waitFor(page, () => document.body.dataset.state === 'practise', 5000);
  let shown = await view(page);
  assert.equal(shown.fen, fenAfter(4), 'the position before the blunder');
  assert.equal(shown.orientation, 'w');
  assert.deepEqual(await prompt(page), ['Find a better move', 'find']);
  assert.equal(shown.infoRows, 0, 'no engine line gives the answer away');

  const weak = await tryMove(page, 'Qxf7+');
  assert.deepEqual(await prompt(page), ['Not this one', 'wrong'], 'the queen given for a pawn');
  assert.equal((await view(page)).fen, fenAfter(4), 'the board goes back for the next try');
  // A reload in the middle takes the practice up at the same position.
  await page.reload();
  await waitFor(page, () => document.body.dataset.state === 'practise' && document.getElementById('practise-prompt').dataset.status === 'find', 20000);
  assert.equal((await view(page)).fen, fenAfter(4), 'the same position after a reload');
  await tryMove(page, 'Qxe5+');
  assert.deepEqual(await prompt(page), ['Not this one', 'wrong'], 'the blunder itself');
  const good = await tryMove(page, 'Nf3');
  assert.deepEqual(await prompt(page), ['Good move', 'good']);
  note(`practice: a try judged in ${weak} ms (Qxf7+, not this one) and ${good} ms (Nf3, good) at the default time`);
  shown = await view(page);
  assert.deepEqual(shown.moves, ['e4', 'e5', 'Qh5', 'Nc6', 'Qxe5+', 'Nxe5'], 'tries stay out of the game');
  assert.match(await page.$eval('#practise-summary', (e) => e.textContent), /Found 1, shown 0, skipped 0/);
  await shot(page, 'practice-good.png');
  await page.click('#practise-next');
  await waitFor(page, () => document.body.dataset.state !== 'practise', 5000);
  assert.match(await page.$eval('#practise-summary', (e) => e.textContent), /^Practice done: Found 1, shown 0, skipped 0/);

  await page.reload();
  await waitFor(page, () => document.querySelectorAll('#moves [data-node]').length === 6 && !document.getElementById('practise-summary').hidden, 20000);
  assert.match(await page.$eval('#practise-summary', (e) => e.textContent), /Found 1, shown 0, skipped 0/);
  assert.deepEqual(await page.$$eval('#moves [data-practised]', (es) => es.map((e) => `${e.dataset.san} ${e.dataset.practised}`)), ['Qxe5+ found']);
  // Over the library, a position found is not asked again.
  await page.select('#practise-side', 'w');
  await page.click('#practise-all');
  await waitFor(page, () => /no reviewed game/i.test(document.getElementById('message').textContent), 5000);
  await close();
});
