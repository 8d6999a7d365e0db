// Opening names: the table built from the project's TSV files the way the build builds it, names along lines and transpositions, book moves, and nothing of the source lost on the way.
//   node --test test/openings.test.mjs
import 'fake-indexeddb/auto';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import test from 'node:test';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chessops/chess';
import { makeFen, parseFen } from 'chessops/fen';
import { parseSan } from 'chessops/san';
import { encodeTable, readLines } from '../openings-build.mjs';
import { OPENINGS_FILE, OPENINGS_GLOBAL, bookPlies, decodeTable, loadOpenings, openingAt, openingText, positionKey } from '../src/openings.js';
import { readGame } from '../src/pgn.js';
import { openStore } from '../src/store.js';
import { answerReview, playLine, settle, setUp } from './fakes.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const SOURCE = path.join(here, '../data/openings');
const START = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';
const data = encodeTable(readLines(SOURCE));
const table = decodeTable(data);

/**
 * The positions of a line of SAN moves, played by chessops here rather than
 * by the page's rules, which the build uses.
 * @param {string} moves
 * @param {string} [fen]
 */
function fensOf(moves, fen = START) {
  const pos = Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
  const fens = [makeFen(pos.toSetup())];
  for (const san of moves.split(/\s+/).filter((w) => w && !/^\d+\.+$/.test(w))) {
    const move = parseSan(pos, san);
    assert.ok(move, `${san} after ${fens.length - 1} plies of ${moves}`);
    pos.play(move);
    fens.push(makeFen(pos.toSetup()));
  }
  return fens;
}

const named = (moves, fen) => openingText(openingAt(table, fensOf(moves, fen)));

test('the deepest named position along a line names it, and the book stops at the first move outside the table', () => {
  for (const [moves, name, book] of /** @type {[string, string, number][]} */ ([
    ['e4 c5', 'B20 Sicilian Defense', 2],
    ['e4', "B00 King's Pawn Game", 1],
    ['e4 c5 Nf3 d6 d4', 'B50 Sicilian Defense', 5],
    // Out of book at 3... Kd7: the name stays the last one reached.
    ['e4 c5 Nf3 d6 d4 Kd7 dxc5 Ke8', 'B50 Sicilian Defense', 5],
    // Out of book at 2. Ng1, back in by transposition: named again, but the
    // book ended where the line first left the table.
    ['Nf3 Nf6 Ng1 Ng8 e4 c5', 'B20 Sicilian Defense', 2],
    ['a3 h6 Ra2', "A00 Anderssen's Opening", 1],
    ['', '', 0],
  ])) {
    const fens = fensOf(moves);
    assert.equal(openingText(openingAt(table, fens)), name, moves);
    assert.equal(bookPlies(table, fens), book, `book plies of ${moves}`);
  }
});

