// The page's stored work in chromium, each scenario in a browser context of its own: reloads, the move tree, the library, many games, reviews and clocks from PGN, no storage, the backup, a shared position, a phone.
//   TARVIK_PAGE_DIR=../dist/web TARVIK_WEB_ARTEFACTS=../build/web-test node --test test/library.test.mjs
// @ts-nocheck: most of this file runs in the page (waitFor predicates, $eval
// callbacks), where puppeteer types every element as Element.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { Chess, normalizeMove } from 'chessops/chess';
import { makeFen, parseFen } from 'chessops/fen';
import { parsePgn, startingPosition } from 'chessops/pgn';
import { makeSanAndPlay, parseSan } from 'chessops/san';
import { parseUci } from 'chessops/util';
import { PHONE, data, freshPage, loadPgn, pageAndBrowser, shot, typeMove, view, waitFor } from './harness.mjs';
import { manyGames } from './many-games.mjs';

const START = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';
// King and pawn against king: the engine answers at once and no quick mate
// ends the game.
const ENDING = '4k3/8/8/8/8/8/4P3/4K3 w - - 0 1';

// Screenshots of other files of tests may share the folder: none is removed.
const served = pageAndBrowser();

// Runs in the page before its scripts, on every load of it: keeps each
// status text and page state shown, and each file the page hands out for
// download.
function hooks() {
  window.seen = { statuses: [], states: [] };
  window.downloads = [];
  const make = URL.createObjectURL.bind(URL);
  // Only the page's downloads: the engine's worker starts from a Blob too.
  URL.createObjectURL = (blob) => {
    if (blob instanceof Blob && blob.type === 'application/x-chess-pgn') window.downloads.push(blob);
    return make(blob);
  };
  addEventListener('DOMContentLoaded', () => {
    const status = document.getElementById('status');
    if (!status) return;
    const note = () => {
      window.seen.statuses.push(status.textContent);
      window.seen.states.push(document.body.dataset.state);
    };
    note();
    const watch = new MutationObserver(note);
    watch.observe(status, { childList: true, characterData: true, subtree: true });
    watch.observe(document.body, { attributes: true, attributeFilter: ['data-state'] });
  });
}

// Runs in the page before its scripts: the library opens 1.5 s late, as on a
// busy machine.
function slowStorage() {
  const open = IDBFactory.prototype.open;
  IDBFactory.prototype.open = function (...args) {
    const late = {};
    setTimeout(() => {
      const request = open.apply(this, args);
      for (const name of ['onupgradeneeded', 'onblocked', 'onsuccess', 'onerror']) request[name] = (event) => late[name]?.(event);
      Object.defineProperties(late, { result: { get: () => request.result }, error: { get: () => request.error } });
    }, 1500);
    return late;
  };
}

const openPage = (options = {}) =>
  freshPage(served.browser, { url: `${served.server.origin}/`, origin: served.server.origin, setUp: hooks, ...options });

// 1. Reading and driving the page.

/** Every move of the list, main line and variations, in the list's order. */
const tree = (page) =>
  page.$$eval('#moves [data-node]', (es) =>
    es.map((e) => ({ path: e.dataset.path, san: e.dataset.san, ply: Number(e.dataset.ply), main: e.hasAttribute('data-main') })),
  );
const mainSans = async (page) => (await tree(page)).filter((n) => n.main).map((n) => n.san);
const current = (page) => page.$eval('#moves [data-current]', (e) => e.dataset.path).catch(() => null);
const text = (page, selector) => page.$eval(selector, (e) => e.textContent);
const judgements = (page) => page.$$eval('#moves [data-judgement]', (es) => es.map((e) => `${e.dataset.ply} ${e.dataset.san} ${e.dataset.judgement}`));

/** The saved games on the library's page, as listed. */
const library = (page) =>
  page.$$eval('#library [data-game-id]', (es) =>
    es.map((e) => ({
      id: e.dataset.gameId,
      players: e.querySelector('.players').textContent,
      result: e.querySelector('.result').textContent,
      moves: e.querySelector('.plies').textContent,
      reviewed: !!e.querySelector('.reviewed'),
      open: e.classList.contains('open'),
    })),
  );
