// Reading and writing PGN: games, starts from a FEN, comments, NAGs, variations, several games, bad input and round trips.
//   node --test test/pgn.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { Chess } from 'chess.js';
import { MAX_PGN_BYTES, parsePgn, writePgn } from '../src/pgn.js';
import { judgeMoves } from '../src/review.js';

const read = (text) => {
  const parsed = parsePgn(text);
  assert.ok(parsed.game, `not read: ${parsed.error && parsed.error.message}`);
  return parsed;
};
const sans = (game) => game.moves.map((m) => m.san).join(' ');

// Each move's fields are what chess.js makes of the same moves.
function assertReplays(game) {
  const chess = new Chess(game.startFen || undefined);
  for (const move of game.moves) {
    const made = chess.move(move.san);
    assert.deepEqual([move.from, move.to, move.promotion, move.fen], [made.from, made.to, made.promotion, chess.fen()], move.san);
  }
}

const OPERA = `[Event "Paris"]
[Site "Paris FRA"]
[Date "1858.??.??"]
[Round "?"]
[White "Morphy, Paul"]
[Black "Duke Karl / Count Isouard"]
[Result "1-0"]

1.e4 e5 2.Nf3 d6 3.d4 Bg4 4.dxe5 Bxf3 5.Qxf3 dxe5 6.Bc4 Nf6 7.Qb3 Qe7
8.Nc3 c6 9.Bg5 b5 10.Nxb5 cxb5 11.Bxb5+ Nbd7 12.O-O-O Rd8 13.Rxd7 Rxd7
14.Rd1 Qe6 15.Bxd7+ Nxd7 16.Qb8+ Nxb8 17.Rd8# 1-0
`;

test('whole games are read move by move with their headers and result', () => {
  for (const [what, text, moves, result, headers] of [
    ['a game with the seven tags', OPERA, 33, '1-0', { White: 'Morphy, Paul', Date: '1858.??.??' }],
    ['bare moves, no numbers', 'e4 e5 Nf3 Nc6', 4, '*', {}],
    ['numbers stuck to moves, 0-0 castling', '1.e4 e5 2.Nf3 Nc6 3.Bc4 Bc5 4.0-0 Nf6 1/2-1/2', 8, '1/2-1/2', {}],
    ['squares, a pawn letter, e.p.', '1. e2-e4 Ng8f6 2. Pe5 d5 3. exd6 e.p. e6 *', 6, '*', {}],
    ['check signs that are wrong, a promotion', '1. h4 g5 2. hxg5 Nf6 3. gxf6+ h6 4. fxe7 h5 5. exf8=Q+ 0-1', 9, '0-1', {}],
    ['headers and no moves', '[Event "Empty"]\n[Result "1/2-1/2"]\n', 0, '1/2-1/2', { Event: 'Empty' }],
    ['a result header when the movetext has none', '[Result "0-1"]\n\n1. f3 e5 2. g4 Qh4#', 4, '0-1', {}],
    ['an escaped quote and backslash', '[White "A \\"B\\" C\\\\D"]\n\n1. d4 *', 1, '*', { White: 'A "B" C\\D' }],
  ]) {
    const { game, count } = read(text);
    assert.equal(game.moves.length, moves, what);
    assert.equal(game.result, result, what);
    assert.equal(count, 1, what);
    for (const [name, value] of Object.entries(headers)) assert.equal(game.headers[name], value, what);
    assertReplays(game);
  }
  const { game } = read(OPERA);
  assert.deepEqual(Object.keys(game.headers), ['Event', 'Site', 'Date', 'Round', 'White', 'Black', 'Result']);
  assert.equal(game.moves[32].san, 'Rd8#');
  assert.equal(read('1. h4 g5 2. hxg5 Nf6 3. gxf6+ h6 4. fxe7 h5 5. exf8=Q+ *').game.moves[8].promotion, 'q');
  assert.equal(game.startFen, null);
  assert.equal(game.variationsDropped, 0);
});

test('a SetUp and FEN start is checked and played from', () => {
  const blackToMove = '4k3/8/8/8/8/8/4P3/4K3 b - - 0 7';
  const { game } = read(`[SetUp "1"]\n[FEN "${blackToMove}"]\n\n7... Kd7 8. e4 Ke6 *`);
  assert.equal(game.startFen, blackToMove);
  assert.equal(sans(game), 'Kd7 e4 Ke6');
  assertReplays(game);
  // A FEN header with its last two fields left out, as some tools write it.
  assert.equal(read('[FEN "4k3/8/8/8/8/8/4P3/4K3 w - -"]\n\n1. e3 *').game.startFen, '4k3/8/8/8/8/8/4P3/4K3 w - - 0 1');
  // The standard position is no setup, nor is SetUp "0".
  assert.equal(read('[SetUp "1"]\n[FEN "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"]\n1. e4 *').game.startFen, null);
  assert.equal(read(`[SetUp "0"]\n[FEN "${blackToMove}"]\n1. e4 *`).game.startFen, null);
  // Errors name the move with the number and side of the FEN.
  assert.deepEqual(parsePgn(`[SetUp "1"]\n[FEN "${blackToMove}"]\n\n7... Kd7 8. e5 *`).error, {
    message: 'Move 8. e5 is illegal in this position.',
    ply: 2,
    san: 'e5',
  });
});

