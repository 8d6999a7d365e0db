// Reading and writing PGN: games, starts from a FEN, comments and commands, NAGs, variations, many games, bad input and round trips.
//   node --test test/pgn.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { MAX_GAMES, MAX_PGN_BYTES, checkPgnText, readGame, readGames, readPiece, splitGames, writeGame } from '../src/pgn.js';
import { START_FEN, play, uciMove } from '../src/rules.js';

/** @typedef {import('../src/types.js').ReadGame} ReadGame */

/** A text that reads as a game. @param {string} text */
const read = (text) => {
  const parsed = readGame(text);
  assert.ok('game' in parsed, `not read: ${'error' in parsed && parsed.error}`);
  return parsed;
};
/** The message for a text that does not read. @param {string} text */
const refusal = (text) => {
  const parsed = readGame(text);
  assert.ok('error' in parsed, `read: ${text}`);
  return parsed.error;
};
/** The game of a piece that was read. @param {ReadGame} piece */
const gameOf = (piece) => {
  assert.ok('game' in piece, `game ${piece.number} not read`);
  return piece.game;
};
const mainLine = (game) => {
  const nodes = [];
  for (let node = game.root.children[0]; node; node = node.children[0]) nodes.push(node);
  return nodes;
};
const sans = (game) => mainLine(game).map((m) => m.san).join(' ');
const eachNode = (node, f) => {
  f(node);
  for (const child of node.children) eachNode(child, f);
};

// Every node is what the rules make of its id played from its parent, and
// sits at its depth; siblings differ.
function assertReplays(game) {
  eachNode(game.root, (node) => {
    assert.equal(new Set(node.children.map((c) => c.id)).size, node.children.length, `repeated move after ${node.san}`);
    for (const child of node.children) {
      const played = play(node.fen, uciMove(child.id));
      assert.ok(played, `${child.id} is not legal after ${node.fen}`);
      assert.deepEqual([child.id, child.san, child.fen, child.ply], [played.id, played.san, played.fen, node.ply + 1]);
    }
  });
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
  for (const [what, text, moves, result, headers] of /** @type {[string, string, number, string, Record<string, string>][]} */ ([
    ['a game with the seven tags', OPERA, 33, '1-0', { White: 'Morphy, Paul', Date: '1858.??.??' }],
    ['bare moves, no numbers', 'e4 e5 Nf3 Nc6', 4, '*', {}],
    ['numbers stuck to moves, 0-0 castling', '1.e4 e5 2.Nf3 Nc6 3.Bc4 Bc5 4.0-0 Nf6 1/2-1/2', 8, '1/2-1/2', {}],
    ['squares, a pawn letter, e.p.', '1. e2-e4 Ng8f6 2. Pe5 d5 3. exd6 e.p. e6 *', 6, '*', {}],
    ['check signs that are wrong, a promotion', '1. h4 g5 2. hxg5 Nf6 3. gxf6+ h6 4. fxe7 h5 5. exf8=Q+ 0-1', 9, '0-1', {}],
    ['headers and no moves', '[Event "Empty"]\n[Result "1/2-1/2"]\n', 0, '1/2-1/2', { Event: 'Empty' }],
    ['a result header when the movetext has none', '[Result "0-1"]\n\n1. f3 e5 2. g4 Qh4#', 4, '0-1', {}],
    ['the movetext\'s marker before the header', '[Result "1-0"]\n\n1. e4 *', 1, '*', {}],
    ['an escaped quote and backslash', '[White "A \\"B\\" C\\\\D"]\n\n1. d4 *', 1, '*', { White: 'A "B" C\\D' }],
    ['a blank line inside the movetext', '[Event "e"]\n\n1. e4 e5\n\n2. Nf3 *', 3, '*', {}],
  ])) {
    const { game, count } = read(text);
    assert.equal(mainLine(game).length, moves, what);
    assert.equal(game.headers.Result, result, what);
    assert.equal(count, 1, what);
    for (const [name, value] of Object.entries(headers)) assert.equal(game.headers[name], value, what);
    assert.equal(game.root.fen, START_FEN, what);
    assertReplays(game);
  }
  const { game } = read(OPERA);
  assert.deepEqual(Object.keys(game.headers), ['Event', 'Site', 'Date', 'Round', 'White', 'Black', 'Result']);
  assert.equal(mainLine(game)[32].san, 'Rd8#');
  assert.equal(mainLine(game)[22].id, 'e1c1', 'castling goes to the engine as the king\'s move');
  assert.equal(mainLine(read('1. h4 g5 2. hxg5 Nf6 3. gxf6+ h6 4. fxe7 h5 5. exf8=Q+ *').game)[8].id, 'e7f8q');
});