const libraryCount = (page) => text(page, '#library-count');
async function waitForCount(page, total, timeout = 10000) {
  try {
    await waitFor(page, (n) => document.getElementById('library-count').textContent.endsWith(` of ${n}`), timeout, total);
  } catch (e) {
    const shown = await page.evaluate(() => [document.getElementById('library-count').textContent, document.getElementById('pgn-message').textContent]);
    throw new Error(`the library does not reach ${total} games: ${shown.join(' / ')}`, { cause: e });
  }
}
const openId = async (page) => {
  await waitFor(page, () => !!document.querySelector('#library li.open'), 10000);
  return page.$eval('#library li.open', (e) => e.dataset.gameId);
};

/** Types move and waits for the board to reach ply. */
async function playTyped(page, move, ply) {
  await typeMove(page, move);
  await waitFor(page, (p) => document.getElementById('board').dataset.ply === String(p), 5000, ply);
}

// Waits until the player, with colour, is to move at the live position of a
// game against the engine.
async function awaitTurn(page, colour, timeout = 60000) {
  await waitFor(
    page,
    (c) => document.body.dataset.state === 'playing' && document.getElementById('board').dataset.fen.split(' ')[1] === c,
    timeout,
    colour,
  );
}

/** The first of wanted that is legal in fen, else its first legal move, in SAN. */
function pick(fen, wanted) {
  const pos = Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
  for (const san of wanted) if (parseSan(pos, san)) return san;
  const [from, dests] = [...pos.allDests()].find(([, d]) => d.nonEmpty());
  return makeSanAndPlay(pos, { from, to: dests.first() });
}

/** A clock's text in seconds: "2:58" or "9.4". */
const seconds = (t) => (t.includes(':') ? Number(t.split(':')[0]) * 60 + Number(t.split(':')[1]) : Number(t));
const clocks = (page) => page.evaluate(() => [0, 1].map((i) => document.querySelectorAll('.clock .time')[i].textContent));

/** The text of the newest file the page handed out for download. */
async function downloaded(page, count) {
  await waitFor(page, (n) => window.downloads.length >= n, 10000, count);
  return page.evaluate(() => window.downloads[window.downloads.length - 1].text());
}

/** Starts a review at 0.05 s a position and waits for its end. */
async function reviewQuickly(page) {
  await page.select('#review-time', '50');
  await page.click('#review');
  await waitFor(page, () => document.body.dataset.state === 'review', 5000);
  await waitFor(page, () => document.body.dataset.state !== 'review', 120000);
}

// 2. The referee: chessops replays a path of UCI moves (castling as the
// engine writes it, e1g1) from a FEN.
function replay(fen, movePath) {
  const pos = Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
  for (const uci of movePath ? movePath.split(' ') : []) {
    const move = normalizeMove(pos, parseUci(uci));
    assert.ok(pos.isLegal(move), `${uci} is legal in ${makeFen(pos.toSetup())}`);
    pos.play(move);
  }
  return makeFen(pos.toSetup());
}

/** Every position of a PGN's first game as the SANs that reach it, sorted. */
function linesOf(pgn) {
  const lines = [];
  const walk = (node, sans) => {
    for (const child of node.children) {
      lines.push([...sans, child.data.san].join(' '));
      walk(child, [...sans, child.data.san]);
    }
  };
  walk(parsePgn(pgn)[0].moves, []);
  return lines.sort();
}

/** The same of the page's move list. */
function sanLines(nodes) {
  const san = new Map(nodes.map((n) => [n.path, n.san]));
  return nodes
    .map((n) => n.path.split(' ').map((_, i, ids) => san.get(ids.slice(0, i + 1).join(' '))).join(' '))
    .sort();
}

