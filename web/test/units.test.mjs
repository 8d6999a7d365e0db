// The page's own logic without a browser: reading the engine's lines, the
// scores shown, the rules as the page asks them, and the "position" command of long games.
//   node --test test/units.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { START_FEN, checkFen, ending, hasMoves, inCheck, isCheckmate, isPromotion, legalDests, play, positionCommand, readMove, sanOf, turnOf, uciMove } from '../src/rules.js';
import { formatClock } from '../src/clock.js';
import { formatScore, parseBestMove, parseInfo } from '../src/uci.js';
import { KEYS, bindingFor } from '../src/keys.js';
import { playerSide, readPrefs } from '../src/prefs.js';

/** @typedef {import('../src/rules.js').Move} Move */

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
  for (const [good, fen] of [
    ['8/P7/8/8/8/8/6kp/K7 w - -', '8/P7/8/8/8/8/6kp/K7 w - - 0 1'],
    // An en passant square no pawn can take on is left out, as the engine would.
    ['  rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1 ', 'rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1'],
    ['rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3', 'rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3'],
    // Castling rights without their rook go.
    ['4k3/8/8/8/8/8/8/R3K3 w KQ - 5 9', '4k3/8/8/8/8/8/8/R3K3 w Q - 5 9'],
  ])
    assert.deepEqual(checkFen(good), { fen }, good);
  for (const [bad, message] of /** @type {[string, RegExp][]} */ ([
    ['', /^Enter a FEN first\.$/],
    ['rnbqkbnr/pppppppp/8/8 w KQkq', /four to six fields/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 extra', /four to six fields/],
    ['k6R/8/8/8/8/8/8/K7 w - - 0 1', /^In this FEN the side not to move is in check\.$/],
    ['kk6/8/8/8/8/8/8/K7 w - - 0 1', /^This FEN is invalid: each side needs exactly one king\.$/],
    ['8/8/8/8/8/8/8/8 w - - 0 1', /^This FEN is invalid: the board is empty\.$/],
    ['P3k3/8/8/8/8/8/8/4K3 w - - 0 1', /^This FEN is invalid: a pawn stands/],
    ['qqqqkqqq/qqqqqqqq/qqqqqqqq/8/8/8/8/4K3 w - - 0 1', /^This FEN has more than 16 pieces on one side\.$/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1', /side to move must be w or b/],
    ['rnbqkbnr/pppppppp/8/9/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1', /^This FEN is invalid: the board/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1', /^This FEN is invalid: the board/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/8 w KQkq - 0 1', /^This FEN is invalid: the board/],
    // What chessops reads for variants and Chess960 but the engine does not play.
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR[Qq] w KQkq - 0 1', /^This FEN is invalid: the board/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1', /castling/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - +3+3 0 1', /four to six fields/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e3 0 1', /en passant/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - x 1', /halfmove clock/],
    ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 y', /move number/],
  ])) {
    const verdict = checkFen(bad);
    assert.ok('error' in verdict, `accepted: ${bad}`);
    assert.match(verdict.error, message, bad);
  }
});

// A legal move of the position by a fixed pseudo-random choice that prefers
// quiet piece moves, so that games grow long between captures.
function quietMove(fen, random) {
  const moves = [];
  for (const [from, targets] of legalDests(fen))
    for (const to of targets) {
      const played = play(fen, { from, to, promotion: isPromotion(fen, from, to) ? 'q' : undefined });
      if (played && !moves.some((m) => m.id === played.id)) moves.push(played);
    }
  const quiet = moves.filter((m) => /^[NBRQK]/.test(m.san) && !m.san.includes('x'));
  const pool = quiet.length && random(4) ? quiet : moves;
  return pool[random(pool.length)];
}

