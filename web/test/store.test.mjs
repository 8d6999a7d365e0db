// The game library on fake-indexeddb: the stored format, refused storage, the
// list and duplicates.
//   node --test test/store.test.mjs
import 'fake-indexeddb/auto';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';
import { DB_NAME, FORMAT, duplicateKey, newId, openStore, summarise } from '../src/store.js';
import { readRaw, settled, writeRaw } from './raw-idb.mjs';

/** @typedef {import('../src/store.js').Entry} Entry */
/** @typedef {import('../src/store.js').Failure} Failure */
/** @typedef {import('../src/store.js').ListOptions} ListOptions */
/** @typedef {import('../src/types.js').GameRecord} GameRecord */

/** @param {unknown} result @returns {result is Failure} */
const isFailure = (result) => typeof result === 'object' && result !== null && 'error' in result;

/**
 * What a store call gave, failing the test when it failed.
 * @template T
 * @param {T | Failure} result
 * @returns {T}
 */
function ok(result) {
  assert.ok(!isFailure(result), isFailure(result) ? result.error : '');
  return /** @type {T} */ (result);
}

/** The message of a store call that failed. @param {unknown} result */
function failure(result) {
  assert.ok(isFailure(result), `no failure: ${JSON.stringify(result)}`);
  return result.error;
}

const V1 = JSON.parse(readFileSync(new URL('data/library-v1.json', import.meta.url), 'utf8'));

/**
 * @param {IDBFactory} [factory]
 * @param {Parameters<typeof openStore>[0]} [options]
 */
async function open(factory = new IDBFactory(), options = {}) {
  return ok(await openStore({ indexedDB: factory, ...options }));
}

const node = (id, ply) => ({ id, ply, san: id, fen: `fen ${ply}`, children: [], comment: '', commands: '', nags: [] });
/**
 * @param {string} id
 * @param {Record<string, string>} [headers]
 * @param {string[]} [moves]
 * @returns {Entry}
 */
function entry(id, headers = {}, moves = ['e2e4', 'e7e5', 'g1f3']) {
  const root = node('', 0);
  moves.reduce((at, move, i) => (at.children.push(node(move, i + 1)), at.children[0]), root);
  const roster = { Event: '?', Site: '?', Date: '????.??.??', Round: '?', White: '?', Black: '?', Result: '*' };
  return { id, game: { headers: { ...roster, ...headers }, root }, view: { path: moves.slice(0, 1) } };
}
/** @param {{ items: { id: string }[] } | Failure} listed */
const ids = (listed) => ok(listed).items.map((s) => s.id);

test('a library of format 1 reads as it was written', async () => {
  const factory = new IDBFactory();
  await writeRaw(factory, V1);
  const store = await open(factory);
  const [played, loaded, setup] = V1.stores.games.records;
  for (const stored of [played, loaded, setup]) {
    assert.deepEqual(await store.findDuplicate(stored.game), stored.id, 'found through the stored key index');
    assert.deepEqual(await store.load(stored.id), stored);
    assert.deepEqual(summarise(stored), V1.stores.summaries.records.find((s) => s.id === stored.id));
  }
  assert.deepEqual(await store.list(), { items: [setup, played, loaded].map(summarise), total: 3 });
  assert.equal(await store.session(), setup.id);
  assert.equal(await store.save({ ...loaded, game: { ...loaded.game, headers: { ...loaded.game.headers, Result: '1-0' } } }), true);
  assert.equal(ok(await store.list({ search: 'kask' })).items[0].result, '1-0');
  store.close();
});

test('a new library has the stores and indexes of its format', async () => {
  const factory = new IDBFactory();
  (await open(factory)).close();
  const schema = ({ version, stores }) => ({ version, stores: Object.entries(stores).map(([name, s]) => [name, s.keyPath, s.indexes]).sort() });
  assert.deepEqual(schema(await readRaw(factory)), schema(JSON.parse(readFileSync(new URL(`data/library-v${FORMAT}.json`, import.meta.url), 'utf8'))));
});

