// The page in a real browser: Debian's chromium, headless, driven by
// puppeteer-core, the page served from 127.0.0.1 (test/harness.mjs sets them
// up). Each scenario plays on a fresh page through the page's own
// controls (clicks and drags on the board, the buttons, keys and fields) and
// checks what the page shows; any page error, console error or request for a
// file that is not the page's own fails it.
//   TARVIK_PAGE_DIR=../dist/web TARVIK_WEB_ARTEFACTS=../build/web-test node --test test/browser.test.mjs
// @ts-nocheck: most of this file runs in the page (waitFor predicates, $eval
// callbacks, the worker gate), where puppeteer types every element as Element.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  PAGE_DIR,
  PHONE,
  artefact,
  clearArtefacts,
  data,
  freshPage,
  launchBrowser,
  loadPgn,
  note,
  shot,
  squareAt,
  startServer,
  view,
  waitFor,
} from './harness.mjs';
import { OPENINGS_FILE } from '../src/openings.js';
import { key, legalMoves, legalOr, oneMoveApart, readPgn, replayTo } from './replay.mjs';

// 1. The page served from 127.0.0.1, and the browser.
let server;
let chromium;

before(async () => {
  assert.ok(fs.existsSync(path.join(PAGE_DIR, 'index.html')), `no page in ${PAGE_DIR}: make web first`);
  clearArtefacts();
  server = await startServer(PAGE_DIR);
  chromium = await launchBrowser();
});

after(async () => {
  if (chromium) await chromium.close();
  if (server) await server.stop();
});

// A fresh page of the served page, or of url; any page error, console error
// or request beyond the page fails the scenario when it closes.
const openPage = (options = {}) => freshPage(chromium.browser, { url: `${server.origin}/`, origin: server.origin, ...options });

// Plays a move on the board as a person would: a click on each square or a
// drag; a promotion is chosen in the page's dialog. With settle, waits for
// the board to change.
async function playMove(page, move, drag, settle = true) {
  const { orientation, fen: before } = await view(page);
  // On a phone the controls below have scrolled the board away, as a person
  // would find it; they scroll back first.
  await page.$eval('cg-board', (e) => e.scrollIntoView({ block: 'nearest' }));
  const a = await squareAt(page, move.from, orientation);
  const b = await squareAt(page, move.to, orientation);
  if (drag) {
    await page.mouse.move(a.x, a.y);
    await page.mouse.down();
    await page.mouse.move((a.x + b.x) / 2, (a.y + b.y) / 2, { steps: 3 });
    await page.mouse.move(b.x, b.y, { steps: 3 });
    await page.mouse.up();
  } else {
    await page.mouse.click(a.x, a.y);
    await page.mouse.click(b.x, b.y);
  }
  if (move.promotion) {
    await page.waitForSelector('#promotion:not([hidden])', { timeout: 2000 });
    await page.click(`#promotion button[data-piece="${move.promotion}"]`);
  }
  // The board reports a move a moment after the mouse lets go.
  if (settle) await waitFor(page, (f) => document.getElementById('board').dataset.fen !== f, 5000, before);
}

const uci = (m) => ({ from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4] });

// Types a move into the move box and plays it with Enter.
async function typeMove(page, text) {
  await page.click('#move-input');
  await page.type('#move-input', text);
  await page.keyboard.press('Enter');
}

async function newGame(page, { colour, time, minutes, increment }) {
  await page.select('#colour', colour);
  await page.select('#time', time);
  if (time === 'custom') {
    await page.$eval('#minutes', (e, v) => (e.value = v), String(minutes));
    await page.$eval('#increment', (e, v) => (e.value = v), String(increment));
  }
  await page.click('#new-game');
}

// Waits until the player is to move at the live position (true) or the game
// is over (false).
async function awaitTurn(page, player, timeout) {
  await waitFor(
    page,
    (p) =>
      document.body.dataset.state === 'over' ||
      (document.body.dataset.state === 'playing' && document.getElementById('board').dataset.fen.split(' ')[1] === p),
    timeout,
    player,
  );
  return (await view(page)).state !== 'over';
}