test('a SetUp and FEN start is checked and played from', () => {
  const blackToMove = '4k3/8/8/8/8/8/4P3/4K3 b - - 0 7';
  const { game } = read(`[SetUp "1"]\n[FEN "${blackToMove}"]\n\n7... Kd7 8. e4 Ke6 *`);
  assert.equal(game.root.fen, blackToMove);
  assert.equal(sans(game), 'Kd7 e4 Ke6');
  assertReplays(game);
  // A FEN header with its last two fields left out, as some tools write it.
  assert.equal(read('[FEN "4k3/8/8/8/8/8/4P3/4K3 w - -"]\n\n1. e3 *').game.root.fen, '4k3/8/8/8/8/8/4P3/4K3 w - - 0 1');
  assert.equal(read('[SetUp "1"]\n[FEN "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"]\n1. e4 *').game.root.fen, START_FEN);
  assert.equal(read(`[SetUp "0"]\n[FEN "${blackToMove}"]\n1. e4 *`).game.root.fen, START_FEN);
  // Errors name the move with the number and side of the FEN.
  assert.deepEqual(readGame(`[SetUp "1"]\n[FEN "${blackToMove}"]\n\n7... Kd7 8. e5 *`), { error: 'Move 8. e5 is illegal in this position.' });
  assert.match(refusal('[Variant "Crazyhouse"]\n\n1. e4 *'), /Crazyhouse, a variant this page does not play/);
});

test('comments, commands and NAGs belong to the move before them', () => {
  const { game } = read(`{ The opening, [%clk 0:03:00] [%eval 0.17] }
1. e4! { best by test } { [%eval 0.31] [%clk 0:02:59] } e5? $18 2. Nf3!! Nc6?? { [%clk 1:02:03.5] [%emt 0:00:05] [%cal Ge2e4,Rd7d5] [%foo bar
  baz] [%eval #-3] } 3. Bb5!? a6?! $6
4. Ba4 ; a rest-of-line comment } with a brace
Nf6 {  spread
   over lines  } 5. O-O $1 $14 $1 { [%clk 5:00] [%eval 0.123] } *`);
  assert.deepEqual([game.root.comment, game.root.commands, game.root.eval], ['The opening,', '[%clk 0:03:00]', { pawns: 0.17 }]);
  assert.deepEqual(
    mainLine(game).map((m) => [m.san, m.nags, m.comment, m.commands, m.clock, m.eval]),
    [
      ['e4', [1], 'best by test', '', 179, { pawns: 0.31 }],
      ['e5', [2, 18], '', '', undefined, undefined],
      ['Nf3', [3], '', '', undefined, undefined],
      ['Nc6', [4], '', '[%emt 0:00:05] [%cal Ge2e4,Rd7d5] [%foo bar baz]', 3723.5, { mate: -3 }],
      ['Bb5', [5], '', '', undefined, undefined],
      ['a6', [6], '', '', undefined, undefined],
      ['Ba4', [], 'a rest-of-line comment with a brace', '', undefined, undefined],
      ['Nf6', [], 'spread over lines', '', undefined, undefined],
      // Commands chessops cannot read stay as they were.
      ['O-O', [1, 14], '', '[%clk 5:00] [%eval 0.123]', undefined, undefined],
    ],
  );
});