test('a transposition meets the same name both ways', () => {
  for (const [one, other, name] of [
    ['Nf3 d5 d4', 'd4 d5 Nf3', "D02 Queen's Pawn Game: Zukertort Variation"],
    ['c4 e5 Nc3 Nf6', 'c4 Nf6 Nc3 e5', null],
    ['e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 a6', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 a6 Nc3 Nf6', null],
  ]) {
    const a = named(one);
    assert.ok(a, `${one} is named`);
    assert.equal(named(other), a, `${one} and ${other}`);
    if (name) assert.equal(a, name);
  }
});

test('a game set up from a position is named only from a position of the table on', () => {
  const sicilian = fensOf('e4 c5').at(-1);
  for (const [fen, moves, name, book] of /** @type {[string, string, string, number][]} */ ([
    // Any position outside the table, and moves that stay outside it.
    ['4k3/8/8/8/8/8/4P3/4K3 w - - 0 1', 'e4', '', 0],
    // A position of the table set up: named from the start.
    ['rnbqkbnr/pppppppp/8/8/8/5P2/PPPPP1PP/RNBQKBNR b KQkq - 0 1', 'Nc6', 'A00 Barnes Opening', 0],
    // The Sicilian set up with other move counters is the same position.
    [sicilian.replace(/ \d+ \d+$/, ' 7 30'), '', 'B20 Sicilian Defense', 0],
    [sicilian, 'Nf3', 'B27 Sicilian Defense', 1],
  ])) {
    const fens = fensOf(moves, fen);
    assert.equal(openingText(openingAt(table, fens)), name, `${fen} ${moves}`);
    assert.equal(bookPlies(table, fens), book, `book plies from ${fen} ${moves}`);
  }
  assert.equal(openingAt(table, [START]), null, 'the start position is no opening');
  assert.equal(openingAt(null, fensOf('e4 c5')), null, 'no table, no name');
  assert.equal(bookPlies(null, fensOf('e4 c5')), 0);
});

test('every line of the source is found whole: its end names it (or the first line to end there), every move is book', () => {
  /** @type {Map<string, string>} the first line's name at each end, by EPD */
  const first = new Map();
  const epds = new Set();
  let lines = 0;
  let longest = 0;
  for (const file of fs.readdirSync(SOURCE).filter((f) => f.endsWith('.tsv')).sort()) {
    for (const row of fs.readFileSync(path.join(SOURCE, file), 'utf8').split('\n').slice(1)) {
      if (!row) continue;
      const [eco, name, pgn] = row.split('\t');
      const fens = fensOf(pgn);
      const epd = fens.at(-1).split(' ').slice(0, 4).join(' ');
      if (!first.has(epd)) first.set(epd, `${eco} ${name}`);
      for (const fen of fens.slice(1)) epds.add(fen.split(' ').slice(0, 4).join(' '));
      assert.equal(openingText(openingAt(table, [fens.at(-1)])), first.get(epd), `${file}: ${pgn}`);
      assert.equal(bookPlies(table, fens), fens.length - 1, `every move of ${pgn} is book`);
      longest = Math.max(longest, fens.length - 1);
      lines++;
    }
  }
  assert.equal(lines, 3807);
  assert.equal(table.positions.size, epds.size, 'one key for each position, none for any other');
  assert.equal(table.plies, longest);
  assert.equal([...table.positions.values()].filter(Boolean).length, first.size, 'a name at each end of a line');
});

test('the keys of two FENs of one position are one, and of two positions two', () => {
  const [, afterE4] = fensOf('e4');
  for (const [a, b, same] of /** @type {[string, string, boolean][]} */ ([
    [afterE4, afterE4.replace(/ 0 1$/, ' 5 40'), true],
    // chessops writes an en passant square only where a capture is possible.
    [fensOf('e4 a6 e5 d5').at(-1), fensOf('e4 d5 e5 a6').at(-1), false],
    [fensOf('Nf3 Nf6 Ng1 Ng8').at(-1), START, true],
    [START, START.replace(' KQkq ', ' Kkq '), false],
    [START, START.replace(' w ', ' b '), false],
  ]))
    assert.equal(positionKey(a) === positionKey(b), same, `${a} and ${b}`);
});

test('the page file stays within 250 KiB', () => {
  const bytes = Buffer.byteLength(JSON.stringify(data));
  assert.ok(bytes < 250 * 1024, `${bytes} bytes`);
});

test('the page loads the names as a script; a file that fails or reads wrong gives no table, and nothing throws', async () => {
  for (const [what, outcome, global, loaded] of /** @type {[string, 'load' | 'error', unknown, boolean][]} */ ([
    ['the built data', 'load', data, true],
    ['a file that does not load', 'error', undefined, false],
    ['a script that sets nothing', 'load', undefined, false],
    ['a script that sets something else', 'load', { named: 7 }, false],
  ])) {
    const appended = [];
    const doc = { createElement: (tag) => ({ tag }), head: { append: (node) => appended.push(node) } };
    const loading = loadOpenings(/** @type {Document} */ (/** @type {unknown} */ (doc)));
    assert.equal(appended.length, 1, what);
    const [script] = appended;
    assert.deepEqual([script.tag, script.src], ['script', OPENINGS_FILE], what);
    if (global !== undefined) globalThis[OPENINGS_GLOBAL] = global;
    script[outcome === 'load' ? 'onload' : 'onerror']();
    const table = await loading;
    assert.equal(table !== null, loaded, what);
    if (loaded) assert.equal(openingText(openingAt(table, fensOf('e4 c5'))), 'B20 Sicilian Defense', what);
    assert.equal(OPENINGS_GLOBAL in globalThis, false, `${what}: the global goes once read`);
  }
});

/**
 * The table built from TSV files of the given rows, each file a list of
 * "eco<TAB>name<TAB>pgn" rows.
 * @param {Record<string, string[]>} files
 */
function tableOf(files) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-openings-'));
  try {
    for (const [name, rows] of Object.entries(files)) fs.writeFileSync(path.join(dir, name), ['eco\tname\tpgn', ...rows, ''].join('\n'));
    return decodeTable(encodeTable(readLines(dir)));
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

test('where two lines end in one position the first in file order names it; a line passing through an end keeps that name', () => {
  const small = tableOf({
    'a.tsv': ['A06\tFirst by file\t1. Nf3 d5 2. d4', 'B27\tLonger\t1. e4 c5 2. Nf3'],
    'd.tsv': ['D02\tSecond by file\t1. d4 d5 2. Nf3', 'D99\tShorter\t1. e4 c5'],
  });
  assert.equal(openingText(openingAt(small, fensOf('d4 d5 Nf3'))), 'A06 First by file');
  assert.equal(openingText(openingAt(small, fensOf('e4 c5'))), 'D99 Shorter');
  assert.equal(openingText(openingAt(small, fensOf('e4'))), '', 'a position on the way names nothing');
  assert.equal(bookPlies(small, fensOf('e4 c5 Nf3 Nc6')), 3, 'but is book');
  // Names share their first characters with the row before in the file.
  assert.equal(openingText(openingAt(small, fensOf('e4 c5 Nf3'))), 'B27 Longer');
});

test('a source the build cannot read fails it, naming the file and the line', () => {
  for (const [rows, message] of /** @type {[string[], RegExp][]} */ ([
    [['A00\tBad move\t1. e4 e5 2. Ke3'], /a\.tsv:2: Ke3 is not a legal move after 2 plies/],
    [['A00\tFine\t1. e4', 'B00\tNo moves\t'], /a\.tsv:3: not "eco<TAB>name<TAB>pgn"/],
    [['X00\tBad code\t1. e4'], /a\.tsv:2/],
    [['A00\tPipe | in the name\t1. e4'], /a\.tsv:2: a name with the row separator/],
  ]))
    assert.throws(() => tableOf({ 'a.tsv': rows }), message, JSON.stringify(rows));
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-openings-'));
  fs.writeFileSync(path.join(dir, 'a.tsv'), 'ECO\tName\tMoves\nA00\tX\t1. e4\n');
  assert.throws(() => readLines(dir), /a\.tsv: the first row/);
  fs.rmSync(dir, { recursive: true, force: true });
});

// 2. The names on the page, through the controller.

test('once the names load, the position on view is named and the export gains ECO and Opening where the game has neither', () => {
  const s = setUp();
  const { ctrl, state } = s;
  ctrl.loadPgn('[White "Ann"]\n\n1. e4 c5 2. Nf3 d6 3. d4 Kd7 *');
  ctrl.goToPly(5);
  assert.equal(ctrl.openingOnView(), null, 'no names before they load');
  assert.doesNotMatch(ctrl.exportPgn(), /ECO|Opening/);
  const renders = s.renders();
  ctrl.setOpenings(table);
  assert.equal(s.renders(), renders + 1, 'the page is drawn when they arrive');
  for (const [ply, name] of /** @type {[number, string][]} */ ([
    [0, ''],
    [1, "B00 King's Pawn Game"],
    [2, 'B20 Sicilian Defense'],
    [5, 'B50 Sicilian Defense'],
    [6, 'B50 Sicilian Defense'],
  ])) {
    ctrl.goToPly(ply);
    assert.equal(openingText(ctrl.openingOnView()), name, `ply ${ply}`);
  }
  // A variation is named along its own path.
  ctrl.goToPly(1);
  ctrl.playMove('e7', 'e5');
  assert.equal(state.path.join(' '), 'e2e4 e7e5');
  assert.equal(openingText(ctrl.openingOnView()), "C20 King's Pawn Game");
  // The export names the main line's opening, wherever the view is.
  assert.match(ctrl.exportPgn(), /\[Result "\*"\]\n\[ECO "B50"\]\n\[Opening "Sicilian Defense"\]\n/);
  ctrl.loadPgn('[ECO "B99"]\n[Opening "My own"]\n\n1. e4 c5 *');
  const pgn = ctrl.exportPgn();
  assert.match(pgn, /\[ECO "B99"\]\n\[Opening "My own"\]\n/);
  assert.equal(pgn.match(/\[ECO /g).length, 1, 'the game\'s own headers, once');
});

test('a review with the names marks the moves that stay in them as book and judges none of them', () => {
  // 1. e4 e5 2. Nf3 are book; by these scores 1... e5 and 2. Nf3 each throw
  // the game away, and so does 2... Qh4, the first move out of book.
  const scores = [0, 0, 21600, 0, 21600, -21600];
  const best = (i) => ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f3h4', 'g7g6'][i];
  const reviewed = (openings) => {
    const s = setUp();
    if (openings) s.ctrl.setOpenings(openings);
    playLine(s, 'e2e4 e7e5 g1f3 d8h4 f3h4');
    s.ctrl.toggleAnalysis();
    s.ctrl.review(100);
    answerReview(s, scores, best);
    return s.ctrl;
  };
  const judgements = (ctrl) => ctrl.reviewOnView().judged.map((m) => m.judgement);
  const named = reviewed(table);
  assert.deepEqual(judgements(named), [null, null, null, 'blunder', null]);
  assert.deepEqual(named.reviewOnView().judged.map((m) => m.book), [true, true, true, false, false]);
  assert.equal(named.reviewOnView().summary.b.blunder, 1);
  const pgn = named.exportPgn();
  assert.equal(pgn.match(/\$4/g).length, 1, 'one blunder in the export');
  assert.equal(pgn.match(/%best/g).length, 1, 'a preferred move for it alone');
  assert.match(pgn, /Qh4 \$4/);
  // A review made before the names came is read again when they come.
  const unnamed = reviewed(null);
  assert.deepEqual(judgements(unnamed), [null, 'blunder', 'blunder', 'blunder', null]);
  unnamed.setOpenings(table);
  assert.deepEqual(judgements(unnamed), [null, null, null, 'blunder', null]);
});

test('the library lists the opening the moves reach, or the headers\' where the names were not known at the save', async () => {
  const factory = new IDBFactory();
  const s = setUp(undefined, { store: () => openStore({ indexedDB: factory, storage: null }) });
  await s.ctrl.startLibrary();
  s.ctrl.loadPgn('[White "Before"]\n[ECO "A00"]\n[Opening "As recorded"]\n\n1. e4 c5 *');
  await settle(s);
  s.ctrl.setOpenings(table);
  const long = Array.from({ length: 40 }, (_, i) => `${i + 3}. Nf3 Nf6 ${i + 3}... Ng1 Ng8`).join(' ').replace(/\d+\.\.\. /g, '');
  s.ctrl.loadPgn(
    [
      '[White "Headers"]\n[ECO "A00"]\n[Opening "As recorded"]\n\n1. e4 c5 *',
      '[White "Plain"]\n\n1. Nf3 d5 2. d4 Nf6 *',
      '[White "None"]\n\n1. a3 a6 2. Ra2 *',
      // The Sicilian only after the longest named line: past where the library looks.
      `[White "Late"]\n\n1. Nf3 Nf6 2. Ng1 Ng8 ${long} 43. e4 c5 *`,
    ].join('\n\n'),
  );
  await settle(s);
  s.ctrl.showLibrary({ search: '' });
  await settle(s);
  const listed = Object.fromEntries(s.state.library.items.map((g) => [g.white, g.opening]));
  assert.deepEqual(listed, {
    Before: 'A00 As recorded',
    Headers: 'B20 Sicilian Defense',
    // 1. d4 d5 2. Nf3 Nf6 by another order.
    Plain: "D02 Queen's Pawn Game: Symmetrical Variation",
    None: "A00 Anderssen's Opening",
    Late: 'A05 Zukertort Opening',
  });
  const exported = (await s.ctrl.exportLibrary()).split(/\n\n(?=\[Event)/);
  /** @param {string} white */
  const headersOf = (white) => {
    const read = readGame(/** @type {string} */ (exported.find((g) => g.includes(`[White "${white}"]`))));
    assert.ok('game' in read, white);
    return read.game.headers;
  };
  assert.deepEqual([headersOf('Headers').ECO, headersOf('Headers').Opening], ['A00', 'As recorded'], 'kept');
  assert.deepEqual([headersOf('Plain').ECO, headersOf('Plain').Opening], ['D02', "Queen's Pawn Game: Symmetrical Variation"], 'added');
});
