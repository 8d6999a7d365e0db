// The page's own logic without a browser: reading the engine's lines, the
// scores shown, FEN checks and the "position" command of long games.
//   node --test test/units.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { Chess } from 'chess.js';
import { chessAt, checkFen, fenAt, newRecord, playAt, positionCommand, standardEnding } from '../src/game.js';
import { formatClock } from '../src/clock.js';
import { formatScore, parseBestMove, parseInfo } from '../src/uci.js';

test('scores are pawns from the player side, mate at the extremes', () => {
  for (const [cp, toMove, player, shown] of [
    [864, 'w', 'w', '+0.36'],
    [864, 'b', 'w', '-0.36'],
    [-2400, 'b', 'b', '-1.00'],
    [0, 'w', 'b', '0.00'],
    [2147483647, 'w', 'w', '+mate'],
    [2147483647, 'b', 'w', '-mate'],
    [-2147483647, 'w', 'w', '-mate'],
    [-2147483647, 'w', 'b', '+mate'],
  ])
    assert.equal(formatScore(cp, toMove, player), shown, `${cp} ${toMove} ${player}`);
});

test('info and bestmove lines are read as the engine writes them', () => {
  assert.deepEqual(parseInfo('info depth 6 score cp -192 nps 1473521 nodes 293107 time 198 pv b1c3'), {
    depth: 6,
    cp: -192,
    nps: 1473521,
    nodes: 293107,
    time: 198,
    pv: ['b1c3'],
  });
  assert.equal(parseInfo('info string hello'), null);
  assert.equal(parseInfo('id name tarvik 19'), null);
  assert.deepEqual(parseBestMove('bestmove e7e8q'), { from: 'e7', to: 'e8', promotion: 'q' });
  assert.deepEqual(parseBestMove('bestmove g1f3\r'), { from: 'g1', to: 'f3', promotion: undefined });
  for (const bad of ['bestmove 0000', 'bestmove', 'bestmove e2e9', 'bestmove e7e8k', 'info depth 1']) assert.equal(parseBestMove(bad), null, bad);
});

test('clocks read as minutes and seconds, tenths under ten seconds', () => {
  for (const [ms, shown] of [
    [180000, '3:00'],
    [83999, '1:23'],
    [10000, '0:10'],
    [9999, '9.9'],
    [-5, '0.0'],
  ])
    assert.equal(formatClock(ms), shown);
});

test('FEN text the engine would refuse is refused with a message', () => {
  for (const good of ['8/P7/8/8/8/8/6kp/K7 w - -', '  rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1 '])
    assert.ok(checkFen(good).fen, good);
  assert.equal(checkFen('8/P7/8/8/8/8/6kp/K7 w - -').fen, '8/P7/8/8/8/8/6kp/K7 w - - 0 1');
  for (const bad of [
    '',
    'rnbqkbnr/pppppppp/8/8 w KQkq',
    'k6R/8/8/8/8/8/8/K7 w - - 0 1',
    'kk6/8/8/8/8/8/8/K7 w - - 0 1',
    '8/8/8/8/8/8/8/8 w - - 0 1',
    'P3k3/8/8/8/8/8/8/4K3 w - - 0 1',
    'qqqqkqqq/qqqqqqqq/qqqqqqqq/8/8/8/8/4K3 w - - 0 1',
    'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 extra',
  ]) {
    const verdict = checkFen(bad);
    assert.ok(verdict.error && !verdict.fen, `accepted: ${bad}`);
  }
});