/** Each game of a PGN text as chessops reads it: headers and main-line SANs. */
function gamesOf(pgn) {
  return parsePgn(pgn).map((g) => ({ headers: Object.fromEntries(g.headers), sans: [...g.moves.mainline()].map((m) => m.san) }));
}

// 3. The scenarios.

test('a game against the engine comes back after a reload: its moves, paused, its clocks; Resume goes on', async () => {
  const { page, close } = await openPage();
  // A game left before its first move is not stored.
  await page.reload();
  await waitFor(page, () => document.getElementById('status').textContent.startsWith('Your move'), 20000);
  await page.select('#time', '15+10');
  await page.click('#new-game');
  await awaitTurn(page, 'w');
  await playTyped(page, 'e4', 1);
  await awaitTurn(page, 'w');
  await playTyped(page, pick((await view(page)).fen, ['Nf3']), 3);
  // Reloaded while the engine thinks, Resume lets it answer. Reloaded seconds
  // after its move, the player's clock is as the page left it, not as it was
  // at that move.
  await waitFor(page, () => document.body.dataset.state === 'thinking', 3000);
  for (const [when, next, wait] of [
    ['the engine to move', 'engine', 0],
    ['the player to move', 'player', 2500],
  ]) {
    await new Promise((r) => setTimeout(r, wait));
    const before = { ...(await view(page)), tree: await tree(page), clocks: await clocks(page) };
    await page.reload();
    await waitFor(page, () => document.body.dataset.state === 'paused', 10000);
    const back = { ...(await view(page)), tree: await tree(page), clocks: await clocks(page) };
    assert.deepEqual(back.tree, before.tree, `${when}: the same moves`);
    assert.equal(back.fen, before.fen, `${when}: the same position`);
    assert.match(back.status, /paused/i, `${when}: the status says so`);
    for (const i of [0, 1])
      assert.ok(Math.abs(seconds(back.clocks[i]) - seconds(before.clocks[i])) <= 1, `${when}: clock ${i} ${back.clocks[i]} as it stood (${before.clocks[i]})`);
    // No time passes while the game waits.
    await new Promise((r) => setTimeout(r, 1200));
    assert.deepEqual(await clocks(page), back.clocks, `${when}: the clocks stand while paused`);
    assert.ok(await page.$eval('#resume', (e) => !e.hidden), `${when}: Resume is offered`);
    await page.click('#resume');
    if (next === 'engine') {
      await awaitTurn(page, 'w');
      assert.equal((await view(page)).ply, before.ply + 1, 'the engine answered after Resume');
    } else {
      await waitFor(page, () => document.body.dataset.state === 'playing', 3000);
      const ply = (await view(page)).ply;
      await playTyped(page, pick((await view(page)).fen, ['Bc4', 'd4']), ply + 1);
      await awaitTurn(page, 'w');
    }
  }
  await waitForCount(page, 1);
  assert.equal((await library(page)).length, 1, 'one game stored, whatever the reloads');
  await close();
});

test('a reviewed game comes back after a reload with its graph and marks, and no new search', async () => {
  const { page, close } = await openPage();
  await loadPgn(page, data('queen-blunder.pgn'));
  await reviewQuickly(page);
  await page.keyboard.press('End');
  const before = { judged: await judgements(page), graph: await page.$eval('#eval-graph', (e) => e.innerHTML), summary: await text(page, '#summary-body') };
  assert.ok(before.judged.some((j) => j === '6 Qh4 blunder'), `the queen left to be taken is a blunder (${before.judged})`);
  await page.reload();
  await waitFor(page, () => document.querySelectorAll('#moves [data-node]').length === 10 && !document.getElementById('eval-graph').hidden, 10000);
  assert.deepEqual(await judgements(page), before.judged, 'the same marks');
  assert.equal(await page.$eval('#eval-graph', (e) => e.innerHTML), before.graph, 'the same graph, the position on view marked');
  assert.equal(await text(page, '#summary-body'), before.summary, 'the same summary');
  assert.equal((await view(page)).ply, 10, 'the position on view when the page was left');
  await new Promise((r) => setTimeout(r, 500));
  const seen = await page.evaluate(() => window.seen);
  assert.ok(!seen.statuses.some((s) => /Reviewing/.test(s)) && !seen.states.includes('review'), `no search after the reload (${seen.statuses})`);
  assert.ok((await library(page)).some((g) => g.reviewed && g.open), 'the library lists it as reviewed');
  await close();
});