// 2. Whole games with random legal moves for the player.
async function playGame(page, { colour, time, minutes, increment, label, screenshot }) {
  await newGame(page, { colour, time, minutes, increment });
  const player = colour;
  let plies = 0;
  let slowest = 0;
  let lastFen = null;
  const maxPlies = 240;
  for (;;) {
    if (!(await awaitTurn(page, player, 90000))) break;
    const before = await view(page);
    if (lastFen && before.fen !== lastFen) assert.ok(oneMoveApart(lastFen, before.fen), `${label}: the engine's move from ${lastFen} is legal`);
    assert.equal(before.message, '', `${label}: no message`);
    if (plies >= maxPlies) {
      await page.click('#resign');
      break;
    }
    const moves = legalMoves(before.fen);
    const move = moves[Math.floor(Math.random() * moves.length)];
    await playMove(page, move, plies % 3 === 1);
    const after = await view(page);
    // The engine may have answered already.
    lastFen = move.after;
    assert.ok(key(after.fen) === key(move.after) || oneMoveApart(move.after, after.fen), `${label}: the board played ${move.san} (${after.fen})`);
    plies += 2;
    // The page answers at once while the engine thinks in its worker.
    if (after.state === 'thinking') {
      const t = Date.now();
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => r())));
      slowest = Math.max(slowest, Date.now() - t);
    }
    if (screenshot && plies >= 10 && !fs.existsSync(artefact(screenshot))) await shot(page, screenshot);
  }
  const end = await view(page);
  assert.equal(end.state, 'over', `${label}: the game ended`);
  const result = /\[Result "([^"]+)"\]/.exec(end.pgn);
  assert.ok(result && result[1] !== '*', `${label}: the PGN has a result`);
  assert.match(end.pgn, /\[TimeControl "\d+\+\d+"\]/, `${label}: the PGN has the time control`);
  assert.doesNotMatch(end.status, /on time/, `${label}: nobody lost on time`);
  // The exported PGN replays to the position on the board.
  const replay = readPgn(end.pgn);
  assert.equal(replay.fens.at(-1), end.fen, `${label}: the PGN replays to the board`);
  assert.ok(slowest < 1000, `${label}: the page answered within ${slowest} ms while the engine thought`);
  if (!fs.existsSync(artefact('game-end.png'))) await shot(page, 'game-end.png');
  note(`${label}: ${end.status} after ${replay.sans.length} plies; page answered within ${slowest} ms while the engine thought`);
}

test('whole games through the page: a result, a PGN that replays, no illegal move', async () => {
  server.served.length = 0;
  const { page, readyMs, close } = await openPage();
  const files = [...new Set(server.served.map((s) => s.name))];
  const bytes = server.served.reduce((sum, s) => sum + s.bytes, 0);
  note(`served page: ${bytes} bytes (${files.join(', ')}); board took a move ${readyMs} ms after opening`);
  await playGame(page, { colour: 'w', time: '1+0', label: 'game 1 (White, 1+0)', screenshot: 'mid-game.png' });
  await playGame(page, { colour: 'b', time: 'custom', minutes: 1, increment: 1, label: 'game 2 (Black, 1+1)', screenshot: 'mid-game.png' });
  assert.ok(fs.existsSync(artefact('mid-game.png')), 'a screenshot of a game in progress was kept');
  await close();
});

test('the page files total at most 350 KB, and the opening names loaded after them at most 250 KB', () => {
  let total = 0;
  const walk = (dir) => {
    for (const f of fs.readdirSync(dir, { withFileTypes: true })) {
      const p = path.join(dir, f.name);
      if (f.isDirectory()) walk(p);
      // The worker script beside the page is for other web tools; the page
      // carries its own copy inside app.js. The notices are not loaded, and
      // the opening names only once the board plays.
      else if (!['tarvik-worker.js', 'THIRD_PARTY_NOTICES.txt', OPENINGS_FILE].includes(f.name)) total += fs.statSync(p).size;
    }
  };
  walk(PAGE_DIR);
  const openings = fs.statSync(path.join(PAGE_DIR, OPENINGS_FILE)).size;
  note(`page files: ${total} bytes; ${OPENINGS_FILE}: ${openings} bytes`);
  assert.ok(total <= 350 * 1024, `${total} bytes`);
  assert.ok(openings <= 250 * 1024, `${OPENINGS_FILE}: ${openings} bytes`);
});