test('a game too long for one command line restarts at its last irreversible move', () => {
  let game = newRecord();
  assert.equal(positionCommand(game, 0), 'position startpos');
  // A fixed pseudo-random game that prefers quiet piece moves.
  let seed = 7;
  const random = (n) => (seed = (seed * 1103515245 + 12345) % 2147483648) % n;
  while (game.moves.length < 120 && !standardEnding(chessAt(game, game.moves.length))) {
    const moves = chessAt(game, game.moves.length).moves({ verbose: true });
    const quiet = moves.filter((m) => m.piece !== 'p' && !m.captured);
    const pool = quiet.length && random(4) ? quiet : moves;
    const m = pool[random(pool.length)];
    game = playAt(game, game.moves.length, { from: m.from, to: m.to, promotion: m.promotion });
  }
  const plies = game.moves.length;
  const full = positionCommand(game, plies);
  assert.ok(full.startsWith('position startpos moves ') && full.length > 400, full);
  const command = positionCommand(game, plies, 200);
  assert.ok(command.length <= 200, `${command.length} characters`);
  const [, fen, list] = /^position fen (.*?)(?: moves (.*))?$/.exec(command);
  // The command reaches the game's position, and from the last capture or
  // pawn move on, so every position that could recur is in it.
  const replay = new Chess(fen);
  const tail = (list || '').split(' ').filter(Boolean);
  for (const m of tail) {
    const made = replay.move({ from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4] });
    assert.ok(made.piece !== 'p' && !made.captured, `${m} is irreversible`);
  }
  assert.equal(replay.fen(), fenAt(game, plies));
  const history = chessAt(game, plies).history({ verbose: true });
  const last = history[history.length - tail.length - 1];
  assert.ok(last.piece === 'p' || last.captured, `the command starts after ${last.san}`);
  // An earlier ply is searched from its own position.
  assert.match(positionCommand(game, 3), /^position startpos moves \S+ \S+ \S+$/);
});

test('a move replaces the rest of the line and its result; an illegal one changes nothing', () => {
  let game = newRecord();
  for (const m of ['f2f3', 'e7e5', 'g2g4', 'd8h4']) game = playAt(game, game.moves.length, { from: m.slice(0, 2), to: m.slice(2, 4) });
  const mated = chessAt(game, 4);
  assert.equal(standardEnding(mated).result, '0-1');
  game = { ...game, result: '0-1' };
  assert.equal(playAt(game, 4, { from: 'a2', to: 'a3' }), null);
  assert.equal(playAt(game, 1, { from: 'e2', to: 'e5' }), null);
  const other = playAt(game, 1, { from: 'd7', to: 'd5' });
  assert.deepEqual(other.moves.map((m) => m.san), ['f3', 'd5']);
  assert.equal(other.result, '*');
  assert.equal(game.moves.length, 4, 'the old record is kept as it was');
  assert.equal(other.moves[1].fen, 'rnbqkbnr/ppp1pppp/8/3p4/8/5P2/PPPPP1PP/RNBQKBNR w KQkq - 0 2');
});

test('the evaluation graph: White up is high, marks only on judged moves, clicks land on the nearest ply', async () => {
  const { graphMarkup, plyAt, HEIGHT } = await import('../src/graph.js');
  const evals = [{ pawns: 0 }, { pawns: 0.5 }, undefined, { mate: -2 }, { pawns: 30 }];
  const judged = [
    { ply: 1, judgement: null },
    { ply: 2, judgement: 'mistake' },
    { ply: 3, judgement: 'blunder' },
    { ply: 4, judgement: 'inaccuracy' },
  ];
  const svg = graphMarkup(evals, judged, 3);
  const line = /<polyline class="line" points="([^"]+)"/.exec(svg)[1].split(' ').map((p) => p.split(',').map(Number));
  assert.equal(line.length, 4, 'a missing evaluation leaves its point out');
  assert.equal(line[0][1], HEIGHT / 2);
  assert.ok(line[1][1] < HEIGHT / 2, 'White better is above the middle');
  assert.equal(line[2][1], HEIGHT - 4, 'a mate for Black sits at the bottom clip');
  assert.equal(line[3][1], 4, 'thirty pawns sit at the top clip');
  assert.deepEqual([...svg.matchAll(/<rect class="(\w+)" data-ply="(\d)"/g)].map((m) => `${m[1]} ${m[2]}`), ['blunder 3', 'inaccuracy 4'], 'the judged move without an evaluation is not drawn');
  assert.match(svg, /<line class="here" x1="450"/);
  for (const [fraction, ply] of [
    [0, 0],
    [0.12, 0],
    [0.13, 1],
    [0.99, 4],
    [1.5, 4],
    [-1, 0],
  ])
    assert.equal(plyAt(fraction, 4), ply, `at ${fraction}`);
});