test('the move tree: a typed move adds a variation; promote, delete and undo; export and import keep the tree', async () => {
  const { page, close } = await openPage();
  await loadPgn(page, data('queen-blunder.pgn'));
  const main = await mainSans(page);
  // 1. From ply 2 a move other than the game's 2. Nf3, then a reply.
  await page.click('#moves [data-main][data-ply="2"]');
  await playTyped(page, 'Bc4', 3);
  await playTyped(page, 'g8f6', 4);
  assert.deepEqual(await mainSans(page), main, 'the main line stays');
  let nodes = await tree(page);
  const side = nodes.find((n) => n.san === 'Bc4' && !n.main);
  assert.ok(side, `the variation is listed (${JSON.stringify(nodes)})`);
  assert.equal(side.ply, 3);
  assert.equal(await current(page), `${side.path} g8f6`, 'the reply is on view');
  assert.match(await text(page, '#moves'), /\(2\. ?Bc4 Nf6\)/, 'the variation shows in parentheses');
  // A nested one: from Black's 2... Nf6 in the side line, 2... Bc5 instead.
  await page.click(`#moves [data-path="${side.path}"]`);
  await playTyped(page, 'Bc5', 4);
  // A typed move that is not legal changes nothing and says so.
  const kept = await tree(page);
  await typeMove(page, 'Ke3');
  assert.notEqual(await text(page, '#move-message'), '', 'an illegal typed move gets a message');
  assert.deepEqual(await tree(page), kept, 'an illegal typed move changes nothing');
  await shot(page, 'tree.png');
  await page.setViewport({ width: PHONE.width, height: PHONE.height });
  await page.$eval('#moves', (e) => e.scrollIntoView({ block: 'center' }));
  await shot(page, 'tree-phone.png');
  await page.setViewport({ width: 1100, height: 850 });

  // 2. Promote, delete, undo, on the move on view.
  await page.click(`#moves [data-path="${side.path}"]`);
  await page.click('#promote');
  nodes = await tree(page);
  assert.deepEqual(
    nodes.filter((n) => n.main).map((n) => n.san),
    ['e4', 'e5', 'Bc4', 'Nf6'],
    'Promote makes the variation the main line',
  );
  assert.ok(nodes.some((n) => n.san === 'Nf3' && !n.main && n.ply === 3), 'the old main line stays as a variation');
  const promoted = nodes;
  await page.click('#delete-move');
  nodes = await tree(page);
  assert.ok(!nodes.some((n) => n.path.startsWith(side.path)), 'Delete removes the move and what follows');
  assert.deepEqual(await mainSans(page), main, 'the old main line is main again');
  assert.equal(await current(page), 'e2e4 e7e5', 'the position before the deleted move is on view');
  await page.click('#undo');
  assert.deepEqual(await tree(page), promoted, 'Undo brings the deleted line back');
  await page.click('#promote');
  const final = await tree(page);

  // 3. The export carries the tree; loading it back gives the same tree, and
  // every position shown is chessops's replay of its path.
  const pgn = (await view(page)).pgn;
  assert.deepEqual(linesOf(pgn), sanLines(final), `the export carries the tree:\n${pgn}`);
  await loadPgn(page, pgn);
  // The game open is stored already: the load says so.
  await waitFor(page, () => /already in the library/.test(document.getElementById('pgn-message').textContent), 5000);
  assert.equal((await view(page)).ply, 0);
  assert.deepEqual(await tree(page), final, 'the same tree after export and import');
  assert.equal((await view(page)).pgn, pgn, 'export, import, export gives the same text');
  for (const node of final) {
    await page.click(`#moves [data-path="${node.path}"]`);
    const shown = await view(page);
    assert.equal(shown.fen, replay(START, node.path), `the position after ${node.path}`);
    assert.equal(shown.ply, node.ply, `the ply of ${node.path}`);
  }
  await close();
});