test('a position from FEN with a promotion; malformed FENs are refused and the game stays', async () => {
  const { page, close } = await openPage();
  await page.select('#time', '15+10');
  await page.select('#colour', 'w');
  await page.type('#fen', '8/P7/8/8/8/8/6kp/K7 w - -');
  await page.click('#set-fen');
  await waitFor(page, () => document.getElementById('board').dataset.fen === '8/P7/8/8/8/8/6kp/K7 w - - 0 1', 3000);
  await playMove(page, { from: 'a7', to: 'a8', promotion: 'n' }, false);
  await waitFor(page, () => document.getElementById('board').dataset.fen.startsWith('N7/'), 3000);
  assert.ok((await view(page)).pgn.includes('[FEN "8/P7/8/8/8/8/6kp/K7 w - - 0 1"]'), 'the PGN names the set-up position');
  await page.click('#takeback');
  await awaitTurn(page, 'w', 5000);
  const kept = await view(page);
  for (const bad of [
    'rnbqkbnr/pppppppp/8/8 w KQkq',
    'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1',
    '8/8/8/8/8/8/8/8 w - - 0 1',
    'k6R/8/8/8/8/8/8/K7 w - - 0 1',
    'kk6/8/8/8/8/8/8/K7 w - - 0 1',
    '<img src=x onerror=alert(1)> w - - 0 1',
    'x'.repeat(200),
  ]) {
    await page.$eval('#fen', (e, v) => (e.value = v), bad);
    await page.click('#set-fen');
    const now = await view(page);
    const text = await page.$eval('#fen-message', (e) => e.className + ': ' + e.textContent);
    assert.ok(text.startsWith('error: ') && text.length > 20, `FEN "${bad.slice(0, 40)}" refused with a message (${text})`);
    assert.ok(now.fen === kept.fen && now.pgn === kept.pgn, `FEN "${bad.slice(0, 40)}" leaves the game as it was`);
  }
  await close();
});

test('take-back after the engine answered and while it still thinks', async () => {
  const { page, close } = await openPage();
  await newGame(page, { colour: 'w', time: '15+10' });
  await awaitTurn(page, 'w', 10000);
  const start = (await view(page)).fen;
  await playMove(page, { from: 'e2', to: 'e4' }, false);
  await waitFor(page, () => document.body.dataset.state === 'thinking', 3000);
  await page.click('#takeback');
  await awaitTurn(page, 'w', 3000);
  assert.equal((await view(page)).fen, start, 'take-back while the engine thinks restores the start position');
  await playMove(page, { from: 'd2', to: 'd4' }, true);
  await waitFor(page, () => document.body.dataset.state === 'thinking', 3000);
  assert.ok(await awaitTurn(page, 'w', 60000), 'the restarted engine answers');
  const answered = await view(page);
  assert.equal(answered.moves[0], 'd4');
  assert.equal(answered.ply, 2);
  await page.click('#takeback');
  await awaitTurn(page, 'w', 3000);
  assert.equal((await view(page)).fen, start, 'take-back after the answer goes back to the start position');
  await close();
});

test('analysis: engine lines, an arrow and the bar; Stop holds; either side moves', async () => {
  const { page, close } = await openPage();
  await page.click('#analyse');
  await waitFor(page, () => document.getElementById('info-body').children.length >= 3, 10000);
  await page.waitForSelector('.cg-wrap svg.cg-shapes line', { timeout: 3000 });
  assert.equal(await page.$eval('#eval-bar', (e) => e.classList.contains('idle')), false, 'the evaluation bar shows');
  await page.click('#stop');
  await waitFor(page, () => document.getElementById('status').textContent.startsWith('Analysis:'), 5000);
  const rows = (await view(page)).infoRows;
  await new Promise((r) => setTimeout(r, 1500));
  assert.equal((await view(page)).infoRows, rows, 'no engine lines arrive after Stop');
  const scores = await page.$$eval('#info-body td:nth-child(2)', (tds) => tds.map((td) => td.textContent));
  assert.ok(scores.every((s) => /^([+-]?\d+\.\d\d|[+-]mate)$/.test(s)), `scores shown in pawns (${scores.join(' ')})`);
  await playMove(page, { from: 'e2', to: 'e4' }, false);
  await playMove(page, { from: 'e7', to: 'e5' }, false);
  await waitFor(page, () => document.getElementById('info-body').children.length >= 2, 10000);
  assert.ok((await view(page)).fen.startsWith('rnbqkbnr/pppp1ppp/8/4p3/4P3/'), 'analysis mode moves either side');
  await page.click('#stop');
  await page.click('#analyse');
  assert.ok(await awaitTurn(page, 'w', 3000), 'back to the game from analysis');
  await close();
});