test('variations are kept as children, the main line first, in the order of the text', () => {
  for (const [text, tree] of [
    ['1. e4 (1. d4 d5) 1... e5 *', 'e4(e5) d4(d5)'],
    ['1. e4 e5 (1... c5 2. Nf3 (2. c3 d5 (2... Nf6)) 2... d6) (1... e6) 2. Nf3 *', 'e4(e5(Nf3) c5(Nf3(d6) c3(d5 Nf6)) e6)'],
    // A variation that repeats a move already there adds to it.
    ['1. e4 (1. e4 c5 2. Nf3) (1. e4 c5 2. c3) e5 *', 'e4(e5 c5(Nf3 c3))'],
    ['1. e4 (1. d4 {a (b}) e5 *', 'e4(e5) d4'],
  ]) {
    const { game } = read(text);
    const show = (node) => node.children.map((c) => c.san + (c.children.length ? `(${show(c)})` : '')).join(' ');
    assert.equal(show(game.root), tree, text);
    assertReplays(game);
  }
  const { game } = read('1. e4 ( { the other } 1. d4 $5 { queen } ) e5 *');
  const d4 = game.root.children[1];
  assert.deepEqual([d4.startComment, d4.comment, d4.nags], ['the other', 'queen', [5]]);
  assert.equal(game.root.comment, '');
  // Moves in a variation are played as strictly as the main line's.
  assert.deepEqual(readGame('1. e4 (1. Qxh7 { not legal } $4) e5 *'), { error: 'Move 1. Qxh7 is illegal in this position.' });
});

test('a file of several games is read game by game, a bad one does not stop the rest', () => {
  for (const [text, count, first, second] of /** @type {[string, number, number, number][]} */ ([
    [`${OPERA}\n${OPERA}\n[Event "third"]\n\n1. d4 d5 *\n`, 3, 33, 33],
    ['1. e4 e5 1-0\n\n1. d4 d5 0-1\n\n1. c4 *', 3, 2, 2],
    // Headers after moves start the next game even when a result was left out.
    ['[Event "a"]\n1. e4 e5\n[Event "b"]\n1. d4 *\n[Event "c"]\n[White "x"]\n1. c4 *', 3, 2, 1],
    // A result with no game before it is no game.
    ['1. e4 e5 * *\n\n[Event "b"] *', 2, 2, 0],
    ['1. e4 e5 * 1. d4 *', 2, 2, 1],
  ])) {
    const { games, error } = readGames(text);
    assert.equal(error, undefined);
    assert.deepEqual(games.map((g) => g.number), Array.from({ length: count }, (_, i) => i + 1), text.slice(0, 40));
    assert.deepEqual([mainLine(gameOf(games[0])).length, mainLine(gameOf(games[1])).length], [first, second], text.slice(0, 40));
    assert.equal(read(text).count, count);
  }
  assert.deepEqual(readGames('[Event "a"]\n1. e4 e5\n[Event "b"]\n1. d4 *').games.map((g) => gameOf(g).headers.Event), ['a', 'b']);

  const mixed = ['1. e4 e5 *', '1. e4 e5 2. Ke3 *', '[Event "ok"]\n\n1. d4 *', '1. d4 ) d5 *', '1. c4 { never closed'].join('\n\n');
  const { games } = readGames(mixed);
  assert.deepEqual(
    games.map((g) => ('error' in g ? g.error : g.game.headers.Event ?? '-')),
    [
      '-',
      'Game 2: Move 2. Ke3 is illegal in this position.',
      'ok',
      'Game 4: The ) on line 9 closes no variation; reading stopped after move 1. d4.',
      'Game 5: A comment opened with { on line 11 is never closed; reading stopped after move 1. c4.',
    ],
  );
  assert.equal(checkPgnText(mixed), 'Game 4: The ) on line 9 closes no variation; reading stopped after move 1. d4.');
  assert.equal(checkPgnText(OPERA + OPERA), null);

  // Read in slices, a game at a time, the pieces give the same games.
  const { pieces } = splitGames(mixed);
  assert.deepEqual(pieces.map(readPiece), games);
  const told = [];
  readGames(mixed, { onGame: (index, total) => told.push(`${index}/${total}`) });
  assert.deepEqual(told, ['0/5', '1/5', '2/5', '3/5', '4/5']);
});

test('escape lines are skipped and line numbers still count them', () => {
  const { game } = read('% made by some program\n[Event "e"]\n%another one\n\n1. e4 e5 *\n');
  assert.equal(sans(game), 'e4 e5');
  assert.equal(read('1. e4 { a\n% not a comment\nb } e5 *').game.root.children[0].comment, 'a b');
  assert.match(refusal('% one\n% two\n1. e4 e5 2. Nf3 { open\n'), /on line 3 /);
  assert.match(refusal('1. e4 % e5 *'), /"%"/, 'a % inside a line is no escape');
});