/**
 * Fills an empty library with three games and returns them as they were on
 * view: a game against the engine, a loaded one (reviewed when asked) and one
 * set up from a FEN.
 */
async function threeGames(page, { review = false } = {}) {
  const games = {};
  const keep = async (name) => {
    await waitFor(page, () => !!document.querySelector('#library li.open'), 10000);
    games[name] = { id: await openId(page), pgn: (await view(page)).pgn, tree: await tree(page) };
  };
  await page.select('#time', '15+10');
  await page.click('#new-game');
  await awaitTurn(page, 'w');
  await playTyped(page, 'd4', 1);
  await awaitTurn(page, 'w');
  await waitForCount(page, 1);
  await keep('played');
  await loadPgn(page, data('queen-blunder.pgn'));
  await waitForCount(page, 2);
  if (review) await reviewQuickly(page);
  await keep('loaded');
  await page.$eval('#fen', (e, v) => (e.value = v), ENDING);
  await page.click('#set-fen');
  await waitFor(page, (f) => document.getElementById('board').dataset.fen === f, 5000, ENDING);
  await awaitTurn(page, 'w');
  await playTyped(page, 'Kd2', 1);
  await awaitTurn(page, 'w');
  await waitForCount(page, 3);
  await keep('setUp');
  return games;
}

/** A fresh page where 1. e4 is played, answered and stored. */
async function withOneGame(options) {
  const opened = await openPage(options);
  await playTyped(opened.page, 'e4', 1);
  await awaitTurn(opened.page, 'w');
  await waitForCount(opened.page, 1);
  return opened;
}

/** Opens a listed game and waits until it is on view. */
async function openGame(page, id) {
  await page.click(`#library [data-game-id="${id}"]`);
  await waitFor(page, (i) => document.querySelector('#library li.open')?.dataset.gameId === i, 10000, id);
}

test('the library: a played, a loaded and a set-up game are listed, open, delete, come back, and export', async () => {
  const { page, close } = await openPage();
  const games = await threeGames(page);
  const listed = await library(page);
  assert.deepEqual(listed.map((g) => g.id).sort(), Object.values(games).map((g) => g.id).sort(), 'the three games are listed');
  assert.ok(listed.some((g) => g.players === 'Ann – Ben' && g.moves === '5 moves'), `the loaded game's line (${JSON.stringify(listed)})`);
  await page.$eval('#library-box', (e) => e.scrollIntoView());
  await shot(page, 'library.png');
  await page.setViewport({ width: PHONE.width, height: PHONE.height });
  await page.$eval('#library-box', (e) => e.scrollIntoView());
  await shot(page, 'library-phone.png');
  await page.setViewport({ width: 1100, height: 850 });

  // Games against the engine open paused, a loaded one for analysis.
  for (const [name, state] of [
    ['played', 'paused'],
    ['loaded', 'analyse'],
    ['setUp', 'paused'],
  ]) {
    await openGame(page, games[name].id);
    assert.deepEqual(await tree(page), games[name].tree, `${name}: its moves`);
    assert.equal((await view(page)).pgn, games[name].pgn, `${name}: its PGN`);
    assert.equal((await view(page)).state, state, `${name}: ${state}`);
  }
  await page.click('#nav-first');
  assert.equal((await view(page)).fen, ENDING, 'the set-up game starts from its FEN');

  // Delete the open game; Undo brings it back; delete it again.
  await openGame(page, games.loaded.id);
  await page.click('#library-delete');
  await waitForCount(page, 2);
  assert.ok(!(await library(page)).some((g) => g.id === games.loaded.id), 'Delete removes the open game');
  await page.click('#undo');
  await waitForCount(page, 3);
  assert.ok((await library(page)).some((g) => g.id === games.loaded.id), 'Undo brings it back');
  assert.equal((await view(page)).pgn, games.loaded.pgn, 'and opens it');
  await page.click('#library-delete');
  await waitForCount(page, 2);

  await page.click('#library-export');
  const exported = gamesOf(await downloaded(page, 1));
  const want = [games.played.pgn, games.setUp.pgn].flatMap(gamesOf);
  assert.deepEqual(
    exported.map((g) => [g.headers.FEN ?? START, g.sans.join(' ')]).sort(),
    want.map((g) => [g.headers.FEN ?? START, g.sans.join(' ')]).sort(),
    'the export holds exactly the other two games',
  );
  await close();
});

