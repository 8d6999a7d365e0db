// The play page in a real browser: Debian's chromium, headless, driven by
// puppeteer-core, the page served from 127.0.0.1 by a server this test starts
// and stops. The test plays through the page's own controls (clicks and drags
// on the board, the buttons and fields) and checks what the page shows.
//   node test/browser.mjs PAGE_DIR ARTEFACT_DIR
import { Chess } from 'chess.js';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [pageDir, artefacts] = process.argv.slice(2).map((p) => p && path.resolve(p));
if (!pageDir || !artefacts || !fs.existsSync(path.join(pageDir, 'index.html'))) {
  console.error('usage: node test/browser.mjs PAGE_DIR ARTEFACT_DIR');
  process.exit(2);
}
fs.mkdirSync(artefacts, { recursive: true });
for (const old of ['mid-game.png', 'game-end.png', 'phone.png', 'phone-end.png']) fs.rmSync(path.join(artefacts, old), { force: true });
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const started = Date.now();
let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    console.log(`FAIL ${what}`);
  }
  return ok;
}
function note(text) {
  console.log(`[web] ${text}`);
}

// 1. A static server on 127.0.0.1 that counts what it sends.
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.txt': 'text/plain' };
let servedBytes = 0;
const served = [];
const server = http.createServer((req, res) => {
  const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
  const file = path.join(pageDir, name === '/' ? 'index.html' : name);
  if (!file.startsWith(pageDir) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    res.writeHead(404);
    res.end();
    return;
  }
  const body = fs.readFileSync(file);
  servedBytes += body.length;
  served.push(name);
  res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
  res.end(body);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const origin = `http://127.0.0.1:${server.address().port}`;

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-chromium-'));
const browser = await puppeteer.launch({
  executablePath: CHROMIUM,
  headless: true,
  args: [
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
    `--user-data-dir=${profile}`,
  ],
});

async function openPage(url, viewport = { width: 1100, height: 850 }) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  page.on('pageerror', (e) => check(false, `page error: ${e.message}`));
  page.on('console', (m) => {
    if (m.type() === 'error') check(false, `console error: ${m.text()}`);
  });
  // Nothing but the page's own files (and the worker it makes from a Blob).
  page.on('request', (r) => {
    const u = r.url();
    check(u.startsWith(origin) || u.startsWith('file:') || u.startsWith('blob:') || u.startsWith('data:'), `request to ${u}`);
  });
  const t0 = Date.now();
  await page.goto(url);
  await waitFor(page, () => document.getElementById('status').textContent.startsWith('Your move'), 20000);
  return { page, readyMs: Date.now() - t0 };
}

async function waitFor(page, fn, timeout, ...args) {
  await page.waitForFunction(fn, { timeout, polling: 50 }, ...args);
}

const view = (page) =>
  page.evaluate(() => ({
    fen: document.getElementById('board').dataset.fen,
    state: document.body.dataset.state,
    status: document.getElementById('status').textContent,
    message: document.getElementById('message').textContent,
    pgn: document.getElementById('pgn').value,
    orientation: document.querySelector('.cg-wrap').classList.contains('orientation-black') ? 'b' : 'w',
    infoRows: document.getElementById('info-body').children.length,
  }));

// The centre of a square on the screen, for either orientation.
async function squareAt(page, square, orientation) {
  const box = await (await page.$('cg-board')).boundingBox();
  const file = square.charCodeAt(0) - 97;
  const rank = Number(square[1]) - 1;
  const size = box.width / 8;
  const col = orientation === 'w' ? file : 7 - file;
  const row = orientation === 'w' ? 7 - rank : rank;
  return { x: box.x + (col + 0.5) * size, y: box.y + (row + 0.5) * size };
}

// Plays a move on the board as a person would: a click on each square or a
// drag; a promotion is chosen in the page's dialog.
async function playMove(page, move, drag) {
  const { orientation, fen: before } = await view(page);
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
  await waitFor(page, (f) => document.getElementById('board').dataset.fen !== f, 5000, before);
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

// Waits until the player is to move (true) or the game is over (false).
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

// True when to follows from from by one legal move.
function oneMoveApart(from, to) {
  const chess = new Chess(from);
  const key = (fen) => fen.split(' ').slice(0, 4).join(' ');
  return chess.moves({ verbose: true }).some((m) => key(m.after) === key(to));
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
    if (lastFen && before.fen !== lastFen)
      check(oneMoveApart(lastFen, before.fen), `${label}: the engine's move from ${lastFen} is legal`);
    check(before.message === '', `${label}: no message (${before.message})`);
    const chess = new Chess(before.fen);
    if (chess.history().length === 0 && plies >= maxPlies) {
      await page.click('#resign');
      break;
    }
    const moves = chess.moves({ verbose: true });
    const move = moves[Math.floor(Math.random() * moves.length)];
    await playMove(page, move, plies % 3 === 1);
    const after = await view(page);
    // The engine may have answered already.
    lastFen = move.after;
    const key = (fen) => fen.split(' ').slice(0, 4).join(' ');
    check(
      key(after.fen) === key(move.after) || oneMoveApart(move.after, after.fen),
      `${label}: the board played ${move.san} (${after.fen})`,
    );
    plies += 2;
    // The page answers at once while the engine thinks in its worker.
    if (after.state === 'thinking') {
      const t = Date.now();
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => r())));
      slowest = Math.max(slowest, Date.now() - t);
    }
    // What a person sees mid-game, from the first game that gets that far.
    if (screenshot && plies >= 10 && !fs.existsSync(path.join(artefacts, screenshot)))
      await page.screenshot({ path: path.join(artefacts, screenshot) });
  }
  const end = await view(page);
  check(end.state === 'over', `${label}: the game ended`);
  const result = /\[Result "([^"]+)"\]/.exec(end.pgn);
  check(result && result[1] !== '*', `${label}: the PGN has a result`);
  check(/\[TimeControl "\d+\+\d+"\]/.test(end.pgn), `${label}: the PGN has the time control`);
  check(!/on time/.test(end.status), `${label}: nobody lost on time (${end.status})`);
  // The exported PGN replays to the position on the board.
  const replay = new Chess();
  try {
    replay.loadPgn(end.pgn);
    check(replay.fen() === end.fen, `${label}: the PGN replays to ${end.fen}, got ${replay.fen()}`);
  } catch (e) {
    check(false, `${label}: the PGN does not load: ${e.message}`);
  }
  check(slowest < 1000, `${label}: the page answered within ${slowest} ms while the engine thought`);
  // What a person sees when a game ends, from the first game.
  if (!fs.existsSync(path.join(artefacts, 'game-end.png'))) await page.screenshot({ path: path.join(artefacts, 'game-end.png') });
  note(`${label}: ${end.status} after ${replay.history().length} plies; page answered within ${slowest} ms while the engine thought`);
}