test('a line too long for one command line restarts at its last irreversible move', () => {
  assert.equal(positionCommand(START_FEN, []), 'position startpos');
  let seed = 7;
  const random = (n) => (seed = (seed * 1103515245 + 12345) % 2147483648) % n;
  const moves = [];
  let fen = START_FEN;
  while (moves.length < 120 && !ending([START_FEN, ...moves.map((m) => m.fen)])) {
    moves.push(quietMove(fen, random));
    fen = moves[moves.length - 1].fen;
  }
  const full = positionCommand(START_FEN, moves);
  assert.ok(full.startsWith('position startpos moves ') && full.length > 400, full);
  assert.equal(full.split(' ').length, 3 + moves.length);
  const command = positionCommand(START_FEN, moves, 200);
  assert.ok(command.length <= 200, `${command.length} characters`);
  const [, start, list] = /^position fen (.*?)(?: moves (.*))?$/.exec(command);
  // The command reaches the line's position, and from the last capture or
  // pawn move on, so every position that could recur is in it.
  const tail = (list || '').split(' ').filter(Boolean);
  let replay = start;
  for (const id of tail) {
    const played = play(replay, uciMove(id));
    assert.ok(played && /^[NBRQKO]/.test(played.san) && !played.san.includes('x'), `${id} is irreversible`);
    replay = played.fen;
  }
  assert.equal(replay, fen);
  const before = moves[moves.length - tail.length - 1];
  assert.ok(/^[a-h]/.test(before.san) || before.san.includes('x'), `the command starts after ${before.san}`);
  assert.equal(start, before.fen);
  // A start from a FEN goes as one; too short a limit leaves only the last position.
  assert.equal(positionCommand(moves[9].fen, moves.slice(10, 12)), `position fen ${moves[9].fen} moves ${moves[10].id} ${moves[11].id}`);
  assert.equal(positionCommand(START_FEN, moves, 20), `position fen ${fen}`);
});

test('moves are played by the rules, castling both ways and named as the engine names them', () => {
  const castling = 'r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1';
  for (const [fen, move, id, san, after] of /** @type {[string, Move, string, string, string][]} */ ([
    [START_FEN, { from: 'e2', to: 'e4' }, 'e2e4', 'e4', 'rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1'],
    [castling, { from: 'e1', to: 'g1' }, 'e1g1', 'O-O', 'r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 b kq - 1 1'],
    [castling, { from: 'e1', to: 'h1' }, 'e1g1', 'O-O', 'r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 b kq - 1 1'],
    [castling, { from: 'e1', to: 'a1' }, 'e1c1', 'O-O-O', 'r3k2r/pppppppp/8/8/8/8/PPPPPPPP/2KR3R b kq - 1 1'],
    [castling.replace(' w ', ' b '), { from: 'e8', to: 'c8' }, 'e8c8', 'O-O-O', '2kr3r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQ - 1 2'],
    ['8/4P3/8/8/8/8/k7/4K3 w - - 0 1', { from: 'e7', to: 'e8', promotion: 'n' }, 'e7e8n', 'e8=N', '4N3/8/8/8/8/8/k7/4K3 b - - 0 1'],
    ['7k/8/8/3pP3/8/8/8/K7 w - d6 0 2', { from: 'e5', to: 'd6' }, 'e5d6', 'exd6', '7k/8/3P4/8/8/8/8/K7 b - - 0 2'],
    ['7k/8/8/8/8/8/2q5/K7 b - - 0 1', { from: 'c2', to: 'b1' }, 'c2b1', 'Qb1+', '7k/8/8/8/8/8/8/Kq6 w - - 1 2'],
  ])) {
    assert.deepEqual(play(fen, move), { id, san, fen: after }, `${id} in ${fen}`);
    assert.equal(sanOf(fen, id), san);
  }
  for (const [fen, move] of /** @type {[string, Move][]} */ ([
    [START_FEN, { from: 'e2', to: 'e5' }],
    [START_FEN, { from: 'e7', to: 'e5' }],
    [START_FEN, { from: 'i2', to: 'i4' }],
    // A king onto its own piece that is no castling rook.
    ['4k3/8/8/8/8/8/8/4KB1R w K - 0 1', { from: 'e1', to: 'f1' }],
    ['4k3/8/8/8/8/8/8/4KB1R w K - 0 1', { from: 'e1', to: 'g1' }],
    // Castling through check, and with the right gone.
    ['4k3/8/8/8/8/8/5r2/4K2R w K - 0 1', { from: 'e1', to: 'g1' }],
    ['4k3/8/8/8/8/8/8/4K2R w - - 0 1', { from: 'e1', to: 'h1' }],
    ['8/4P3/8/8/8/8/k7/4K3 w - - 0 1', { from: 'e7', to: 'e8' }],
    ['8/4P3/8/8/8/8/k7/4K3 w - - 0 1', { from: 'e7', to: 'e8', promotion: 'k' }],
    [START_FEN, { from: 'e2', to: 'e4', promotion: 'q' }],
  ]))
    assert.equal(play(fen, move), null, `${JSON.stringify(move)} in ${fen}`);
  assert.equal(sanOf(START_FEN, 'e2e5'), 'e2e5');
  assert.equal(sanOf('not a fen', 'e2e4'), 'e2e4');
  const dests = legalDests(castling);
  assert.deepEqual([...dests.get('e1')].sort(), ['a1', 'c1', 'd1', 'f1', 'g1', 'h1']);
  assert.equal([...legalDests(START_FEN).values()].flat().length, 20);
  assert.deepEqual([isPromotion('8/4P3/8/8/8/8/k7/4K3 w - - 0 1', 'e7', 'e8'), isPromotion(START_FEN, 'e2', 'e4')], [true, false]);
  assert.deepEqual([turnOf(START_FEN), turnOf(castling.replace(' w ', ' b '))], ['w', 'b']);
  assert.deepEqual([uciMove('e7e8q'), uciMove('g1f3'), uciMove('e7e8k'), uciMove('e2')], [{ from: 'e7', to: 'e8', promotion: 'q' }, { from: 'g1', to: 'f3', promotion: undefined }, null, null]);
});