test('comments and NAGs belong to the move before them, commands left out', () => {
  const { game } = read(`{ The opening, [%clk 0:03:00] }
1. e4! { best by test } { [%eval 0.31] [%clk 0:02:59] } e5? $18 2. Nf3!! Nc6?? 3. Bb5!? a6?! $6
4. Ba4 ; a rest-of-line comment
Nf6 {  spread
   over lines  } 5. O-O $1 $14 *`);
  assert.equal(game.comment, 'The opening,');
  assert.deepEqual(
    game.moves.map((m) => [m.san, m.nags, m.comment]),
    [
      ['e4', [1], 'best by test'],
      ['e5', [2, 18], ''],
      ['Nf3', [3], ''],
      ['Nc6', [4], ''],
      ['Bb5', [5], ''],
      ['a6', [6], ''],
      ['Ba4', [], 'a rest-of-line comment'],
      ['Nf6', [], 'spread over lines'],
      ['O-O', [1, 14], ''],
    ],
  );
});

test('variations, nested or not, are checked for balance and left out, and counted', () => {
  for (const [text, dropped, main] of [
    ['1. e4 (1. d4 d5) 1... e5 *', 1, 'e4 e5'],
    ['1. e4 e5 (1... c5 2. Nf3 (2. c3 d5 (2... Nf6)) 2... d6) (1... e6) 2. Nf3 *', 4, 'e4 e5 Nf3'],
    // What a variation holds is not played, so its moves cannot make an error.
    ['1. e4 (1. Qxh7 { not legal } $4) e5 *', 1, 'e4 e5'],
  ]) {
    const { game } = read(text);
    assert.equal(game.variationsDropped, dropped, text);
    assert.equal(sans(game), main, text);
  }
  assert.equal(read('1. e4 (1. d4 {a (b}) e5 *').game.variationsDropped, 1, 'a parenthesis in a comment is text');
});

test('a file of several games reads the first and counts them all', () => {
  for (const [text, count, first] of [
    [`${OPERA}\n${OPERA}\n[Event "third"]\n\n1. d4 d5 *\n`, 3, 33],
    ['1. e4 e5 1-0\n\n1. d4 d5 0-1\n\n1. c4 *', 3, 2],
    // Headers after moves start the next game even when a result was left out.
    ['[Event "a"]\n1. e4 e5\n[Event "b"]\n1. d4 *\n[Event "c"]\n[White "x"]\n1. c4 *', 3, 2],
    // A fault in a later game ends the count, not the first game.
    ['1. e4 e5 *\n\n1. d4 { never closed', 2, 2],
    // A result with no game before it is no game.
    ['1. e4 e5 * *\n\n[Event "b"] *', 2, 2],
  ]) {
    const { game, count: counted } = read(text);
    assert.equal(counted, count, text.slice(0, 40));
    assert.equal(game.moves.length, first, text.slice(0, 40));
  }
  assert.equal(read('[Event "a"]\n1. e4 e5\n[Event "b"]\n1. d4 *').game.headers.Event, 'a');
});

test('escape lines are skipped and line numbers still count them', () => {
  const { game } = read('% made by some program\n[Event "e"]\n%another one\n\n1. e4 e5 *\n');
  assert.equal(sans(game), 'e4 e5');
  assert.match(parsePgn('% one\n% two\n1. e4 e5 2. Nf3 { open\n').error.message, /on line 3 /);
  assert.match(parsePgn('1. e4 % e5 *').error.message, /"%"/, 'a % inside a line is no escape');
});