test('a library of a newer format is left as it was', async () => {
  const factory = new IDBFactory();
  const newer = { version: FORMAT + 1, stores: { ...V1.stores, names: { keyPath: 'name', indexes: {}, records: [{ name: 'Kask, Mari' }] } } };
  await writeRaw(factory, newer);
  const before = await readRaw(factory);
  assert.equal(before.version, FORMAT + 1);
  assert.match(failure(await openStore({ indexedDB: factory })), /newer release of this page/);
  assert.deepEqual(await readRaw(factory), before);
});

test('storage refused or missing gives a message, never a throw', async () => {
  const refused = () => {
    throw new DOMException('The operation is insecure.', 'SecurityError');
  };
  // Stand-ins for the browser's factory, and for open requests the test
  // completes by hand.
  /** @param {() => unknown} open */
  const factoryOf = (open) => /** @type {IDBFactory} */ (/** @type {unknown} */ ({ open }));
  /** @type {{ error?: DOMException, result?: { close: () => void }, onerror?: (e: object) => void, onblocked?: (e: object) => void, onsuccess?: () => void }} */
  const broken = {};
  /** @type {typeof broken} */
  const blocked = {};
  /** @type {[Parameters<typeof openStore>[0], RegExp, (() => void)?][]} */
  const cases = [
    [{ indexedDB: null }, /no storage/],
    [{ indexedDB: factoryOf(refused) }, /refuses this page storage/],
    [Object.defineProperty({}, 'indexedDB', { get: refused }), /refuses this page storage/],
    [{ indexedDB: factoryOf(() => broken) }, /could not be opened \(UnknownError: disk\)/, () => broken.onerror({ preventDefault() {} })],
    [{ indexedDB: factoryOf(() => blocked) }, /another tab/, () => blocked.onblocked({})],
  ];
  broken.error = new DOMException('disk', 'UnknownError');
  for (const [options, message, fire] of cases) {
    const opening = openStore(options);
    fire?.();
    assert.match(failure(await opening), message);
  }
  let closes = 0;
  blocked.result = { close: () => closes++ };
  blocked.onsuccess();
  assert.equal(closes, 1, 'an open that succeeds after it was blocked is closed again');
});

test('another tab upgrading or deleting the library stops this one writing', async () => {
  for (const [other, message] of /** @type {[(factory: IDBFactory) => Promise<unknown>, RegExp][]} */ ([
    [(factory) => writeRaw(factory, { version: FORMAT + 1, stores: { names: { keyPath: 'name', indexes: {}, records: [] } } }), /newer release .* another tab/],
    [(factory) => settled(factory.deleteDatabase(DB_NAME)), /closed the game library/],
  ])) {
    const factory = new IDBFactory();
    const store = await open(factory);
    await other(factory);
    const saved = failure(await store.save(entry('a')));
    assert.match(saved, message);
    assert.equal(store.firstError(), saved);
  }
});

test('save, load, remove and restore', async () => {
  const store = await open();
  assert.equal(await store.save(entry('a', { White: 'Kask' })), true);
  const first = ok(await store.load('a'));
  assert.ok(first.created > 0 && first.updated >= first.created);
  await store.save({ ...entry('a', { White: 'Tamm' }), review: { done: true } });
  const second = ok(await store.load('a'));
  assert.equal(second.created, first.created, 'saving again keeps the creation time');
  assert.deepEqual([second.game.headers.White, second.review], ['Tamm', { done: true }]);
  assert.deepEqual(await store.remove('a'), second);
  assert.equal(await store.load('a'), null);
  assert.equal(await store.remove('a'), null);
  assert.deepEqual(await store.list(), { items: [], total: 0 });
  assert.equal(await store.restore(second), true);
  assert.deepEqual(await store.load('a'), second);
  assert.deepEqual(await store.list(), { items: [summarise(second)], total: 1 });
});