test('a move typed in SAN or UCI is read, or refused with a reason', () => {
  const knights = '4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1';
  const castling = 'r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1';
  for (const [fen, text, read] of /** @type {[string, string, Move][]} */ ([
    [START_FEN, 'Nf3', { from: 'g1', to: 'f3' }],
    [START_FEN, ' nf3 ', { from: 'g1', to: 'f3' }],
    [START_FEN, 'e4!?', { from: 'e2', to: 'e4' }],
    [START_FEN, 'e2e4', { from: 'e2', to: 'e4' }],
    [START_FEN, 'Ng1-f3', { from: 'g1', to: 'f3' }],
    [knights, 'Nbd2', { from: 'b1', to: 'd2' }],
    [knights, 'Nfd2+', { from: 'f1', to: 'd2' }],
    [castling, '0-0', { from: 'e1', to: 'g1' }],
    [castling, 'O-O-O', { from: 'e1', to: 'c1' }],
    [castling, 'e1h1', { from: 'e1', to: 'g1' }],
    ['8/4P3/8/8/8/8/k7/4K3 w - - 0 1', 'e8=Q+', { from: 'e7', to: 'e8', promotion: 'q' }],
    ['8/4P3/8/8/8/8/k7/4K3 w - - 0 1', 'e7e8r', { from: 'e7', to: 'e8', promotion: 'r' }],
  ])) {
    const move = readMove(fen, text);
    assert.ok(!('error' in move), `${text}: ${'error' in move && move.error}`);
    const { promotion, ...squares } = move;
    assert.deepEqual({ ...squares, ...(promotion ? { promotion } : {}) }, read, text);
  }
  for (const [fen, text, message] of /** @type {[string, string, RegExp][]} */ ([
    [START_FEN, '', /^Type a move first\.$/],
    [START_FEN, 'e5', /^e5 is not a legal move here\.$/],
    [START_FEN, 'e2e5', /^e2e5 is not a legal move here\.$/],
    [START_FEN, 'O-O', /^O-O is not a legal move here\.$/],
    [knights, 'Nd2', /^Nd2 is ambiguous here/],
    [START_FEN, 'hello', /^hello cannot be read as a move/],
    ['8/4P3/8/8/8/8/k7/4K3 w - - 0 1', 'e8', /^e8 is not a legal move here\.$/],
  ])) {
    const refused = readMove(fen, text);
    assert.ok('error' in refused, `${text} is read`);
    assert.match(refused.error, message, text);
  }
});

