// Opening names in the browser: the name of the position on view as moves are typed and games loaded, transpositions, the library's list, and a review's book moves.
//   TARVIK_PAGE_DIR=../dist/web TARVIK_WEB_ARTEFACTS=../build/web-test node --test test/openings-browser.test.mjs
// @ts-nocheck: the waitFor predicates and $eval callbacks run in the page, where puppeteer types every element as Element.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { OPENINGS_FILE } from '../src/openings.js';
import { PAGE_DIR, freshPage, loadPgn, pageAndBrowser, shot, startServer, typeMove, view, waitFor } from './harness.mjs';

const run = pageAndBrowser();
const openPage = () => freshPage(run.browser, { url: `${run.server.origin}/`, origin: run.server.origin });
const opening = (page) => page.$eval('#opening', (e) => e.textContent);
const waitOpening = (page, text) => waitFor(page, (t) => document.getElementById('opening').textContent === t, 10000, text);

// Loads a one-game PGN and goes to its last position.
async function loadToEnd(page, pgn, plies) {
  await loadPgn(page, pgn);
  await waitFor(page, (n) => document.querySelectorAll('#moves [data-main]').length === n && document.body.dataset.state === 'analyse', 10000, plies);
  await page.click('#nav-last');
  await waitFor(page, (n) => document.getElementById('board').dataset.ply === String(n), 3000, plies);
}

test('the position on view is named as moves are typed, and a transposition gets the same name both ways', async () => {
  const { page, close } = await openPage();
  await page.click('#analyse');
  await waitFor(page, () => document.body.dataset.state === 'analyse', 3000);
  assert.equal(await opening(page), '', 'the start position is no opening');
  await typeMove(page, 'e4');
  await waitOpening(page, "B00 King's Pawn Game");
  await typeMove(page, 'c5');
  await waitOpening(page, 'B20 Sicilian Defense');
  // Out of book the name stays the last one reached; back at the start it goes.
  await typeMove(page, 'Qh5');
  await waitFor(page, () => document.getElementById('board').dataset.ply === '3', 3000);
  assert.equal(await opening(page), 'B20 Sicilian Defense');
  assert.ok(await page.$eval('#opening', (e) => e.getBoundingClientRect().height > 0), 'the name is shown');
  await page.click('#nav-first');
  await waitOpening(page, '');
  assert.ok(await page.$eval('#opening', (e) => e.getBoundingClientRect().height === 0), 'and takes no room without one');

  const names = [];
  for (const pgn of ['[White "Knight first"]\n\n1. Nf3 d5 2. d4 *', '[White "Pawn first"]\n\n1. d4 d5 2. Nf3 *']) {
    await loadToEnd(page, pgn, 3);
    names.push(await opening(page));
  }
  assert.deepEqual(names, ["D02 Queen's Pawn Game: Zukertort Variation", "D02 Queen's Pawn Game: Zukertort Variation"]);
  // The library lists each game's opening, the same for both.
  await waitFor(page, () => document.querySelectorAll('#library li .opening').length >= 2, 10000);
  const listed = await page.$$eval('#library li', (es) => es.map((e) => [e.querySelector('.players').textContent, e.querySelector('.opening')?.textContent]));
  for (const white of ['Knight first', 'Pawn first'])
    assert.ok(listed.some(([players, name]) => players.startsWith(white) && name === names[0]), `${white} in ${JSON.stringify(listed)}`);
  assert.match((await view(page)).pgn, /\[ECO "D02"\]\n\[Opening "Queen's Pawn Game: Zukertort Variation"\]/);
  await close();
});

test('a reviewed game marks its book moves and judges none of them, however much they lose', async () => {
  const { page, close } = await openPage();
  // By these evaluations 1... e5 and 2. Nf3 each throw the game away, and so
  // does 2... Qh4, the first move out of book.
  await loadToEnd(
    page,
    '[White "Ann"]\n[Black "Ben"]\n\n{ [%eval 0.20] } 1. e4 { [%eval 0.30] } e5 { [%eval 6.00] } 2. Nf3 { [%eval -1.00] } Qh4 { [%eval 9.00] } 3. Nxh4 { [%eval 9.10] } *',
    5,
  );
  await waitFor(page, () => document.querySelectorAll('#moves [data-book]').length === 3, 10000);
  const marks = await page.$$eval('#moves [data-main]', (es) =>
    es.map((e) => [e.dataset.san, e.hasAttribute('data-book'), e.dataset.judgement || null, e.nextElementSibling?.className || null]),
  );
  assert.deepEqual(marks, [
    ['e4', true, null, 'book'],
    ['e5', true, null, 'book'],
    ['Nf3', true, null, 'book'],
    ['Qh4', false, 'blunder', null],
    ['Nxh4', false, null, null],
  ]);
  assert.equal(await page.$eval('#summary-body', (e) => e.rows[0].cells[3].textContent + e.rows[1].cells[3].textContent), '01', 'one blunder, Black\'s');
  const { pgn } = await view(page);
  assert.equal(pgn.match(/\$\d/g)?.join(' '), '$4', 'the export marks the blunder alone');
  assert.match(pgn, /\[ECO "C40"\]\n\[Opening "King's Knight Opening"\]/);
  await page.click('#nav-prev');
  await page.click('#nav-prev');
  await waitOpening(page, "C40 King's Knight Opening");
  await page.evaluate(() => window.scrollTo(0, 0));
  await shot(page, 'openings.png');
  await close();
});

test('without its file of names the page plays on, naming nothing', async (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-no-openings-'));
  fs.cpSync(PAGE_DIR, dir, { recursive: true });
  fs.rmSync(path.join(dir, OPENINGS_FILE));
  const server = await startServer(dir);
  t.after(async () => {
    await server.stop();
    fs.rmSync(dir, { recursive: true, force: true });
  });
  const { page, close, problems } = await freshPage(run.browser, { url: `${server.origin}/`, origin: server.origin });
  await waitFor(page, (name) => performance.getEntriesByType('resource').some((r) => r.name.endsWith(name)), 10000, OPENINGS_FILE);
  await page.click('#analyse');
  await typeMove(page, 'e4');
  await typeMove(page, 'c5');
  await waitFor(page, () => document.getElementById('board').dataset.ply === '2', 5000);
  assert.equal(await opening(page), '');
  assert.equal((await view(page)).message, '');
  assert.doesNotMatch((await view(page)).pgn, /ECO|Opening/);
  // The browser reports the missing file on the console; the page adds nothing.
  assert.deepEqual(problems.splice(0), ['console error: Failed to load resource: the server responded with a status of 404 (Not Found)']);
  await close();
});
