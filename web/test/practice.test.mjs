// Practising mistakes: which positions are taken, how a try is judged, what
// the board and the engine do meanwhile, and what is kept with the games.
//   node --test test/practice.test.mjs
import 'fake-indexeddb/auto';
import assert from 'node:assert/strict';
import test from 'node:test';
import { PROMPTS, firstLook, markResult, practiceItems, readRecord, readRun, recordCounts, verdict } from '../src/practice-ctrl.js';
import { UNITS_PER_PAWN } from '../src/engine-facts.js';
import { mainline } from '../src/tree.js';
import { answerReview, playLine, reopen, sans, settle, setUp } from './fakes.mjs';

// White leaves the queen to be taken on move 3; the review prefers Bc4.
const UNITS_PER_CP = UNITS_PER_PAWN / 100;
const BLUNDER = '1. e4 e5 2. Qh5 Nc6 3. Qxe5+ Nxe5 *';
// The review's scores, from the side to move, for the positions after 0..6
// plies, in the engine's units.
const SCORES = [30, -30, 30, -20, 20, 800, -800].map((cp) => cp * UNITS_PER_CP);
const BEFORE_BLUNDER = ['e2e4', 'e7e5', 'd1h5', 'b8c6'];

/** A loaded game, reviewed with the scripted engine. @param {any} s */
function reviewed(s, pgn = BLUNDER) {
  s.ctrl.loadPgn(pgn);
  s.ctrl.review(100);
  answerReview(s, SCORES, (i) => (i === 4 ? 'f1c4' : 'a2a3'));
  assert.ok(s.ctrl.reviewOnView(), 'the game is reviewed');
}

/** The engine's verdict on the try being judged: centipawns from the side to move. */
function judge(s, cp) {
  s.engine.say(`info depth 4 score cp ${cp * UNITS_PER_CP} nps 1 nodes 1 time 1 pv a7a6`);
  s.engine.say('bestmove a7a6');
}

test('the positions to practise: the side’s mistakes and blunders in order, found ones left out when asked', () => {
  const s = setUp();
  reviewed(s);
  const review = /** @type {any} */ (s.ctrl.reviewOnView());
  const nodes = mainline(s.state.game.root);
  const [item] = practiceItems(review, nodes, 'w', { gameId: 'g' });
  assert.equal(item.ply, 5);
  assert.deepEqual(item.path, BEFORE_BLUNDER);
  assert.equal(item.played, 'h5e5');
  assert.equal(item.best, 'Bc4');
  assert.equal(item.fen, nodes[4].fen);
  assert.deepEqual(practiceItems(review, nodes, 'b', { gameId: 'g' }), [], 'Black made no mistake');
  const found = markResult(readRecord(undefined), item, 'found', []);
  assert.equal(practiceItems(review, nodes, 'w', { gameId: 'g', record: found, skipFound: true }).length, 0);
  assert.equal(practiceItems(review, nodes, 'w', { gameId: 'g', record: found }).length, 1);
  // A mark for another move at that ply (the main line changed) does not count.
  const other = { positions: { 5: { ...found.positions[5], move: 'g1f3' } } };
  assert.equal(practiceItems(review, nodes, 'w', { gameId: 'g', record: other, skipFound: true }).length, 1);
  assert.equal(recordCounts(other, nodes), null);
  assert.deepEqual(recordCounts(found, nodes), { found: 1, shown: 0, skipped: 0 });
});

test('a try is judged at once or by the margin against the best move', () => {
  const item = { played: 'h5e5', best: 'Bc4', color: /** @type {'w'} */ ('w'), bestChance: 60 };
  /** @type {[{ id: string, san: string }, string][]} */
  const cases = [
    [{ id: 'h5e5', san: 'Qxe5' }, 'wrong'],
    [{ id: 'f1c4', san: 'Bc4' }, 'good'],
    [{ id: 'g1f3', san: 'Nf3' }, 'search'],
  ];
  for (const [move, want] of cases) assert.equal(firstLook(/** @type {any} */ (item), move), want, move.san);
  // 60 points for the best move: a try at 56 or more is good.
  const chance = (/** @type {number} */ p) => ({ pawns: Math.log(p / (100 - p)) / 0.00368208 / 100 });
  assert.equal(verdict(/** @type {any} */ (item), chance(56.1)), 'good');
  assert.equal(verdict(/** @type {any} */ (item), chance(55.9)), 'wrong');
  assert.equal(verdict(/** @type {any} */ (item), { mate: -2 }), 'wrong');
  assert.equal(verdict(/** @type {any} */ ({ ...item, color: 'b' }), { mate: -2 }), 'good');
  assert.equal(verdict(/** @type {any} */ (item), undefined), 'wrong');
});