try {
  const { page, readyMs } = await openPage(`${origin}/`);
  note(`served page: ${servedBytes} bytes (${[...new Set(served)].join(', ')}); board took a move ${readyMs} ms after opening`);
  check(servedBytes < 1024 * 1024, `the page loads under 1 MB (${servedBytes})`);

  await playGame(page, { colour: 'w', time: '1+0', label: 'game 1 (White, 1+0)', screenshot: 'mid-game.png' });
  await playGame(page, { colour: 'b', time: 'custom', minutes: 1, increment: 1, label: 'game 2 (Black, 1+1)', screenshot: 'mid-game.png' });
  check(fs.existsSync(path.join(artefacts, 'mid-game.png')), 'a screenshot of a game in progress was kept');

  // 3. A position from FEN, with a promotion chosen in the dialog.
  await page.select('#time', '15+10');
  await page.select('#colour', 'w');
  await page.$eval('#fen', (e) => (e.value = ''));
  await page.type('#fen', '8/P7/8/8/8/8/6kp/K7 w - -');
  await page.click('#set-fen');
  await waitFor(page, () => document.getElementById('board').dataset.fen === '8/P7/8/8/8/8/6kp/K7 w - - 0 1', 3000);
  await playMove(page, { from: 'a7', to: 'a8', promotion: 'n' }, false);
  await waitFor(page, () => document.getElementById('board').dataset.fen.startsWith('N7/'), 3000);
  check((await view(page)).pgn.includes('[FEN "8/P7/8/8/8/8/6kp/K7 w - - 0 1"]'), 'the PGN names the set-up position');

  // 4. Malformed or unplayable FENs are refused and the game stays.
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
    check(text.startsWith('error: ') && text.length > 20, `FEN "${bad.slice(0, 40)}" refused with a message (${text})`);
    check(now.fen === kept.fen && now.pgn === kept.pgn, `FEN "${bad.slice(0, 40)}" leaves the game as it was`);
  }

  // 5. Take-back: after the engine's answer, and while it still thinks.
  await newGame(page, { colour: 'w', time: '15+10' });
  await awaitTurn(page, 'w', 10000);
  const start = (await view(page)).fen;
  await playMove(page, { from: 'e2', to: 'e4' }, false);
  await waitFor(page, () => document.body.dataset.state === 'thinking', 3000);
  await page.click('#takeback');
  await awaitTurn(page, 'w', 3000);
  check((await view(page)).fen === start, 'take-back while the engine thinks restores the start position');
  await playMove(page, { from: 'd2', to: 'd4' }, true);
  await waitFor(page, () => document.body.dataset.state === 'thinking', 3000);
  check(await awaitTurn(page, 'w', 60000), 'the restarted engine answers');
  const answered = await view(page);
  check(new Chess(answered.fen).history().length === 0 && answered.fen.split(' ')[1] === 'w', 'the engine answered 1. d4');
  await page.click('#takeback');
  await awaitTurn(page, 'w', 3000);
  check((await view(page)).fen === start, 'take-back after the answer goes back to the start position');

  // 6. Analysis and its Stop.
  await page.click('#analyse');
  await waitFor(page, () => document.getElementById('info-body').children.length >= 3, 10000);
  await page.click('#stop');
  await waitFor(page, () => document.getElementById('status').textContent.startsWith('Analysis:'), 5000);
  const rows = (await view(page)).infoRows;
  await new Promise((r) => setTimeout(r, 1500));
  check((await view(page)).infoRows === rows, 'no engine lines arrive after Stop');
  const scores = await page.$$eval('#info-body td:nth-child(2)', (tds) => tds.map((td) => td.textContent));
  check(scores.every((s) => /^([+-]?\d+\.\d\d|[+-]mate)$/.test(s)), `scores shown in pawns (${scores.join(' ')})`);
  await playMove(page, { from: 'e2', to: 'e4' }, false);
  await playMove(page, { from: 'e7', to: 'e5' }, false);
  await waitFor(page, () => document.getElementById('info-body').children.length >= 2, 10000);
  check((await view(page)).fen.startsWith('rnbqkbnr/pppp1ppp/8/4p3/4P3/'), 'analysis mode moves either side');
  await page.click('#stop');
  await page.click('#analyse');
  check(await awaitTurn(page, 'w', 3000), 'back to the game from analysis');

  // 7. Loss on time.
  await newGame(page, { colour: 'w', time: 'custom', minutes: 0.05, increment: 0 });
  await waitFor(page, () => document.body.dataset.state === 'over', 10000);
  const flag = await view(page);
  check(/White lost on time/.test(flag.status) && /0-1/.test(flag.status), `loss on time announced (${flag.status})`);
  check(flag.pgn.includes('[Termination "time forfeit"]') && flag.pgn.includes('[TimeControl "3+0"]'), 'the PGN records the time forfeit');

  // 8. A phone-sized screen.
  await page.setViewport({ width: 390, height: 844, isMobile: true, hasTouch: true });
  await newGame(page, { colour: 'w', time: '3+2' });
  await awaitTurn(page, 'w', 5000);
  const fits = await page.evaluate(() => ({
    scroll: document.scrollingElement.scrollWidth,
    board: document.querySelector('cg-board').getBoundingClientRect().width,
  }));
  check(fits.scroll <= 390 && fits.board >= 300, `the page fits a phone (${JSON.stringify(fits)})`);
  // A few moves in, then resigned: the phone screen mid-game and at the end.
  for (let i = 0; i < 3 && (await awaitTurn(page, 'w', 30000)); i++) {
    const moves = new Chess((await view(page)).fen).moves({ verbose: true });
    await playMove(page, moves[Math.floor(Math.random() * moves.length)], false);
  }
  await awaitTurn(page, 'w', 30000);
  await page.screenshot({ path: path.join(artefacts, 'phone.png'), fullPage: true });
  await page.click('#resign');
  await waitFor(page, () => document.body.dataset.state === 'over', 5000);
  check(/resign/i.test((await view(page)).status), `resigning ends the game (${(await view(page)).status})`);
  await page.screenshot({ path: path.join(artefacts, 'phone-end.png'), fullPage: true });
  await page.close();

  // 9. An engine that cannot start: a message and a restart button, the game
  //    kept; the restarted engine answers the move that waited for it.
  const blocked = await browser.newPage();
  blocked.on('pageerror', (e) => check(false, `page error: ${e.message}`));
  // The test stands between the page and its worker: it can refuse to make
  // one, or replace the engine's next move by another text.
  await blocked.evaluateOnNewDocument(() => {
    const RealWorker = window.Worker;
    window.blockWorkers = true;
    window.Worker = function (url) {
      if (window.blockWorkers) throw new Error('workers blocked by the test');
      const real = new RealWorker(url);
      let onerror = null;
      return {
        postMessage: (m) => {
          real.postMessage(m);
          // The worker dies shortly into the search, as a crashed one would.
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
  });
  await blocked.goto(`${origin}/`);
  await blocked.waitForSelector('#engine-error:not([hidden])', { timeout: 5000 });
  const failure = await blocked.$eval('#engine-error-text', (e) => e.textContent);
  check(/engine is not running/.test(failure), `a failed engine is reported (${failure})`);
  await playMove(blocked, { from: 'e2', to: 'e4' }, false);
  await blocked.evaluate(() => (window.blockWorkers = false));
  await blocked.click('#restart');
  check(await awaitTurn(blocked, 'w', 30000), 'the restarted engine answers the waiting move');
  const resumed = new Chess();
  resumed.loadPgn((await view(blocked)).pgn);
  check(resumed.history()[0] === 'e4' && resumed.history().length === 2, 'the game was kept through the restart');
  check(await blocked.$eval('#engine-error', (e) => e.hidden), 'the message goes once the engine runs');
  // A worker that dies in the middle of a search: reported, the game kept,
  // and the restarted engine answers the move it was thinking about.
  const beforeDeath = await view(blocked);
  await blocked.evaluate(() => (window.dieOnGo = true));
  await playMove(blocked, new Chess(beforeDeath.fen).moves({ verbose: true })[0], false);
  await blocked.waitForSelector('#engine-error:not([hidden])', { timeout: 5000 });
  const died = await blocked.$eval('#engine-error-text', (e) => e.textContent);
  check(/killed by the test/.test(died), `a worker dying mid-search is reported (${died})`);
  const afterDeath = new Chess();
  afterDeath.loadPgn((await view(blocked)).pgn);
  check(afterDeath.history().length === 3, `the game is kept when the worker dies (${afterDeath.history().join(' ')})`);
  await blocked.click('#restart');
  check(await awaitTurn(blocked, 'w', 30000), 'the restarted engine answers the move it was thinking about');
  // An illegal reply is reported and not played.
  const beforeBad = await view(blocked);
  await blocked.evaluate(() => (window.fakeReply = 'bestmove e7e4'));
  const legal = new Chess(beforeBad.fen).moves({ verbose: true })[0];
  await playMove(blocked, legal, false);
  await waitFor(blocked, () => document.getElementById('message').textContent !== '', 30000);
  const bad = await view(blocked);
  check(/not a legal move/.test(bad.message), `an illegal reply is reported (${bad.message})`);
  check(bad.fen.split(' ')[0] === new Chess(legal.after).fen().split(' ')[0], 'the illegal reply is not played');
  await blocked.close();

  // 10. Opened straight from the folder.
  const local = await openPage(`file://${path.join(pageDir, 'index.html')}`);
  await playMove(local.page, { from: 'g1', to: 'f3' }, false);
  check(await awaitTurn(local.page, 'w', 30000), 'from file:// the engine answers');
  note(`file:// page: board took a move ${local.readyMs} ms after opening`);
  await local.page.close();
} catch (e) {
  check(false, `${e.stack || e}`);
} finally {
  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
note(`${failures === 0 ? 'all checks passed' : `${failures} check(s) failed`} in ${Math.round((Date.now() - started) / 1000)} s; screenshots in ${artefacts}`);
process.exit(failures === 0 ? 0 : 1);