test('bad input gets a message that names where reading stopped', () => {
  const tooMany = '1. e4 *\n'.repeat(MAX_GAMES + 1);
  for (const [what, text, message] of /** @type {[string, string, RegExp][]} */ ([
    ['empty', '', /^The PGN is empty\.$/],
    ['blank', ' \n\t\n', /^The PGN is empty\.$/],
    ['one byte too many', 'e'.repeat(MAX_PGN_BYTES + 1), /larger than 20 MB/],
    ['too many bytes in fewer characters', `{${'é'.repeat(MAX_PGN_BYTES / 2)}}`, /larger than 20 MB/],
    ['too many games', tooMany, /^This PGN holds more than 10,000 games/],
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
    ['spaces inside a header', '[ Event "Paris" ]\n\n1. e4 *', /^The header on line 1 cannot be read/],
    ['an illegal White move', '1. e4 e5 2. Qxf7 *', /^Move 2\. Qxf7 is illegal in this position\.$/],
    ['an illegal Black move', '1. e4 e5 2. Nf3 Nxe4 *', /^Move 2\.\.\. Nxe4 is illegal in this position\.$/],
    ['an ambiguous move', '1. Nf3 Nf6 2. Nc3 Nc6 3. Nd4 Nd5 4. Nb5 *', /^Move 4\. Nb5 is illegal/],
    ['a move after mate', '1. f3 e5 2. g4 Qh4# 3. a3 0-1', /^Move 3\. a3 is illegal after the end of the game\.$/],
    ['an unreadable move', '1. e4 e5 2. Nf9 *', /^Move 2\. Nf9 cannot be read as a move\.$/],
    ['an unreadable move with a mark', '1. e4 xyz!? *', /^Move 1\.\.\. xyz!\? cannot be read as a move\.$/],
    ['a capture written with a colon', '1. e4 d5 2. e:d5 *', /^Move 2\. e:d5 cannot be read/],
    ['an unreadable move in a variation', '1. e4 (1. d4 Nf9) e5 *', /^Move 1\.\.\. Nf9 cannot be read/],
    ['a null move', '1. e4 -- 2. d4 *', /^The character "-" on line 1/],
    ['an impossible FEN', '[SetUp "1"]\n[FEN "8/8/8/8/8/8/8/8 w - - 0 1"]\n\n1. e4 *', /^The game's starting position cannot be set up\. This FEN is invalid/],
    ['a FEN with the mover giving check', '[SetUp "1"]\n[FEN "k6R/8/8/8/8/8/8/K7 w - - 0 1"]\n\n*', /side not to move is in check/],
    ['a FEN that is no FEN', '[FEN "hello"]\n\n1. e4 *', /cannot be set up\. A FEN has four to six fields/],
    ['SetUp without a FEN', '[SetUp "1"]\n\n1. e4 *', /SetUp "1" but has no FEN/],
  ])) {
    const parsed = readGame(text);
    assert.ok('error' in parsed, `${what}: read`);
    assert.match(parsed.error, message, what);
  }
  // Refused whole: nothing of the text is read.
  assert.deepEqual(readGames(tooMany).games, []);
  assert.match(readGames(tooMany).error, /more than 10,000 games/);
  assert.equal(readGames('1. e4 *\n'.repeat(MAX_GAMES)).games.length, MAX_GAMES);
});

test('nothing typed can make reading throw, and what is read replays', () => {
  // Random cuts, repeats and stray characters in a real game.
  let seed = 11;
  const random = (n) => (seed = (seed * 1103515245 + 12345) % 2147483648) % n;
  const pieces = ['{', '}', '(', ')', '[', ']', '"', '$', '%', '\n%', ';', '!', '?', '...', '1-0', '*', 'O-O', '=Q', 'x', '\\', ' ', '\n\n', '( 3. Nc3'];
  for (let i = 0; i < 400; i++) {
    let text = OPERA;
    for (let k = random(4) + 1; k > 0; k--) {
      const at = random(text.length);
      const cut = random(3) === 0 ? random(20) : 0;
      text = text.slice(0, at) + pieces[random(pieces.length)] + text.slice(at + cut);
    }
    const { games, error } = readGames(text);
    assert.ok(error ? games.length === 0 : games.length >= 1, text);
    for (const piece of games) {
      if ('error' in piece) assert.match(piece.error, /^Game \d+: \S/, text);
      else {
        assertReplays(piece.game);
        assert.equal(writeGame(read(writeGame(piece.game)).game), writeGame(piece.game), text);
      }
    }
  }
});

const RICH = [
  OPERA,
  `[Event "setup"]\n[SetUp "1"]\n[FEN "r3k2r/P7/8/8/8/8/6p1/R3K2R b KQkq - 3 40"]\n[Annotator "someone"]\n\n40... O-O-O { castles } 41. a8=Q+ Kc7 42. Qxd8+ (42. Rd1 $5 { [%csl Rd8] } 42... Rxd1+) 42... Kxd8 43. O-O-O+ Ke7 44. Rd2 gxh1=N $2 1/2-1/2`,
  `{ Before the first move [%eval 0.15] [%best d4] } 1. d4 $1 { a comment with ( and ) [%clk 0:05:00] } d5 2. c4 (2. Nf3 { [%clk 0:04:59] } Nf6 (2... c5 $6 { [%eval -0.2] }) 3. Bf4) ( { quiet } 2. e3) e6 $6 { [%eval #4] [%emt 0:00:12] [%x y] } 3. Nc3 Nf6 4. Bg5 Be7 5. e3 O-O 6. Nf3 Nbd7 7. Rc1 c6 8. Bd3 dxc4 9. Bxc4 Nd5 10. Bxe7 Qxe7 11. O-O Nxc3 12. Rxc3 e5 *`,
];

test('a written game reads back the same tree, and writes the same text again', () => {
  for (const text of RICH) {
    const { game } = read(text);
    const written = writeGame(game);
    const again = read(written).game;
    assert.deepEqual(again.root, game.root);
    for (const [name, value] of Object.entries(game.headers)) assert.equal(again.headers[name], value, name);
    assert.equal(writeGame(again), written);
    assertReplays(again);
  }
  const { game } = read(RICH[2]);
  assert.deepEqual([game.root.eval, game.root.best, game.root.commands], [{ pawns: 0.15 }, 'd4', '']);
  assert.match(writeGame(game), /^\{ \[%eval 0\.15\] \[%best d4\] Before the first move \} 1\. d4 \$1/m);
});

test('movetext wraps at 80 columns and no line starts with %', () => {
  // Every alignment of the comment's words against the line's end.
  for (let pad = 1; pad <= 12; pad++) {
    const { game } = read(`1. e4 { ${'x'.repeat(pad)} ${'a %b %c d '.repeat(20)}} e5 (1... c5 { ${'%e '.repeat(pad)}}) 2. Nf3 *`);
    const written = writeGame(game);
    const lines = written.split('\n').slice(8);
    assert.ok(lines.length > 3, written);
    for (const line of lines) {
      assert.ok(line.length <= 80, `longer than 80: ${line}`);
      assert.ok(!line.startsWith('%'), `an escape line: ${line}`);
      assert.ok(!/\d\.$/.test(line), `a move number apart from its move: ${line}`);
    }
    assert.deepEqual(read(written).game.root, game.root);
  }
});

test('headers go out in roster order with SetUp and FEN after it', () => {
  const fen = '4k3/8/8/8/8/8/4P3/4K3 w - - 0 1';
  const game = {
    headers: { TimeControl: '180+2', White: 'me', Result: '1-0', Event: 'casual', Note: 'say "hi" \\ bye', FEN: 'stale', SetUp: '1' },
    root: { id: '', ply: 0, san: '', fen, children: [], comment: '', commands: '', nags: [] },
  };
  assert.deepEqual(writeGame(game).split('\n').slice(0, 13), [
    '[Event "casual"]',
    '[Site "?"]',
    '[Date "????.??.??"]',
    '[Round "?"]',
    '[White "me"]',
    '[Black "?"]',
    '[Result "1-0"]',
    '[SetUp "1"]',
    `[FEN "${fen}"]`,
    '[TimeControl "180+2"]',
    '[Note "say \\"hi\\" \\\\ bye"]',
    '',
    '1-0',
  ]);
  assert.equal(read(writeGame(game)).game.headers.Note, 'say "hi" \\ bye');
  assert.doesNotMatch(writeGame({ ...game, root: { ...game.root, fen: START_FEN } }), /SetUp|FEN/);
  assert.match(writeGame({ ...game, headers: { Result: 'lost on time' } }), /\[Result "\*"\]\n\[SetUp "1"\]\n.*\n\n\*\n$/);
});

test('the named opening goes out as ECO and Opening headers only when the game has neither', () => {
  const game = read('[White "me"]\n[Annotator "x"]\n\n1. e4 c5 *').game;
  const opening = { eco: 'B20', name: 'Sicilian Defense' };
  for (const [headers, eco, name] of /** @type {[Record<string, string>, string | undefined, string | undefined][]} */ ([
    [{}, 'B20', 'Sicilian Defense'],
    [{ ECO: 'B21' }, 'B21', undefined],
    [{ Opening: 'Sicilian' }, undefined, 'Sicilian'],
    [{ ECO: 'C00', Opening: 'French Defense' }, 'C00', 'French Defense'],
    [{ ECO: '', Opening: '' }, '', ''],
  ])) {
    const written = writeGame({ ...game, headers: { ...game.headers, ...headers } }, { opening });
    const back = read(written).game.headers;
    assert.deepEqual([back.ECO, back.Opening], [eco, name], JSON.stringify(headers));
    assert.equal(back.Annotator, 'x', 'the game\'s own headers stay');
    assert.match(written, /\[Result "\*"\]\n/, 'after the roster');
  }
  for (const none of [undefined, null]) assert.doesNotMatch(writeGame(game, { opening: none }), /ECO|Opening/);
});

test('a reviewed game goes out with evaluations, judgement NAGs and preferred moves, and comes back', () => {
  const { game } = read('1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0');
  const evals = [{ pawns: 0.2 }, { pawns: 0.3 }, { pawns: 0.25 }, { pawns: -0.9 }, { pawns: -0.4 }, { pawns: -0.2 }, { mate: 1 }];
  const nodes = [game.root, ...mainLine(game)];
  evals.forEach((e, ply) => (nodes[ply].eval = e));
  nodes[2].best = 'Nf3';
  nodes[5].best = 'g6';
  nodes[6].nags = [1, 146]; // the reader's own "!" on Black's blunder gives way to the judgement
  nodes[6].comment = 'natural';
  nodes[6].clock = 61.5;
  /** @type {Record<number, import('../src/pgn.js').Judgement>} */
  const judgements = { 3: 'inaccuracy', 6: 'blunder' };
  const written = writeGame(game, { judgements });
  const oneLine = written.replace(/\n/g, ' ');
  assert.match(oneLine, /\] {2}\{ \[%eval 0\.20\] \} 1\. e4 \{ \[%eval 0\.30\] \} e5 \{ \[%eval 0\.25\] \[%best Nf3\] \} 2\. Qh5 \$6 \{ \[%eval -0\.90\] \}/);
  assert.match(oneLine, /3\. Bc4 \{ \[%eval -0\.20\] \[%best g6\] \} Nf6 \$4 \$146 \{ \[%eval #1\] \[%clk 0:01:01\.5\] natural \} 4\. Qxf7# 1-0/);
  // Read back, the review is all there, and a second review writes no NAG twice.
  const back = read(written).game;
  const backNodes = [back.root, ...mainLine(back)];
  assert.deepEqual(backNodes.map((n) => n.eval), [...evals, undefined]);
  assert.deepEqual(backNodes.map((n) => n.nags), [[], [], [], [6], [], [], [4, 146], []]);
  assert.deepEqual(backNodes.map((n) => n.best), [undefined, undefined, 'Nf3', undefined, undefined, 'g6', undefined, undefined]);
  assert.equal(writeGame(back, { judgements: new Map([[3, 'inaccuracy'], [6, 'blunder']]) }), written);
  assert.match(writeGame(game, { judgements: { 1: 'mistake' } }), /1\. e4 \$2 \{ \[%eval 0\.30\] \} 1\.\.\. e5/);
  // Judgements mark the main line only.
  const branched = read('1. e4 (1. d4) e5 *').game;
  assert.match(writeGame(branched, { judgements: { 1: 'mistake' } }), /1\. e4 \$2 \( 1\. d4 \) 1\.\.\. e5/);
});