test('a kept practice is taken up only when it is one', () => {
  const item = { gameId: 'g', path: ['e2e4'], ply: 3, color: 'w', fen: 'x', played: 'd1h5', playedSan: 'Qh5', best: 'Nf3', bestChance: 50 };
  const good = { scope: 'library', items: [item, { ...item, gameId: null }], index: 1, counts: { found: 1, shown: 0, skipped: 0 }, ms: 250 };
  const run = readRun(good);
  assert.deepEqual([run.index, run.counts, run.status, run.ms], [1, good.counts, 'loading', 250]);
  for (const [why, bad] of /** @type {[string, unknown][]} */ ([
    ['nothing', null],
    ['no scope', { ...good, scope: 'x' }],
    ['index past the end', { ...good, index: 2 }],
    ['a broken item', { ...good, items: [{ ...item, path: 'e2e4' }] }],
    ['a colour', { ...good, items: [{ ...item, color: 'white' }] }],
    ['negative counts', { ...good, counts: { found: -1, shown: 0, skipped: 0 } }],
  ]))
    assert.equal(readRun(bad), null, why);
});

test('a stored record is read defensively and keeps a bounded list of tries', () => {
  for (const bad of [null, 'x', { positions: 3 }, { positions: { 5: { move: 1, result: 'found' } } }, { positions: { 5: { move: 'a2a3', result: 'won' } } }])
    assert.deepEqual(readRecord(bad), { positions: {} }, JSON.stringify(bad));
  const item = /** @type {any} */ ({ ply: 5, played: 'h5e5' });
  let record = readRecord(undefined);
  for (let i = 0; i < 100; i++) record = markResult(record, item, 'skipped', [{ san: `a${i}`, verdict: 'wrong' }]);
  assert.ok(record.positions[5].tries.length <= 40);
  assert.equal(record.positions[5].tries.at(-1).san, 'a99', 'the newest tries are kept');
});

test('practising a blunder: the bad move refused at once, a try judged by a short search, the board waiting meanwhile', () => {
  const s = setUp();
  const { ctrl, engine, state } = s;
  reviewed(s);
  const tree = state.game.root;
  ctrl.practise('w', 250);
  assert.equal(state.practice.status, 'find');
  assert.deepEqual(state.path, BEFORE_BLUNDER);
  assert.equal(state.orientation, 'w');
  assert.equal(ctrl.practicePrompt(), PROMPTS.find);
  assert.equal(state.ceval.job, null, 'no analysis gives the answer away');

  const sent = engine.sent.length;
  ctrl.playMove('h5', 'e5');
  assert.equal(ctrl.practicePrompt(), PROMPTS.wrong);
  assert.equal(engine.sent.length, sent, 'the blunder again needs no search');
  assert.equal(ctrl.practiceBoard(), null, 'the board is back before the move');

  ctrl.playMove('g1', 'f3');
  assert.equal(state.practice.status, 'judging');
  assert.equal(engine.last('position'), 'position startpos moves e2e4 e7e5 d1h5 b8c6 g1f3');
  assert.equal(engine.last('go'), 'go movetime 100000', 'sent as a review sends its time');
  assert.equal(ctrl.canMove(), false);
  ctrl.playMove('f1', 'c4');
  ctrl.practiseShow();
  ctrl.practiseNext();
  assert.equal(state.practice.status, 'judging', 'nothing starts while the engine judges');
  assert.equal(ctrl.practiceBoard().fen.split(' ')[0], 'r1bqkbnr/pppp1ppp/2n5/4p2Q/4P3/5N2/PPPP1PPP/RNB1KB1R');
  // Black to move and a pawn behind after Nf3: White keeps the best move's chance.
  judge(s, -150);
  assert.equal(ctrl.practicePrompt(), PROMPTS.good);
  assert.deepEqual(state.practice.counts, { found: 1, shown: 0, skipped: 0 });
  ctrl.practiseNext();
  assert.equal(state.practice, null);
  assert.deepEqual(state.practiceDone, { found: 1, shown: 0, skipped: 0 });
  assert.equal(state.game.root, tree, 'tries stay out of the move tree');
  assert.deepEqual(
    state.practiceRecord.positions[5].tries.map((t) => `${t.san} ${t.verdict}`),
    ['Qxe5+ wrong', 'Nf3 good'],
  );
});