test('many games from one PGN: the good ones stored, the bad ones counted and the first named; a second load adds none', async () => {
  const { page, close } = await openPage();
  const faults = { 37: 'illegal', 120: 'fen', 205: 'variation', 300: 'comment' };
  const { text: pgn, good } = manyGames(300, { faults });
  await loadPgn(page, pgn);
  await waitForCount(page, good.length, 60000);
  const message = (await view(page)).pgnMessage;
  assert.match(message, new RegExp(`\\b${good.length} games loaded`), message);
  assert.match(message, /\b4 skipped/, message);
  assert.match(message, /Game 37\b.*Ke3/, `the first bad game is named (${message})`);
  assert.equal(await page.$eval('#pgn-message', (e) => e.className), 'error');
  assert.match((await view(page)).players, /Player 1 – Rival 1/, 'the first game is open');
  await page.type('#library-search', 'Player 205');
  await waitFor(page, () => document.getElementById('library-count').textContent.endsWith(' of 0'), 5000);
  await page.$eval('#library-search', (e) => (e.value = ''));
  await page.type('#library-search', 'Player 204');
  await waitFor(page, () => document.getElementById('library-count').textContent.endsWith(' of 1'), 5000);
  await page.$eval('#library-search', (e) => {
    e.value = '';
    e.dispatchEvent(new Event('input'));
  });
  await waitForCount(page, good.length);

  await loadPgn(page, pgn);
  await waitFor(page, (n) => document.getElementById('pgn-message').textContent.includes(`${n} already`), 60000, good.length);
  assert.match(await libraryCount(page), new RegExp(` of ${good.length}$`), 'a second load stores no copy');
  await close();
});

// A game with a clock comment after each move, as other sites write them.
const CLOCKED = `[Event "Blitz"]
[White "Cleo"]
[Black "Dan"]
[Result "*"]
[TimeControl "180+0"]

1. e4 {[%clk 0:03:00]} e5 {[%clk 0:02:59]} 2. Nf3 {[%clk 0:02:55.4]} Nc6 {[%clk 0:02:41]}
3. Bb5 {[%clk 0:02:50]} a6 {[%clk 0:00:09.3]} *
`;