test('bad input gets a message that names where reading stopped', () => {
  for (const [what, text, message, ply, san] of [
    ['empty', '', /^The PGN is empty\.$/],
    ['blank', ' \n\t\n', /^The PGN is empty\.$/],
    ['one byte too many', 'e'.repeat(MAX_PGN_BYTES + 1), /larger than 1 MB/],
    ['too many bytes in fewer characters', `{${'é'.repeat(MAX_PGN_BYTES / 2)}}`, /larger than 1 MB/],
    ['a comment never closed', '1. e4 e5 2. Nf3 { wait', /^A comment opened with \{ on line 1 is never closed; reading stopped after move 2\. Nf3\.$/],
    ['a closing brace alone', '1. e4 } e5 *', /^The \} on line 1 closes no comment; reading stopped after move 1\. e4\.$/],
    ['a variation never closed', '1. e4 e5 (1... c5\n2. Nf3 *', /^The variation opened with \( on line 1 is never closed before the result; reading stopped after move 1\.\.\. e5\.$/],
    ['a variation open at the end', '1. e4 (1. d4 (1. c4)', /^The variation opened with \( on line 1 is never closed; reading stopped after move 1\. e4\.$/],
    ['a closing parenthesis alone', '1. e4 e5 ) *', /closes no variation; reading stopped after move 1\.\.\. e5\./],
    ['a variation into the next game', '1. e4 (1. d4\n[Event "b"]\n1. c4 *', /never closed before the next game/],
    ['words', 'hello there, how are you', /does not read as a PGN game/],
    ['markup', '<html><body>', /character "<"/],
    ['a result only', '*', /no headers and no moves/],
    ['a broken header', '[Event Paris]\n\n1. e4 *', /^The header on line 1 cannot be read/],
    ['a header quote never closed', '[Event "Paris]\n\n1. e4 *', /^The header on line 1 cannot be read/],
    ['an illegal White move', '1. e4 e5 2. Qxf7 *', /^Move 2\. Qxf7 is illegal in this position\.$/, 3, 'Qxf7'],
    ['an illegal Black move', '1. e4 e5 2. Nf3 Nxe4 *', /^Move 2\.\.\. Nxe4 is illegal in this position\.$/, 4, 'Nxe4'],
    ['an ambiguous move', '1. Nf3 Nf6 2. Nc3 Nc6 3. Nd4 Nd5 4. Nb5 *', /^Move 4\. Nb5 is illegal/, 7, 'Nb5'],
    ['a move after mate', '1. f3 e5 2. g4 Qh4# 3. a3 0-1', /^Move 3\. a3 is illegal after the end of the game\.$/, 5, 'a3'],
    ['an unreadable move', '1. e4 e5 2. Nf9 *', /^Move 2\. Nf9 cannot be read as a move\.$/, 3, 'Nf9'],
    ['an unreadable move with a mark', '1. e4 xyz!? *', /^Move 1\.\.\. xyz!\? cannot be read as a move\.$/, 2, 'xyz'],
    ['a null move', '1. e4 -- 2. d4 *', /^The character "-" on line 1/],
    ['an impossible FEN', '[SetUp "1"]\n[FEN "8/8/8/8/8/8/8/8 w - - 0 1"]\n\n1. e4 *', /^The game's starting position cannot be set up\. This FEN is invalid/],
    ['a FEN with the mover giving check', '[SetUp "1"]\n[FEN "k6R/8/8/8/8/8/8/K7 w - - 0 1"]\n\n*', /side not to move is in check/],
    ['a FEN that is no FEN', '[FEN "hello"]\n\n1. e4 *', /cannot be set up\. A FEN has four to six fields/],
    ['SetUp without a FEN', '[SetUp "1"]\n\n1. e4 *', /SetUp "1" but has no FEN/],
  ]) {
    const parsed = parsePgn(text);
    assert.ok(parsed.error && !parsed.game, `${what}: read`);
    assert.match(parsed.error.message, message, what);
    assert.equal(parsed.error.ply, ply, `${what}: ply`);
    assert.equal(parsed.error.san, san, `${what}: san`);
  }
});

test('nothing typed can make reading throw', () => {
  // Random cuts, repeats and stray characters in a real game.
  let seed = 11;
  const random = (n) => (seed = (seed * 1103515245 + 12345) % 2147483648) % n;
  const pieces = ['{', '}', '(', ')', '[', ']', '"', '$', '%', '\n%', ';', '!', '?', '...', '1-0', '*', 'O-O', '=Q', 'x', '\\', ' '];
  for (let i = 0; i < 400; i++) {
    let text = OPERA;
    for (let k = random(4) + 1; k > 0; k--) {
      const at = random(text.length);
      const cut = random(3) === 0 ? random(20) : 0;
      text = text.slice(0, at) + pieces[random(pieces.length)] + text.slice(at + cut);
    }
    const parsed = parsePgn(text);
    assert.ok(parsed.game ? parsed.count >= 1 : typeof parsed.error.message === 'string', text);
    if (parsed.game) assertReplays(parsed.game);
  }
});

test('a written game reads back the same, in chess.js too', () => {
  const games = [
    OPERA,
    `[Event "setup"]\n[SetUp "1"]\n[FEN "r3k2r/P7/8/8/8/8/6p1/R3K2R b KQkq - 3 40"]\n[Annotator "someone"]\n\n40... O-O-O { castles } 41. a8=Q+ Kc7 42. Qxd8+ Kxd8 43. O-O-O+ Ke7 44. Rd2 gxh1=N $2 1/2-1/2`,
    `{ Before the first move } 1. d4 $1 { a comment with ( and ) } d5 2. c4 e6 $6 3. Nc3 Nf6 4. Bg5 Be7 5. e3 O-O 6. Nf3 Nbd7 7. Rc1 c6 8. Bd3 dxc4 9. Bxc4 Nd5 10. Bxe7 Qxe7 11. O-O Nxc3 12. Rxc3 e5 *`,
  ];
  for (const text of games) {
    const { game } = read(text);
    const written = writePgn(game);
    const again = read(written).game;
    assert.deepEqual({ ...again, headers: undefined }, { ...game, headers: undefined, variationsDropped: 0 });
    for (const [name, value] of Object.entries(game.headers)) assert.equal(again.headers[name], value, name);
    const chess = new Chess();
    chess.loadPgn(written);
    assert.deepEqual(chess.history(), game.moves.map((m) => m.san));
    assert.equal(chess.fen(), game.moves[game.moves.length - 1].fen);
  }
});

test('movetext wraps at 80 columns and no line starts with %', () => {
  // Every alignment of the comment's words against the line's end.
  for (let pad = 1; pad <= 12; pad++) {
    const { game } = read(`1. e4 { ${'x'.repeat(pad)} ${'a %b %c d '.repeat(20)}} e5 2. Nf3 *`);
    const written = writePgn(game);
    const lines = written.split('\n').slice(8);
    assert.ok(lines.length > 3, written);
    for (const line of lines) {
      assert.ok(line.length <= 80, `longer than 80: ${line}`);
      assert.ok(!line.startsWith('%'), `an escape line: ${line}`);
    }
    assert.equal(read(written).game.moves[0].comment, game.moves[0].comment);
  }
});

test('headers go out in roster order with SetUp and FEN after it', () => {
  const game = {
    headers: { TimeControl: '180+2', White: 'me', Result: '1-0', Event: 'casual', Note: 'say "hi" \\ bye' },
    startFen: '4k3/8/8/8/8/8/4P3/4K3 w - - 0 1',
    moves: [],
    result: '*',
    comment: '',
  };
  assert.deepEqual(writePgn(game).split('\n').slice(0, 12), [
    '[Event "casual"]',
    '[Site "?"]',
    '[Date "????.??.??"]',
    '[Round "?"]',
    '[White "me"]',
    '[Black "?"]',
    '[Result "*"]',
    '[SetUp "1"]',
    '[FEN "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"]',
    '[TimeControl "180+2"]',
    '[Note "say \\"hi\\" \\\\ bye"]',
    '',
  ]);
  assert.equal(read(writePgn(game)).game.headers.Note, 'say "hi" \\ bye');
});

test('a reviewed game goes out with [%eval] comments and the judgement NAGs', () => {
  const { game } = read('1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0');
  const evals = [{ pawns: 0.2 }, { pawns: 0.3 }, { pawns: 0.25 }, { pawns: -0.9 }, { pawns: -0.4 }, { pawns: -0.2 }, { mate: 1 }, undefined];
  const judged = judgeMoves(evals, 'w', ['e4', 'e5', 'Nf3', 'Nc6', 'Nf3', 'g6', 'Qxf7#']);
  game.moves[5].nags = [1]; // the reader's own "!" on Black's blunder gives way to the judgement
  game.moves[5].comment = 'natural';
  const written = writePgn(game, { evals, judged });
  const oneLine = written.replace(/\n/g, ' ');
  assert.match(oneLine, /1\. e4 \{ \[%eval 0\.30\] \} 1\.\.\. e5 \{ \[%eval 0\.25\] \} 2\. Qh5 \$6 \{ \[%eval -0\.90\] \}/);
  assert.match(oneLine, /3\.\.\. Nf6 \$4 \{ \[%eval #1\] natural \} 4\. Qxf7# 1-0/);
  const marks = judged.map((m) => m.judgement);
  assert.deepEqual(marks.slice(0, 6), [null, null, 'inaccuracy', null, null, 'blunder']);
  // Read back, the NAGs are there and the commands are gone from the comments.
  const back = read(written).game;
  assert.deepEqual(back.moves.map((m) => m.nags), [[], [], [6], [], [], [4], []]);
  assert.equal(back.moves[5].comment, 'natural');
  const chess = new Chess();
  chess.loadPgn(written);
  assert.equal(chess.history().length, 7);
  assert.match(writePgn(game, { evals: [], judged: [{ judgement: 'mistake' }] }), /1\. e4 \$2 1\.\.\. e5 2\. Qh5/);
});