test('the rules say how a line ends: mate, stalemate, material, repetition, fifty moves', () => {
  const line = (start, ids) => {
    const fens = [start];
    for (const id of ids) fens.push(play(fens[fens.length - 1], uciMove(id)).fen);
    return fens;
  };
  const shuffle = ['g1f3', 'g8f6', 'f3g1', 'f6g8'];
  for (const [what, fens, ending_] of /** @type {[string, string[], string[]][]} */ ([
    ['White mates', line(START_FEN, ['e2e4', 'e7e5', 'f1c4', 'b8c6', 'd1h5', 'g8f6', 'h5f7']), ['1-0', 'White wins by checkmate']],
    ['Black mates', line(START_FEN, ['f2f3', 'e7e5', 'g2g4', 'd8h4']), ['0-1', 'Black wins by checkmate']],
    ['stalemate', ['7k/5Q2/6K1/8/8/8/8/8 b - - 0 1'], ['1/2-1/2', 'Draw by stalemate']],
    ['bare kings', line('4k3/8/8/8/8/8/3q4/4K3 w - - 0 1', ['e1d2']), ['1/2-1/2', 'Draw by insufficient material']],
    ['a third time', line(START_FEN, [...shuffle, ...shuffle]), ['1/2-1/2', 'Draw by threefold repetition']],
    ['fifty moves', ['4k3/8/8/8/8/8/8/R3K3 w - - 100 80'], ['1/2-1/2', 'Draw by the fifty-move rule']],
    // Mate on the hundredth half-move is mate.
    ['mate at fifty', line('4k3/8/4K3/8/8/8/8/R7 w - - 99 80', ['a1a8']), ['1-0', 'White wins by checkmate']],
  ])) {
    const verdict = ending(fens);
    assert.deepEqual(verdict && [verdict.result, verdict.reason, verdict.termination], [...ending_, 'normal'], what);
  }
  for (const [what, fens] of /** @type {[string, string[]][]} */ ([
    ['the start', [START_FEN]],
    ['twice only', line(START_FEN, [...shuffle, 'g1f3'])],
    ['a knight each', ['4k1n1/8/8/8/8/8/8/4K1N1 w - - 0 1']],
    ['ninety-nine half-moves', ['4k3/8/8/8/8/8/8/R3K3 w - - 99 80']],
  ]))
    assert.equal(ending(fens), null, what);
  const mated = line(START_FEN, ['f2f3', 'e7e5', 'g2g4', 'd8h4']).pop();
  assert.deepEqual([hasMoves(mated), inCheck(mated), isCheckmate(mated)], [false, true, true]);
  assert.deepEqual([hasMoves(START_FEN), inCheck(START_FEN), isCheckmate(START_FEN)], [true, false, false]);
  assert.deepEqual([hasMoves('7k/5Q2/6K1/8/8/8/8/8 b - - 0 1'), inCheck('7k/5Q2/6K1/8/8/8/8/8 b - - 0 1')], [false, false]);
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

test("the player's side: the header that names them, trimmed and in any case, White first", () => {
  for (const [white, black, name, side] of [
    ['Kask, Mari', 'Tamm', 'Kask, Mari', 'w'],
    ['Kask, Mari', 'Tamm', ' tamm ', 'b'],
    [' TAMM', 'Saar', 'Tamm', 'w'],
    ['Tamm', 'Tamm', 'tamm', 'w'],
    ['Tamm', 'Saar', 'Tam', null],
    ['Tamm', 'Saar', '', null],
    ['', '', '  ', null],
    [undefined, 'Saar', 'saar', 'b'],
  ])
    assert.equal(playerSide(white === undefined ? { Black: black } : { White: white, Black: black }, name), side, `${white} - ${black}, ${name}`);
  assert.deepEqual(readPrefs({ playerName: 'Tamm', sound: 'yes', theme: 'dark' }), { playerName: 'Tamm', sound: false });
  assert.deepEqual(readPrefs(null), { playerName: '', sound: false });
});

test('a key calls its binding only outside text boxes, without Ctrl, Alt or Meta, and Space leaves buttons to press', () => {
  const body = { tagName: 'BODY' };
  const text = { tagName: 'INPUT', type: 'text' };
  for (const [event, expected] of /** @type {[Parameters<typeof bindingFor>[0], string | null][]} */ ([
    [{ key: 'f', target: body }, 'f'],
    [{ key: '?', target: body }, '?'],
    [{ key: 'ArrowLeft', target: { tagName: 'BUTTON' } }, 'ArrowLeft'],
    [{ key: 'n', target: { tagName: 'INPUT', type: 'checkbox' } }, 'n'],
    [{ key: 'x', target: body }, null],
    [{ key: 'f', ctrlKey: true, target: body }, null],
    [{ key: 'ArrowLeft', altKey: true, target: body }, null],
    [{ key: 'r', metaKey: true, target: body }, null],
    [{ key: 'f', target: text }, null],
    [{ key: 'ArrowRight', target: { tagName: 'INPUT', type: 'search' } }, null],
    [{ key: 'n', target: { tagName: 'TEXTAREA' } }, null],
    [{ key: 'End', target: { tagName: 'SELECT' } }, null],
    [{ key: 'p', target: { tagName: 'DIV', isContentEditable: true } }, null],
    [{ key: 'Escape', target: text }, 'Escape'],
    [{ key: 'Escape', target: { tagName: 'TEXTAREA' } }, 'Escape'],
    [{ key: ' ', target: body }, ' '],
    [{ key: ' ', target: { tagName: 'BUTTON' } }, null],
    [{ key: ' ', target: { tagName: 'INPUT', type: 'checkbox' } }, null],
    [{ key: ' ', target: { tagName: 'SUMMARY' } }, null],
  ]))
    assert.equal(bindingFor(event)?.key ?? null, expected, JSON.stringify(event));
  assert.equal(new Set(KEYS.map((k) => k.key)).size, KEYS.length, 'each key once');
});