test('a review read from PGN draws at once with no search; clock comments show on the clocks', async () => {
  const { page, close } = await openPage();
  const reviewed = data('queen-blunder-reviewed.pgn');
  await loadPgn(page, reviewed);
  await waitFor(page, () => !document.getElementById('eval-graph').hidden, 5000);
  // The review's marks are the NAGs the export wrote.
  const [game] = parsePgn(reviewed);
  const marks = { 6: 'inaccuracy', 2: 'mistake', 4: 'blunder' };
  const want = [];
  let ply = 0;
  for (const node of game.moves.mainline()) {
    ply++;
    const nag = (node.nags || []).find((n) => marks[n]);
    if (nag) want.push(`${ply} ${node.san} ${marks[nag]}`);
  }
  assert.ok(want.length > 0, 'the fixture has judged moves');
  assert.deepEqual(await judgements(page), want, 'the marks as exported');
  assert.ok(await page.$$eval('#eval-graph polyline', (es) => es.length >= 1), 'the graph is drawn');
  assert.ok(await page.$eval('#summary', (e) => !e.hidden && e.querySelectorAll('tbody tr').length === 2), 'the summary is drawn');
  await new Promise((r) => setTimeout(r, 500));
  const seen = await page.evaluate(() => window.seen);
  assert.ok(!seen.statuses.some((s) => /Reviewing/.test(s)) && !seen.states.includes('review'), `no search (${seen.statuses})`);
  // The game names no opening: the export adds the one its moves reach.
  const named = reviewed.replace('[Result "*"]\n', '[Result "*"]\n[ECO "C50"]\n[Opening "Italian Game"]\n');
  await waitFor(page, () => document.getElementById('pgn').value.includes('[ECO '), 5000);
  assert.equal((await view(page)).pgn, named, 'its export is the text read, with its opening');

  await loadPgn(page, CLOCKED);
  await waitFor(page, () => /Cleo/.test(document.getElementById('players').textContent), 5000);
  const expected = [
    ['', ''],
    ['', '3:00'],
    ['2:59', '3:00'],
    ['2:59', '2:55'],
    ['2:41', '2:55'],
    ['2:41', '2:50'],
    ['9.3', '2:50'],
  ];
  for (const [i, [top, bottom]] of expected.entries()) {
    assert.equal((await view(page)).ply, i);
    assert.deepEqual(await clocks(page), [top, bottom], `the clocks at ply ${i}`);
    await page.keyboard.press('ArrowRight');
  }
  await page.click('#moves [data-main][data-ply="3"]');
  assert.deepEqual(await clocks(page), ['2:59', '2:55'], 'a click on a move shows its clocks');
  await close();
});

test('with storage refused the page says so and a whole game is still played', async () => {
  const refusals = [
    [
      'IndexedDB open throws SecurityError',
      () => {
        IDBFactory.prototype.open = () => {
          throw new DOMException('Access to storage is not allowed.', 'SecurityError');
        };
      },
      /refuses|not saved/,
    ],
    ['no IndexedDB at all', () => delete window.indexedDB, /no storage|not saved/],
  ];
  for (const [how, setUp, message] of refusals) {
    const { page, close } = await openPage({ setUp });
    await waitFor(page, () => document.getElementById('storage-message').textContent !== '', 5000);
    const said = await text(page, '#storage-message');
    assert.match(said, message, `${how}: ${said}`);
    assert.ok(await page.$eval('#storage-message', (e) => e.getBoundingClientRect().height > 0), `${how}: the message shows`);
    await page.select('#time', '15+10');
    await page.click('#new-game');
    for (const move of ['e4', 'Nf3', 'Bc4']) {
      await awaitTurn(page, 'w');
      const ply = (await view(page)).ply;
      await playTyped(page, pick((await view(page)).fen, [move]), ply + 1);
    }
    await awaitTurn(page, 'w');
    await page.click('#resign');
    await waitFor(page, () => document.body.dataset.state === 'over', 5000);
    assert.match((await view(page)).status, /resigns/, `${how}: the game ends`);
    assert.equal(await text(page, '#storage-message'), said, `${how}: said once, unchanged`);
    await close();
  }
});

test('a backup: the library exported, the storage cleared, the file imported brings the games back, the review too', async () => {
  const first = await openPage();
  const games = await threeGames(first.page, { review: true });
  const listed = await library(first.page);
  await openGame(first.page, games.loaded.id);
  const judged = await judgements(first.page);
  assert.ok(judged.length > 0, 'the loaded game was reviewed');
  await first.page.click('#library-export');
  const backup = await downloaded(first.page, 1);
  await first.close();

  const file = path.join(os.tmpdir(), `tarvik-backup-${process.pid}.pgn`);
  fs.writeFileSync(file, backup);
  const { page, close } = await openPage();
  assert.equal(await libraryCount(page), '0–0 of 0', 'a new context starts with an empty library');
  // The browser reads the file after the change event: it stays until then.
  await (await page.$('#pgn-file')).uploadFile(file);
  await waitForCount(page, 3);
  fs.rmSync(file);
  assert.match((await view(page)).pgnMessage, /^3 games loaded\.$/);
  const back = await library(page);
  const line = (g) => [g.players, g.result, g.moves, g.reviewed].join(' | ');
  assert.deepEqual(back.map(line).sort(), listed.map(line).sort(), 'the same games, the review included');
  const again = back.find((g) => g.reviewed);
  await openGame(page, again.id);
  await waitFor(page, () => !document.getElementById('eval-graph').hidden, 5000);
  assert.deepEqual(await judgements(page), judged, 'the reviewed game with its marks');
  await close();
});