test('a save after the list was read keeps the creation time it lists', async () => {
  const store = await open();
  await store.save(entry('a'));
  const { created } = ok(await store.load('a'));
  ok(await store.list());
  await new Promise((resolve) => setTimeout(resolve, 5));
  await store.save(entry('a', { White: 'Tamm' }));
  await store.save(entry('b'));
  const [a, b] = [ok(await store.load('a')), ok(await store.load('b'))];
  assert.equal(a.created, created, 'a stored game keeps its creation time');
  assert.equal(a.game.headers.White, 'Tamm');
  assert.ok(b.created > created, 'a new game gets its own');
  assert.deepEqual(
    ok(await store.list()).items.map((g) => [g.id, g.created]).sort(),
    [
      ['a', created],
      ['b', b.created],
    ],
  );
});

test('the list searches players and events, sorts by date and pages', async () => {
  const store = await open();
  const games = [
    ['a', 'Kask, Mari', 'Tamm, Jaan', 'Tallinn Open', '2024.11.02'],
    ['b', 'Tamm, Jaan', 'Player', 'Casual game', '2025.03.14'],
    ['c', 'Player', 'Saar, Liis', 'Casual game', '????.??.??'],
    ['d', 'Saar, Liis', 'Kask, Mari', 'Club open', '2024.??.??'],
    ['e', 'Player', 'tarvik', 'Analysis', '2025.01.30'],
  ];
  for (const [id, White, Black, Event, Date] of games) await store.save(entry(id, { White, Black, Event, Date }));
  for (const [options, expected, total] of /** @type {[ListOptions, string[], number][]} */ ([
    [{}, ['b', 'e', 'a', 'd', 'c'], 5],
    [{ sort: 'date-asc' }, ['c', 'd', 'a', 'e', 'b'], 5],
    [{ search: 'KASK' }, ['a', 'd'], 2],
    [{ search: ' open' }, ['a', 'd'], 2],
    [{ search: 'casual', sort: 'date-asc' }, ['c', 'b'], 2],
    [{ offset: 1, limit: 2 }, ['e', 'a'], 5],
    [{ sort: 'date-asc', offset: 3, limit: 5 }, ['e', 'b'], 5],
    [{ search: 'player', offset: 2, limit: 2 }, ['c'], 3],
    [{ search: 'nobody' }, [], 0],
  ])) {
    const listed = ok(await store.list(options));
    assert.deepEqual([ids(listed), listed.total], [expected, total], JSON.stringify(options));
  }
});

test('the list read once and kept in memory follows every change', async () => {
  const factory = new IDBFactory();
  const store = await open(factory);
  const fresh = async () => {
    const other = await open(factory);
    const listed = await other.list({ limit: 100 });
    other.close();
    return listed;
  };
  for (const listFirst of [true, false]) {
    const racing = await open();
    await racing.save(entry('a'));
    const listing = listFirst && racing.list();
    await Promise.all([listing, racing.save(entry('b', { White: 'Kask' })), !listFirst && racing.list()]);
    assert.deepEqual(ids(await racing.list()).sort(), ['a', 'b'], `a save while the list is first read, list first: ${listFirst}`);
  }
  const steps = [
    () => store.save(entry('a', { White: 'Kask', Date: '2024.01.01' })),
    () => store.save(entry('b', { Date: '2024.02.01' })),
    () => store.save(entry('c', { Date: '2023.05.05' })),
    () => store.save(entry('a', { White: 'Tamm', Date: '2025.01.01' })),
    () => store.remove('b'),
    () => store.addMany([entry('d', {}, ['d2d4']), entry('e', {}, ['c2c4'])]),
    async () => store.restore(ok(await store.remove('c'))),
  ];
  for (const step of steps) {
    await step();
    assert.deepEqual(await store.list({ limit: 100 }), await fresh());
  }
  assert.deepEqual(ids(await store.list()), ['a', 'c', 'e', 'd'], 'unknown dates last, then the later id');
});