test('a weak try is not this one; the move can be shown; the review’s own move is good at once', () => {
  const s = setUp();
  const { ctrl, engine, state } = s;
  reviewed(s);
  ctrl.practise('w');
  ctrl.playMove('a2', 'a3');
  judge(s, 300);
  assert.equal(ctrl.practicePrompt(), PROMPTS.wrong);
  assert.equal(ctrl.canMove(), true, 'another try may follow');
  ctrl.practiseShow();
  assert.equal(state.practice.status, 'shown');
  assert.match(ctrl.practiceBoard().fen, /^r1bqkbnr\/pppp1ppp\/2n5\/4p2Q\/2B1P3\//);
  ctrl.practiseNext();
  assert.deepEqual(state.practiceDone, { found: 0, shown: 1, skipped: 0 });

  ctrl.practise('w');
  const sent = engine.sent.length;
  ctrl.playMove('f1', 'c4');
  assert.equal(ctrl.practicePrompt(), PROMPTS.good);
  assert.equal(engine.sent.length, sent);
  ctrl.practiseStop();
  assert.deepEqual(state.practiceDone, { found: 1, shown: 0, skipped: 0 });
  assert.equal(state.practiceRecord.positions[5].result, 'found');
  // Going through the game works again once the practice is over.
  ctrl.navigate('first');
  assert.deepEqual(state.path, []);
});

test('an engine that fails while judging gives the try back; a side with no mistake says so', () => {
  const s = setUp();
  const { ctrl, engine, state } = s;
  reviewed(s);
  ctrl.practise('b');
  assert.equal(state.practice, null);
  assert.match(state.message, /Black made no mistake/);
  ctrl.practise('me');
  assert.match(state.message, /your name/, 'a loaded game has no side of the player without a name');
  ctrl.practise('w');
  ctrl.playMove('g1', 'f3');
  engine.fail('it crashed');
  assert.equal(state.practice.status, 'find');
  assert.equal(ctrl.canMove(), true);
  assert.equal(sans(state), 'e4 e5 Qh5 Nc6 Qxe5+ Nxe5');
});

test('what was practised is kept with the game and comes back after a reload', async () => {
  const factory = new IDBFactory();
  const a = await reopen(factory);
  reviewed(a);
  await settle(a);
  a.ctrl.practise('w');
  a.ctrl.playMove('f1', 'c4');
  a.ctrl.practiseNext();
  await settle(a);
  const b = await reopen(factory);
  assert.equal(b.state.practiceRecord.positions[5].result, 'found');
  assert.deepEqual(recordCounts(b.state.practiceRecord, mainline(b.state.game.root)), { found: 1, shown: 0, skipped: 0 });
});

test('practising the whole library: reviewed games oldest first, opened in turn, found positions left out next time', async () => {
  const factory = new IDBFactory();
  const s = await reopen(factory);
  const game = (/** @type {string} */ white, /** @type {string} */ date) => `[White "${white}"]\n[Black "B"]\n[Date "${date}"]\n\n${BLUNDER}`;
  // The newer game is loaded and reviewed first, so the older must be opened.
  reviewed(s, game('Newer', '2024.05.01'));
  await settle(s);
  reviewed(s, game('Older', '2019.01.01'));
  await settle(s);
  s.ctrl.loadPgn('1. d4 d5 *');
  await settle(s);

  s.ctrl.practiseAll('w');
  await settle(s);
  const { state, ctrl } = s;
  assert.equal(state.practice.items.length, 2);
  assert.equal(state.game.headers.White, 'Older');
  assert.equal(state.practice.status, 'find');
  assert.deepEqual(state.path, BEFORE_BLUNDER);
  ctrl.playMove('f1', 'c4');
  ctrl.practiseNext();
  await settle(s);
  assert.equal(state.game.headers.White, 'Newer');
  assert.equal(state.practice.status, 'find');
  await settle(s);

  // A reload takes the practice up where it stood.
  const again = await reopen(factory);
  assert.equal(again.state.game.headers.White, 'Newer');
  assert.equal(again.state.practice.status, 'find');
  assert.equal(again.state.practice.index, 1);
  assert.deepEqual(again.state.practice.counts, { found: 1, shown: 0, skipped: 0 });
  assert.deepEqual(again.state.path, BEFORE_BLUNDER);
  again.ctrl.practiseNext();
  assert.deepEqual(again.state.practiceDone, { found: 1, shown: 0, skipped: 1 });
  await settle(again);
  assert.equal((await reopen(factory)).state.practice, null, 'a practice finished is not taken up again');

  again.ctrl.practiseAll('w');
  await settle(again);
  assert.equal(again.state.practice.items.length, 1, 'the position found is not asked again');
  assert.equal(again.state.game.headers.White, 'Newer');
  again.ctrl.practiseStop();
  again.ctrl.practiseAll('b');
  await settle(again);
  assert.equal(again.state.practice, null);
  assert.match(again.state.message, /no reviewed game/i);
});

test('your side of a game played here is the side you played; back to the game ends the practice', () => {
  const s = setUp({ colour: 'w', time: '3+2' });
  const { ctrl, state } = s;
  playLine(s, 'e2e4 e7e5 d1h5 b8c6 h5e5 c6e5 g1f3');
  ctrl.toggleAnalysis();
  ctrl.review(100);
  answerReview(s, [...SCORES, -800 * UNITS_PER_CP], (i) => (i === 4 ? 'f1c4' : 'a2a3'));
  ctrl.practise('me');
  assert.equal(state.practice.items[0].color, 'w');
  assert.deepEqual(state.path, BEFORE_BLUNDER);
  ctrl.toggleAnalysis();
  assert.equal(state.practice, null);
  assert.equal(state.mode, 'play');
  assert.equal(state.path.length, 7, 'the game goes on from its last move');
  assert.equal(ctrl.canMove(), false, "the engine's turn");
});