test('a PGN loaded while the library still opens is stored, and stays on view', async () => {
  const { page, close } = await withOneGame();
  await page.evaluateOnNewDocument(slowStorage);
  await page.reload();
  await waitFor(page, () => document.getElementById('status').textContent.startsWith('Your move'), 20000);
  await loadPgn(page, data('queen-blunder.pgn'));
  await waitForCount(page, 2);
  const v = await view(page);
  assert.match(v.players, /Ann – Ben/, 'the loaded game, not the one left open');
  assert.equal(v.state, 'analyse');
  assert.equal((await library(page)).find((g) => g.open)?.players, 'Ann – Ben', 'and it is the open one in the list');
  await close();
});

test('a shared position: #fen= sets it up and is cleared; a bad one gets the FEN message and the usual start', async () => {
  // The same context: a game played before the shared address is opened.
  const { page, close } = await withOneGame();
  const game = await tree(page);
  await page.goto('about:blank');
  await page.goto(`${served.server.origin}/#fen=${encodeURIComponent(ENDING)}`);
  await waitFor(page, (f) => document.getElementById('board').dataset.fen === f, 10000, ENDING);
  assert.equal(await page.evaluate(() => location.hash), '', 'the address is cleared');
  assert.equal(await page.$eval('#fen-message', (e) => e.className), '');
  await page.reload();
  await waitFor(page, () => document.body.dataset.state === 'paused', 10000);
  assert.deepEqual(await tree(page), game, "a reload opens the library's game");
  await close();

  const bad = 'k6R/8/8/8/8/8/8/K7 w - - 0 1';
  const typed = await openPage();
  await typed.page.$eval('#fen', (e, v) => (e.value = v), bad);
  await typed.page.click('#set-fen');
  const said = await text(typed.page, '#fen-message');
  await typed.close();
  const shared = await openPage({ url: `${served.server.origin}/#fen=${encodeURIComponent(bad)}` });
  await waitFor(shared.page, () => document.getElementById('fen-message').textContent !== '', 5000);
  assert.equal(await text(shared.page, '#fen-message'), said, 'the message a typed FEN gets');
  assert.equal(await shared.page.$eval('#fen-message', (e) => e.className), 'error');
  const v = await view(shared.page);
  assert.equal(v.fen, START, 'the usual start');
  assert.match(v.status, /^Your move/);
  assert.equal(await shared.page.evaluate(() => location.hash), '');
  await shared.close();
});

test('on a phone, New game and opening a library game bring the board into view', async () => {
  const { page, close } = await withOneGame({ viewport: PHONE });
  const boardInView = () =>
    page.$eval('cg-board', (e) => {
      const box = e.getBoundingClientRect();
      return box.top >= 0 && box.bottom <= window.innerHeight;
    });
  const id = await openId(page);
  await page.$eval('#new-game', (e) => e.scrollIntoView({ block: 'center' }));
  assert.equal(await boardInView(), false, 'New game sits below the board');
  await page.tap('#new-game');
  await waitFor(page, () => document.getElementById('board').dataset.ply === '0', 5000);
  assert.ok(await boardInView(), 'the board is in view after New game');
  await page.$eval(`#library [data-game-id="${id}"]`, (e) => e.scrollIntoView({ block: 'center' }));
  assert.equal(await boardInView(), false, 'the library sits below the board');
  await page.tap(`#library [data-game-id="${id}"]`);
  await waitFor(page, () => document.body.dataset.state === 'paused', 10000);
  assert.ok(await boardInView(), 'the board is in view after opening a game');
  await close();
});