test('the list reads summaries, never whole games', async (t) => {
  const factory = new IDBFactory();
  const writer = await open(factory);
  await writer.addMany([entry('a'), entry('b', { White: 'Kask' })]);
  writer.close();
  const read = [];
  for (const method of /** @type {const} */ (['get', 'getAll', 'openCursor', 'getAllKeys'])) {
    const original = IDBObjectStore.prototype[method];
    t.mock.method(IDBObjectStore.prototype, method, function (...args) {
      read.push(this.name);
      return original.apply(this, args);
    });
  }
  const store = await open(factory);
  assert.equal(ok(await store.list()).total, 2);
  assert.equal(ok(await store.list({ search: 'kask' })).total, 1);
  assert.deepEqual(read, ['summaries']);
});

test('a failed save leaves the stored game and its summary as they were', async (t) => {
  const factory = new IDBFactory();
  const store = await open(factory);
  await store.save(entry('a', { White: 'Kask' }));
  const kept = await store.load('a');
  await store.list();
  const put = IDBObjectStore.prototype.put;
  const full = function (...args) {
    if (this.name === 'games') throw new DOMException('Quota exceeded.', 'QuotaExceededError');
    return put.apply(this, args);
  };
  /** @type {[Entry, RegExp, (() => void)?][]} */
  const failures = [
    [{ ...entry('a', { White: 'Tamm' }), play: { onMove() {} } }, /could not be saved: DataCloneError/],
    [entry('a', { White: 'Tamm' }), /storage for this page is full/, () => t.mock.method(IDBObjectStore.prototype, 'put', full)],
  ];
  for (const [bad, message, prepare] of failures) {
    prepare?.();
    assert.match(failure(await store.save(bad)), message);
    assert.deepEqual(await store.load('a'), kept);
    assert.equal(ok(await store.list()).items[0].white, 'Kask');
  }
  t.mock.restoreAll();
  assert.match(store.firstError(), /DataCloneError/);
  const other = await open(factory);
  assert.equal(ok(await other.list()).items[0].white, 'Kask');
  assert.equal(await store.save(entry('a', { White: 'Tamm' })), true);
});

test('a duplicate has the same roster, FEN and main line', async () => {
  const base = entry('a', { White: 'Kask', Black: 'Tamm', Result: '1-0' });
  /** @param {(game: GameRecord) => void} change */
  const variant = (change) => {
    const copy = structuredClone(base);
    change(copy.game);
    return copy.game;
  };
  const store = await open();
  await store.save(base);
  for (const [what, game, same] of /** @type {[string, GameRecord, boolean][]} */ ([
    ['the same game', variant(() => {}), true],
    ['another result', variant((g) => (g.headers.Result = '0-1')), false],
    ['another last move', variant((g) => (g.root.children[0].children[0].children[0].id = 'b1c3')), false],
    ['a start position', variant((g) => (g.headers.FEN = '4k3/8/8/8/8/8/4P3/4K3 w - - 0 1')), false],
    ['a comment, an evaluation and a side line', variant((g) => {
      g.root.children[0].comment = 'Best by test.';
      g.root.eval = { pawns: 0.2 };
      g.root.children.push(node('d2d4', 1));
      g.headers.Annotator = 'tarvik';
    }), true],
  ])) {
    assert.equal(await store.findDuplicate(game), same ? 'a' : null, what);
    assert.equal(duplicateKey(game) === duplicateKey(base.game), same, what);
  }
});

test('games that share a key but differ are not duplicates', async () => {
  const factory = new IDBFactory();
  const other = entry('b', { White: 'Saar' });
  await writeRaw(factory, { ...V1, stores: { ...V1.stores, meta: { ...V1.stores.meta, records: [] } } });
  const db = await settled(factory.open(DB_NAME));
  const summaries = db.transaction('summaries', 'readwrite').objectStore('summaries');
  const [played] = V1.stores.summaries.records;
  await settled(summaries.put({ ...played, key: duplicateKey(other.game) }));
  db.close();
  const store = await open(factory);
  assert.equal(await store.findDuplicate(other.game), null, 'by the index');
  await store.list();
  assert.equal(await store.findDuplicate(other.game), null, 'by the list in memory');
  assert.deepEqual(await store.addMany([other]), { added: 1, duplicates: 0 });
});

