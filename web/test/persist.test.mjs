// The controller over a real library on fake-indexeddb: a game comes back
// after a reload as it was left, deleted games come back with Undo, the
// library's export restores it, and refused storage leaves the page playing.
//   node --test test/persist.test.mjs
import 'fake-indexeddb/auto';
import assert from 'node:assert/strict';
import test from 'node:test';
import { openStore } from '../src/store.js';
import { readFileSync } from 'node:fs';
import { answerReview, line, playLine, sans, settle, setUp } from './fakes.mjs';
import { writeRaw } from './raw-idb.mjs';

/** A page opened on the library in factory, as after a reload. @param {IDBFactory} factory */
async function reopen(factory, settings = undefined) {
  const s = setUp(settings, { store: () => openStore({ indexedDB: factory, storage: null }) });
  await s.ctrl.startLibrary();
  await settle(s);
  return s;
}

test('a game against the engine comes back paused where it stood, with its clocks, and Resume goes on', async () => {
  const factory = new IDBFactory();
  const a = await reopen(factory);
  playLine(a, 'e2e4 e7e5 g1f3');
  a.clock.left.w = 171500;
  a.clock.left.b = 176900;
  a.ctrl.saveNow();
  await settle(a);

  const b = await reopen(factory);
  const { state, ctrl, engine, clock } = b;
  assert.equal(sans(state), 'e4 e5 Nf3');
  assert.equal(state.play.paused, true);
  assert.deepEqual(state.path, ['e2e4', 'e7e5', 'g1f3']);
  assert.deepEqual([clock.left.w, clock.left.b], [171500, 176900], 'no time passed while the page was closed');
  assert.equal(clock.running, null);
  assert.equal(ctrl.canMove(), false);
  assert.equal(state.ceval.job, null, 'the engine waits too');
  ctrl.resume();
  assert.equal(clock.running, 'b');
  assert.equal(state.ceval.job.kind, 'move');
  assert.equal(engine.last('position'), 'position startpos moves e2e4 e7e5 g1f3');
  engine.say('bestmove b8c6');
  assert.equal(sans(state), 'e4 e5 Nf3 Nc6');
  assert.equal(line(state).at(-1).clock, 178.9, "the mover's clock after the move and its increment");
});

test('a review, a variation and the position on view come back after a reload', async () => {
  const factory = new IDBFactory();
  const a = await reopen(factory);
  a.ctrl.loadPgn('[White "Ann"]\n[Black "Ben"]\n\n1. e4 e5 2. Nf3 Qh4 3. Nxh4 *');
  await settle(a);
  a.ctrl.review(100);
  answerReview(a, [0, 0, 0, 0, 21600, -21600]);
  a.ctrl.goToPly(2);
  a.ctrl.typeMove('Nc3');
  a.ctrl.setComment('quieter');
  await settle(a);

  const b = await reopen(factory);
  assert.equal(sans(b.state), 'e4 e5 Nf3 Qh4 Nxh4');
  assert.deepEqual(b.state.path, ['e2e4', 'e7e5', 'b1c3']);
  assert.equal(b.state.game.root.children[0].children[0].children[1].comment, 'quieter');
  const review = b.ctrl.reviewOnView();
  assert.ok(review, 'the review is back without a search');
  assert.equal(review.judged[3].judgement, 'blunder');
  assert.equal(b.state.library.items.length, 1);
  assert.equal(b.state.library.items[0].reviewed, true);
});

test('deleted games come back with Undo; the export restores the library in an empty one; duplicates are counted', async () => {
  const factory = new IDBFactory();
  const a = await reopen(factory);
  playLine(a, 'e2e4 e7e5');
  a.ctrl.resign();
  await settle(a);
  a.ctrl.loadPgn('[White "Ann"]\n[Black "Ben"]\n[Result "1-0"]\n\n1. d4 d5 2. c4 1-0\n\n[White "Cy"]\n[Black "Di"]\n\n1. c4 { [%clk 0:05:00] } *');
  await settle(a);
  a.ctrl.review(100);
  answerReview(a, [0, 0, 0, 0]);
  await settle(a);
  assert.equal(a.state.library.total, 3);

  await a.ctrl.deleteGame();
  await settle(a);
  assert.equal(a.state.library.total, 2);
  assert.equal(a.state.canUndo, true);
  a.ctrl.undo();
  await settle(a);
  assert.equal(a.state.library.total, 3);
  assert.equal(sans(a.state), 'd4 d5 c4', 'the game is back on the board');

  const backup = await a.ctrl.exportLibrary();
  assert.equal(backup.match(/\[Event /g).length, 3);
  const b = await reopen(new IDBFactory());
  b.ctrl.loadPgn(backup);
  await settle(b);
  assert.match(b.state.pgnMessage.text, /^3 games loaded/);
  assert.equal(b.state.library.total, 3);
  const restored = await b.ctrl.exportLibrary();
  assert.equal(restored, backup, 'the same games, reviews included');
  b.ctrl.loadPgn(backup);
  await settle(b);
  assert.match(b.state.pgnMessage.text, /3 already in the library/);
  assert.equal(b.state.library.total, 3);
});

test('storage refused: the page says so once and plays on; a newer format is left alone', async () => {
  const refused = setUp(undefined, { store: async () => ({ error: 'The browser refuses this page storage.' }) });
  await refused.ctrl.startLibrary();
  assert.equal(refused.state.library.status, 'off');
  assert.match(refused.state.library.message, /refuses/);
  playLine(refused, 'e2e4 e7e5 g1f3');
  assert.equal(sans(refused.state), 'e4 e5 Nf3');

  const factory = new IDBFactory();
  await new Promise((resolve) => {
    const request = factory.open('tarvik', 99);
    request.onsuccess = () => {
      request.result.close();
      resolve(undefined);
    };
  });
  const older = await reopen(factory);
  assert.equal(older.state.library.status, 'off');
  assert.match(older.state.library.message, /newer release/);
  playLine(older, 'd2d4');
  await settle(older);
  assert.equal(sans(older.state), 'd4');
});

test('a library written by format 1 opens: the game left open comes back paused, the others with their review, lines and clocks', async () => {
  const factory = new IDBFactory();
  await writeRaw(factory, JSON.parse(readFileSync(new URL('data/library-v1.json', import.meta.url), 'utf8')));
  const s = await reopen(factory);
  assert.equal(s.state.source, 'setup');
  assert.equal(s.state.play.paused, true);
  assert.equal(sans(s.state), 'e4 e5 Nf3');
  assert.deepEqual([s.clock.left.w, s.clock.left.b], [171000, 176900]);
  assert.deepEqual(
    s.state.library.items.map((g) => g.white),
    ['You', 'You', 'Kask, Mari'],
    'newest first',
  );
  const [setup, played, loaded] = s.state.library.items;
  assert.equal(setup.id, s.state.gameId);
  await s.ctrl.openLibraryGame(played.id);
  assert.equal(s.state.ending.reason, 'Black wins by checkmate');
  assert.equal(s.ctrl.reviewOnView().judged[2].judgement, 'blunder');
  await s.ctrl.openLibraryGame(loaded.id);
  assert.equal(s.state.source, 'import');
  const afterNf3 = s.state.game.root.children[0].children[0].children[0].children[0];
  assert.deepEqual(
    afterNf3.children.map((n) => n.san),
    ['Bc4', 'Bb5'],
  );
  assert.equal(afterNf3.children[0].clock, 880);
});