test('going through a game: clicks and keys show the positions the rules library replays', async () => {
  const { page, close } = await openPage();
  await newGame(page, { colour: 'w', time: '15+10' });
  for (const m of ['e2e4', 'g1f3', 'f1c4']) {
    await awaitTurn(page, 'w', 30000);
    await playMove(page, legalOr(m, (await view(page)).fen), false);
  }
  await awaitTurn(page, 'w', 30000);
  const game = await view(page);
  assert.equal(game.ply, 6);
  const shown = async (ply, how) => {
    const v = await view(page);
    assert.equal(v.ply, ply, how);
    assert.equal(v.fen, replayTo(game.pgn, ply), `${how}: the board at ply ${ply}`);
  };
  // Looking back during a game: the clock keeps running and no move is taken.
  await page.click('#nav-first');
  await shown(0, 'first');
  const clockBefore = await page.$eval('#clock-bottom .time', (e) => e.textContent);
  await page.click('#nav-next');
  await shown(1, 'next');
  await page.keyboard.press('ArrowRight');
  await shown(2, '→');
  await page.keyboard.press('ArrowLeft');
  await shown(1, '←');
  await page.keyboard.press('End');
  await shown(6, 'End');
  await page.keyboard.press('Home');
  await shown(0, 'Home');
  await page.click('#moves [data-ply="3"]');
  await shown(3, 'a click on the third move');
  await page.click('#nav-last');
  await shown(6, 'last');
  await page.click('#nav-prev');
  await shown(5, 'previous');
  const legal = legalMoves((await view(page)).fen)[0];
  await playMove(page, legal, false, false);
  await new Promise((r) => setTimeout(r, 300));
  assert.equal((await view(page)).ply, 5, 'no move from a past position of a game');
  await new Promise((r) => setTimeout(r, 1100));
  const clockAfter = await page.$eval('#clock-bottom .time', (e) => e.textContent);
  assert.notEqual(clockAfter, clockBefore, 'the clock runs while the player looks back');
  assert.equal((await view(page)).state, 'playing');
  // The engine's move brings the view back to the live position.
  await page.click('#nav-last');
  await playMove(page, legalOr('d2d3', (await view(page)).fen), false);
  await page.click('#nav-first');
  await awaitTurn(page, 'w', 30000);
  assert.equal((await view(page)).ply, 8, 'the engine moved and the view followed');
  // In analysis, another move from an earlier position adds a variation,
  // dragged and then typed; nothing is asked and the game stays the main line.
  await page.click('#analyse');
  await page.click('#moves [data-main][data-ply="2"]');
  const branch = await view(page);
  assert.equal(branch.fen, replayTo(branch.pgn, 2), 'a click on the second move');
  const other = legalMoves(branch.fen).find((m) => m.san !== branch.moves[2]);
  await playMove(page, other, true);
  const reply = legalMoves(other.after)[0];
  await typeMove(page, reply.san);
  await page.keyboard.press('Escape');
  const added = await view(page);
  assert.deepEqual(added.moves, branch.moves, 'the main line stays');
  assert.deepEqual([added.ply, added.fen], [4, reply.after], 'the typed move is on view');
  const variation = await page.$$eval('#moves [data-node]:not([data-main])', (es) => es.map((e) => [e.dataset.san, e.dataset.ply, e.hasAttribute('data-current')]));
  assert.deepEqual(variation, [[other.san, '3', false], [reply.san, '4', true]], 'the variation is listed');
  const shownLine = await page.$eval('#moves .line', (e) => e.textContent.replace(/\s+/g, ' '));
  assert.equal(shownLine, `(2. ${other.san} ${reply.san})`, 'the variation is shown in parentheses');
  const exported = readPgn(added.pgn);
  assert.deepEqual(exported.sans, branch.moves, 'the export keeps the main line');
  const [, side] = exported.mainline[2].children;
  assert.deepEqual([side.san, side.children[0].san], [other.san, reply.san], 'the export carries the variation');
  // ← and → follow the line on view; ↓ and ↑ choose among the moves at a branch.
  for (const [press, ply, fen] of [
    ['ArrowLeft', 3, other.after],
    ['ArrowRight', 4, reply.after],
    ['ArrowLeft', 3, other.after],
    ['ArrowLeft', 2, branch.fen],
    ['ArrowRight', 3, replayTo(branch.pgn, 3)],
    ['ArrowDown', 3, other.after],
    ['ArrowRight', 4, reply.after],
    ['ArrowLeft', 3, other.after],
    ['ArrowUp', 3, replayTo(branch.pgn, 3)],
    ['ArrowRight', 4, replayTo(branch.pgn, 4)],
  ]) {
    await page.keyboard.press(press);
    const v = await view(page);
    assert.deepEqual([v.ply, v.fen], [ply, fen], `${press} to ply ${ply}`);
  }
  // The game's own next move is just a step forward.
  await page.click('#nav-first');
  await playMove(page, uci('e2e4'), false);
  const stepped = await view(page);
  assert.deepEqual([stepped.ply, stepped.moves], [1, branch.moves], 'the first move is a step');
  assert.equal(await page.$$eval('#moves [data-node]', (es) => es.length), branch.moves.length + 2, 'no line added');
  await close();
});