test('addMany stores in batches and skips copies of stored and imported games', async () => {
  const factory = new IDBFactory();
  const store = await open(factory);
  await store.save(entry('stored', { White: 'Kask' }));
  const games = Array.from({ length: 600 }, (_, i) => entry(`g${i}`, { Round: String(i) }));
  games[5] = entry('again', { White: 'Kask' });
  games[450] = { ...structuredClone(games[10]), id: 'copy' };
  const progress = [];
  const added = await store.addMany(games, { onProgress: (done, total) => progress.push([done, total]) });
  assert.deepEqual(added, { added: 598, duplicates: 2 });
  assert.ok(progress.length > 1 && progress.every(([done], i) => i === 0 || done > progress[i - 1][0]));
  assert.deepEqual(progress.at(-1), [600, 600]);
  assert.equal(ok(await store.list()).total, 599);
  assert.deepEqual(await store.addMany(games.slice(0, 3)), { added: 0, duplicates: 3 });
  assert.deepEqual(await store.addMany([entry('x', { White: 'Tamm' }), entry('y', { White: 'Tamm' })]), { added: 1, duplicates: 1 });

  const fresh = await open();
  const broken = games.map((g, i) => (i === 300 ? { ...g, play: { onMove() {} } } : g));
  const failed = await fresh.addMany(broken);
  assert.ok('error' in failed, 'the import failed');
  assert.match(failed.error, /could not be imported/);
  assert.ok(failed.added > 0 && failed.added <= 300);
  const listed = ok(await fresh.list({ sort: 'date-asc', limit: 1000 }));
  assert.equal(listed.total, failed.added, 'the batches before the failure stay, the failed one is gone whole');
});

test('the session, persistent storage and ids', async () => {
  let asked = 0;
  const store = await open(new IDBFactory(), { storage: { persist: async () => (asked++, true) } });
  assert.equal(await store.session(), null);
  assert.equal(await store.setSession('a'), true);
  assert.equal(await store.session(), 'a');
  await store.setSession(null);
  assert.equal(await store.session(), null);
  assert.deepEqual([await store.persist(), await store.persist(), asked], [true, true, 1]);
  for (const storage of [null, {}, { persist: async () => Promise.reject(new Error('no')) }])
    assert.equal(await (await open(new IDBFactory(), { storage })).persist(), false);
  assert.equal(new Set(Array.from({ length: 1000 }, newId)).size, 1000);
});

test("the player's settings: none at first, kept whole, read back as their types, refused when the library closed", async () => {
  const factory = new IDBFactory();
  const store = await open(factory);
  assert.equal(await store.settings(), null);
  assert.equal(await store.setSettings({ playerName: ' Kask, Mari ', sound: true }), true);
  assert.equal(await store.setSession('a'), true);
  assert.deepEqual(await store.settings(), { playerName: ' Kask, Mari ', sound: true });
  assert.equal(await store.session(), 'a', 'the session record stays beside them');
  const other = await open(factory);
  assert.deepEqual(await other.settings(), { playerName: ' Kask, Mari ', sound: true }, 'another page reads them');
  other.close();
  // A record written by another release with other fields or types keeps
  // only what this page knows, each of its type.
  const db = await settled(factory.open(DB_NAME));
  await settled(db.transaction('meta', 'readwrite').objectStore('meta').put({ key: 'settings', playerName: 7, sound: true, theme: 'dark' }));
  db.close();
  assert.deepEqual(await store.settings(), { playerName: '', sound: true });
  await settled(factory.deleteDatabase(DB_NAME));
  assert.match(failure(await store.setSettings({ playerName: 'Tamm', sound: false })), /closed the game library/);
  assert.match(failure(await store.settings()), /closed the game library/);
});