test('a review of a game that leaves the queen: the blunder marked, the graph clickable, the PGN carries it', async () => {
  const { page, close } = await openPage();
  await loadPgn(page, data('queen-blunder.pgn'));
  await waitFor(page, () => document.getElementById('moves').querySelectorAll('[data-ply]').length === 10, 3000);
  const t = Date.now();
  await page.click('#review');
  await waitFor(page, () => document.body.dataset.state === 'review', 3000);
  await waitFor(page, () => document.body.dataset.state !== 'review', 60000);
  note(`review of a 10-ply game at the default time: ${Date.now() - t} ms`);
  assert.equal(await page.$eval('#review-progress', (e) => e.max), 11, 'the review went through the start and the 10 moves');
  assert.ok(await page.$eval('#review-running', (e) => e.hidden), 'the progress bar goes once the review is done');
  const judged = await page.$$eval('#moves [data-judgement]', (es) => es.map((e) => [Number(e.dataset.ply), e.dataset.judgement]));
  assert.ok(judged.some(([ply, j]) => ply === 6 && j === 'blunder'), `3... Qh4 is a blunder (${JSON.stringify(judged)})`);
  assert.ok(judged.every(([ply]) => ply % 2 === 0), `no move of White's is judged (${JSON.stringify(judged)})`);
  assert.match(await page.$eval('#moves', (e) => e.textContent), /Qh4\?\?/);
  assert.ok(await page.$$eval('#eval-graph polyline, #eval-graph rect.blunder', (es) => es.length >= 2), 'the graph is drawn with the blunder');
  // A click on the graph at ply 6 goes there.
  const box = await (await page.$('#eval-graph')).boundingBox();
  await page.mouse.click(box.x + (box.width * 6) / 10, box.y + box.height / 2);
  const at = await view(page);
  assert.equal(at.ply, 6);
  assert.equal(at.fen, replayTo(data('queen-blunder.pgn'), 6));
  assert.equal(at.pgn.match(/\[%eval\s+(#-?\d+|-?\d+\.\d\d)\]/g)?.length, 11, 'the PGN has an %eval for every position');
  assert.match(at.pgn, /Qh4\s+\$4/, 'the blunder has $4');
  assert.equal(readPgn(at.pgn).sans.length, 10, 'the reviewed PGN still reads');
  await shot(page, 'review.png');
  // A phone's width without its touch emulation, which would reload the page.
  await page.setViewport({ width: PHONE.width, height: PHONE.height });
  await shot(page, 'review-phone.png', true);
  await close();
});

test('a review can be cancelled and a finished game reviewed', async () => {
  const { page, close } = await openPage();
  await loadPgn(page, data('eighty-plies.pgn'));
  await page.click('#review');
  await waitFor(page, () => document.getElementById('review-progress').value >= 2, 20000);
  await page.click('#cancel-review');
  const v = await view(page);
  assert.equal(v.state, 'analyse');
  assert.match(v.message, /cancelled/);
  await waitFor(page, () => document.getElementById('info-body').children.length >= 1, 10000);
  await close();
});

const IMPORTS = [
  ['a good PGN', data('queen-blunder.pgn'), { plies: 10, players: /Ann – Ben/ }],
  [
    'a FEN start',
    '[Event "Ending"]\n[SetUp "1"]\n[FEN "8/P7/8/8/8/8/6kp/K7 w - - 0 1"]\n\n1. a8=Q+ Kg1 2. Qg8+ Kf2 *\n',
    { plies: 4, start: '8/P7/8/8/8/8/6kp/K7 w - - 0 1' },
  ],
  [
    'comments and variations',
    '[White "A"]\n[Black "B"]\n[Result "1-0"]\n\n{Opening} 1. e4 {best by test} e5 (1... c5 2. Nf3 (2. c3)) 2. Nf3 $1 Nc6 3. Bb5 a6!? 1-0\n',
    { plies: 6, result: '1-0', lines: ['c5', 'Nf3', 'c3'], comments: ['Opening', 'best by test'] },
  ],
  [
    'several games',
    '[White "One"]\n[Black "Two"]\n\n1. d4 d5 *\n\n[White "Three"]\n[Black "Four"]\n\n1. e4 *\n\n[White "Five"]\n\n1. c4 *\n',
    { plies: 2, players: /One – Two/, note: /3 games/, games: 3 },
  ],
];

// The games in the library list, once it shows count of them.
async function libraryHolds(page, count) {
  await waitFor(page, (n) => document.querySelectorAll('#library [data-game-id]').length === n, 5000, count);
}

test('loading games: main line, FEN start, comments, variations, several games', async () => {
  const { page, close } = await openPage();
  let stored = 0;
  for (const [what, text, want] of IMPORTS) {
    await loadPgn(page, text);
    const v = await view(page);
    const games = want.games || 1;
    assert.equal(v.pgnMessage, `${games} game${games === 1 ? '' : 's'} loaded.`, `${what}: the games counted`);
    assert.equal(await page.$eval('#pgn-message', (e) => e.className), '', `${what}: no error`);
    stored += games;
    await libraryHolds(page, stored);
    assert.equal(v.moves.length, want.plies, `${what}: the moves`);
    assert.equal(v.ply, 0, `${what}: the start on view`);
    assert.equal(v.state, 'analyse', `${what}: analysed`);
    if (want.start) assert.equal(v.fen, want.start, `${what}: the start position`);
    if (want.players) assert.match(v.players, want.players, `${what}: the players`);
    if (want.result) assert.match(v.players, new RegExp(want.result.replace('/', '\\/')), `${what}: the result`);
    if (want.note) assert.match(v.players, want.note, `${what}: what was left out`);
    if (want.lines) {
      const lines = await page.$$eval('#moves [data-node]:not([data-main])', (es) => es.map((e) => e.dataset.san));
      assert.deepEqual(lines, want.lines, `${what}: the variations kept`);
    }
    if (want.comments) {
      assert.equal(v.comment, want.comments[0], `${what}: the opening comment`);
      await page.keyboard.press('ArrowRight');
      assert.equal((await view(page)).comment, want.comments[1], `${what}: the first move's comment`);
      assert.match(await page.$eval('#moves', (e) => e.textContent), /Nf3!.*a6!\?/, `${what}: the NAGs shown`);
    }
    await page.keyboard.press('End');
    assert.equal((await view(page)).fen, replayTo(text.split(/\n\n(?=\[)/)[0], want.plies), `${what}: the last position`);
  }
  // A bad game among good ones is skipped and named; the good ones load.
  await loadPgn(page, '[White "Six"]\n\n1. e4 *\n\n[White "Seven"]\n\n1. e4 e5 2. Ke3 *\n\n[White "Eight"]\n\n1. d4 *\n');
  const mixed = await view(page);
  assert.match(mixed.pgnMessage, /^2 games loaded, 1 skipped \(Game 2: .*Ke3.*\)\.$/);
  assert.equal(await page.$eval('#pgn-message', (e) => e.className), 'error');
  assert.deepEqual([mixed.players.startsWith('Six'), mixed.moves], [true, ['e4']], 'the first good game opens');
  await libraryHolds(page, stored + 2);
  // Play from here: a game against the engine from the position on view.
  await loadPgn(page, IMPORTS[0][1]);
  await page.keyboard.press('ArrowRight');
  await page.select('#colour', 'b');
  await page.click('#play-from-here');
  await awaitTurn(page, 'b', 30000);
  const played = await view(page);
  assert.equal(played.orientation, 'b');
  assert.ok(played.pgn.includes(`[FEN "${replayTo(IMPORTS[0][1], 1)}"]`), 'the game starts from the position on view');
  assert.equal(played.ply, 0);
  await close();
});

test('bad PGN text gets a message naming where reading stopped, and the game stays', async () => {
  const { page, close } = await openPage();
  await loadPgn(page, data('queen-blunder.pgn'));
  await libraryHolds(page, 1);
  await page.keyboard.press('ArrowRight');
  const kept = await view(page);
  for (const [what, text, message] of [
    ['malformed', '[White "A"\n\n1. e4 {unclosed e5 *', /./],
    ['unbalanced variation', '1. e4 (1. d4 e5 *', /./],
    ['illegal move', '1. e4 e5 2. Ke3 Nc6 *', /Ke3/],
    ['unreadable move', '1. e4 e5 2. Zz9 *', /Zz9/],
    ['impossible FEN', '[SetUp "1"]\n[FEN "k6R/8/8/8/8/8/8/K7 w - - 0 1"]\n\n1. Kb2 *', /FEN|check/i],
    ['empty', '   ', /./],
    ['more than 10,000 games', '1. e4 *\n\n'.repeat(10001), /10,000 games/],
  ]) {
    await loadPgn(page, text);
    const v = await view(page);
    assert.match(v.pgnMessage, message, `${what}: a message (${v.pgnMessage})`);
    assert.ok(v.pgnMessage.length > 15, `${what}: a clear message (${v.pgnMessage})`);
    assert.equal(await page.$eval('#pgn-message', (e) => e.className), 'error');
    assert.deepEqual([v.fen, v.ply, v.moves], [kept.fen, kept.ply, kept.moves], `${what}: the game stays`);
  }
  // A file is read the same way; one over 20 MB is refused whole. (Pasted,
  // so long a text takes the browser seconds to lay out in the box.)
  const input = await page.$('#pgn-file');
  const file = path.join(os.tmpdir(), `tarvik-test-${process.pid}.pgn`);
  fs.writeFileSync(file, `[Event "big"]\n\n{${'x'.repeat(21 * 1024 * 1024)}} 1. e4 *`);
  await input.uploadFile(file);
  await waitFor(page, () => /20 MB/.test(document.getElementById('pgn-message').textContent), 10000);
  const big = await view(page);
  assert.deepEqual([big.fen, big.ply, big.moves], [kept.fen, kept.ply, kept.moves], 'more than 20 MB: the game stays');
  assert.equal(await page.$$eval('#library [data-game-id]', (es) => es.length), 1, 'nothing of a refused text is stored');
  fs.writeFileSync(file, IMPORTS[3][1]);
  await input.uploadFile(file);
  await waitFor(page, () => /One – Two/.test(document.getElementById('players').textContent), 3000);
  assert.equal((await view(page)).pgnMessage, '3 games loaded.');
  await libraryHolds(page, 4);
  fs.rmSync(file);
  await close();
});

test('analysis after a game ends, and a review of the game played', async () => {
  const { page, close } = await openPage();
  await newGame(page, { colour: 'w', time: '15+10' });
  for (const m of ['e2e4', 'd2d4']) {
    await awaitTurn(page, 'w', 30000);
    await playMove(page, legalOr(m, (await view(page)).fen), false);
  }
  await awaitTurn(page, 'w', 30000);
  await page.click('#resign');
  await waitFor(page, () => document.body.dataset.state === 'over', 3000);
  assert.equal(await page.$eval('#review', (e) => e.disabled), false, 'a finished game can be reviewed');
  await page.click('#analyse');
  await waitFor(page, () => document.getElementById('info-body').children.length >= 2, 10000);
  await page.click('#review');
  await waitFor(page, () => document.body.dataset.state === 'analyse' && document.getElementById('review-progress').value > 0 && !document.getElementById('eval-graph').hasAttribute('hidden'), 60000);
  await page.setViewport({ width: PHONE.width, height: PHONE.height });
  await shot(page, 'phone-review.png', true);
  await close();
});

test('loss on time', async () => {
  const { page, close } = await openPage();
  await newGame(page, { colour: 'w', time: 'custom', minutes: 0.05, increment: 0 });
  await waitFor(page, () => document.body.dataset.state === 'over', 10000);
  const flag = await view(page);
  assert.match(flag.status, /White lost on time/);
  assert.match(flag.status, /0-1/);
  assert.ok(flag.pgn.includes('[Termination "time forfeit"]') && flag.pgn.includes('[TimeControl "3+0"]'), 'the PGN records the time forfeit');
  await close();
});

test('a phone-sized screen: the page fits, a game is played and resigned', async () => {
  const { page, close } = await openPage({ viewport: PHONE });
  await newGame(page, { colour: 'w', time: '3+2' });
  await awaitTurn(page, 'w', 5000);
  const fits = await page.evaluate(() => ({
    scroll: document.scrollingElement.scrollWidth,
    board: document.querySelector('cg-board').getBoundingClientRect().width,
  }));
  assert.ok(fits.scroll <= 390 && fits.board >= 300, `the page fits a phone (${JSON.stringify(fits)})`);
  // Developing moves, so that no quick mate ends the game before it is resigned.
  for (const m of ['e2e4', 'g1f3', 'f1c4']) {
    assert.ok(await awaitTurn(page, 'w', 30000));
    await playMove(page, legalOr(m, (await view(page)).fen), false);
  }
  await awaitTurn(page, 'w', 30000);
  await shot(page, 'phone.png', true);
  await page.click('#resign');
  await waitFor(page, () => document.body.dataset.state === 'over', 5000);
  assert.match((await view(page)).status, /resign/i);
  await shot(page, 'phone-end.png', true);
  await close();
});

// The test stands between the page and its worker: it can refuse to make
// one, kill one as it starts a search, or replace the engine's next move.
function workerGate() {
  const RealWorker = window.Worker;
  window.blockWorkers = true;
  window.Worker = function (url) {
    if (window.blockWorkers) throw new Error('workers blocked by the test');
    const real = new RealWorker(url);
    let onerror = null;
    return {
      postMessage: (m) => {
        real.postMessage(m);
        if (window.dieOnGo && String(m).startsWith('go')) {
          window.dieOnGo = false;
          setTimeout(() => {
            real.terminate();
            onerror({ message: 'killed by the test' });
          }, 30);
        }
      },
      terminate: () => real.terminate(),
      set onerror(f) {
        onerror = f;
        real.onerror = f;
      },
      set onmessage(f) {
        real.onmessage = (e) => {
          const fake = window.fakeReply;
          if (fake && String(e.data).startsWith('bestmove')) {
            window.fakeReply = null;
            f({ data: fake });
          } else f(e);
        };
      },
    };
  };
}

test('an engine that cannot start, dies mid-search or answers an illegal move', async () => {
  const { page, close, allowConsoleErrors } = await openPage({ setUp: workerGate, wait: false });
  // The page reports the illegal reply on the console as an error.
  allowConsoleErrors();
  await page.waitForSelector('#engine-error:not([hidden])', { timeout: 5000 });
  assert.match(await page.$eval('#engine-error-text', (e) => e.textContent), /engine is not running/);
  await playMove(page, uci('e2e4'), false);
  await page.evaluate(() => (window.blockWorkers = false));
  await page.click('#restart');
  assert.ok(await awaitTurn(page, 'w', 30000), 'the restarted engine answers the waiting move');
  const resumed = readPgn((await view(page)).pgn).sans;
  assert.ok(resumed[0] === 'e4' && resumed.length === 2, 'the game was kept through the restart');
  assert.ok(await page.$eval('#engine-error', (e) => e.hidden), 'the message goes once the engine runs');
  // A worker that dies in the middle of a search.
  const beforeDeath = await view(page);
  await page.evaluate(() => (window.dieOnGo = true));
  await playMove(page, legalMoves(beforeDeath.fen)[0], false);
  await page.waitForSelector('#engine-error:not([hidden])', { timeout: 5000 });
  assert.match(await page.$eval('#engine-error-text', (e) => e.textContent), /killed by the test/);
  assert.equal(readPgn((await view(page)).pgn).sans.length, 3, 'the game is kept when the worker dies');
  await page.click('#restart');
  assert.ok(await awaitTurn(page, 'w', 30000), 'the restarted engine answers the move it was thinking about');
  // An illegal reply is reported and not played.
  const beforeBad = await view(page);
  await page.evaluate(() => (window.fakeReply = 'bestmove e7e4'));
  const legal = legalMoves(beforeBad.fen)[0];
  await playMove(page, legal, false);
  await waitFor(page, () => document.getElementById('message').textContent !== '', 30000);
  const bad = await view(page);
  assert.match(bad.message, /not a legal move/);
  assert.equal(bad.fen.split(' ')[0], legal.after.split(' ')[0], 'the illegal reply is not played');
  await close();
});

test('opened straight from the folder (file://)', async () => {
  const { page, readyMs, close } = await openPage({ url: `file://${path.join(PAGE_DIR, 'index.html')}` });
  await playMove(page, uci('g1f3'), false);
  assert.ok(await awaitTurn(page, 'w', 30000), 'from file:// the engine answers');
  note(`file:// page: board took a move ${readyMs} ms after opening`);
  // The game is saved there too: a reload brings it back, paused.
  const played = await view(page);
  assert.equal(await page.$eval('#storage-message', (e) => e.textContent), '', 'saving works from file://');
  await page.reload();
  await waitFor(page, () => document.body.dataset.state === 'paused', 10000);
  const back = await view(page);
  assert.deepEqual([back.fen, back.moves], [played.fen, played.moves], 'the game comes back');
  await libraryHolds(page, 1);
  await page.click('#resume');
  assert.ok(await awaitTurn(page, 'w', 3000), 'Resume goes on with it');
  // A new game is stored from its first move: left before one, it is not.
  await page.click('#new-game');
  await waitFor(page, () => document.getElementById('board').dataset.ply === '0', 3000);
  await page.reload();
  await waitFor(page, () => document.body.dataset.state !== 'loading', 10000);
  await libraryHolds(page, 1);
  await close();
});
