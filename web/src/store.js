// The game library in the browser's IndexedDB: each game with its review and
// the position on view, a summary of each for the list, the game left open
// and the player's settings.
import { wrap } from 'idb';
import { hash53 as hashKey } from './hash.js';
import { readPrefs } from './prefs.js';

/** @typedef {import('./types.js').GameRecord} GameRecord */
/** @typedef {import('./types.js').TreeNode} TreeNode */
/** @typedef {import('./types.js').Path} Path */
/** @typedef {import('./prefs.js').Prefs} Prefs */
/** @typedef {import('idb').IDBPDatabase} Database */
/** @typedef {import('idb').IDBPTransaction<unknown, string[], IDBTransactionMode>} Transaction */

/** The stored format's version, which is also the database's version. */
export const FORMAT = 1;
export const DB_NAME = 'tarvik';

/** Games written per transaction by addMany. */
const BATCH = 250;
const ROSTER = ['Event', 'Site', 'Date', 'Round', 'White', 'Black', 'Result'];

/** @typedef {'page' | 'import' | 'setup'} Source */

/**
 * One stored game. Plain data only: IndexedDB structured-clones it.
 * @typedef {object} Entry
 * @property {string} id
 * @property {GameRecord} game
 * @property {{ path: Path }} view the position on view
 * @property {object} [play] a paused game against the engine, as its
 *   controller keeps it
 * @property {object} [review]
 * @property {unknown} [practice]
 * @property {string} [opening] the named opening its moves reach ("B20
 *   Sicilian Defense"), as the page found it when it saved the game; '' for
 *   none; without it, the list shows the ECO and Opening headers
 * @property {Source} [source] how the game came in; without it, a game with
 *   `play` counts as played on the page, one with a FEN header as set up, any
 *   other as imported
 * @property {number} [created] ms since 1970; save keeps the stored one
 * @property {number} [updated] ms since 1970; save sets it
 */

/**
 * What the library list shows of a game, stored beside it.
 * @typedef {object} Summary
 * @property {string} id
 * @property {string} white
 * @property {string} black
 * @property {string} result
 * @property {string} date as in the Date header ('????.??.??' when unknown)
 * @property {string} event
 * @property {number} plies main-line length
 * @property {string} opening the entry's opening, else the ECO and Opening
 *   headers; '' without any
 * @property {boolean} reviewed the root and every main-line position carry an
 *   evaluation
 * @property {Source} source
 * @property {string} key duplicateKey of the game
 * @property {number} created
 * @property {number} updated
 */

/** @typedef {{ error: string }} Failure */

/**
 * @typedef {object} ListOptions
 * @property {string} [search] a case-insensitive part of White, Black or Event
 * @property {'date-desc' | 'date-asc'} [sort] by Date (unknown parts count as
 *   zero), then by creation
 * @property {number} [offset]
 * @property {number} [limit]
 */

/**
 * The open library. Every method resolves a Failure instead of throwing.
 * @typedef {object} Store
 * @property {(entry: Entry) => Promise<true | Failure>} save the game and its
 *   summary, together or not at all
 * @property {(id: string) => Promise<Entry | null | Failure>} load
 * @property {(id: string) => Promise<Entry | null | Failure>} remove gives the
 *   removed entry back, for an undo
 * @property {(entry: Entry) => Promise<true | Failure>} restore puts a removed
 *   entry back as it was
 * @property {(options?: ListOptions) => Promise<{ items: Summary[], total: number } | Failure>} list
 *   a page of the summaries that match, and how many match
 * @property {(game: GameRecord) => Promise<string | null | Failure>} findDuplicate
 *   the id of a stored game with the same roster, FEN and main line
 * @property {(entries: Entry[], options?: { onProgress?: (done: number, total: number) => void }) => Promise<{ added: number, duplicates: number } | Failure & { added: number, duplicates: number }>} addMany
 *   stores the games that are not stored yet, in batches; after a failure, the
 *   batches before it stay
 * @property {() => Promise<Entry[] | Failure>} all every stored game, oldest
 *   first, for the library's export
 * @property {(gameId: string | null) => Promise<true | Failure>} setSession
 *   the game open when the page is left
 * @property {() => Promise<string | null | Failure>} session
 * @property {(prefs: Prefs) => Promise<true | Failure>} setSettings the
 *   player's settings, kept as one record of the meta store
 * @property {() => Promise<Prefs | null | Failure>} settings null when none
 * @property {(practice: object | null) => Promise<true | Failure>} setPractice the
 *   practice going on, kept as one record of the meta store; null: none
 * @property {() => Promise<unknown | Failure>} practice as it was kept, for the
 *   page to check; null when none
 *   were kept
 * @property {() => Promise<boolean>} persist asks the browser once to keep the
 *   site's data; its answer
 * @property {() => string | null} firstError the first failure's message, to be
 *   shown once
 * @property {() => void} close
 */

const NEWER = 'The games were saved by a newer release of this page; they are left untouched and nothing is saved here.';
const MISSING = 'This browser gives the page no storage, so games are not saved.';
const REFUSED = 'The browser refuses this page storage (site data blocked, a private window or a sandboxed page), so games are not saved.';
const BLOCKED = 'An older copy of this page in another tab holds the game library; close that tab and reload this one to save games.';
const REPLACED = 'A newer release of this page opened the game library in another tab; reload this page to keep saving.';
const LOST = 'The browser closed the game library; reload the page to keep saving.';

/**
 * Opens the library, creating or upgrading it to FORMAT. An older page never
 * opens a newer format, so the newer page's data stays as it was.
 * @param {{ indexedDB?: IDBFactory | null, storage?: { persist?: () => Promise<boolean> } | null }} [options]
 *   the factory and navigator.storage, the browser's when not given; null for
 *   none
 * @returns {Promise<Store | Failure>}
 */
export async function openStore(options = {}) {
  try {
    const factory = options.indexedDB === undefined ? globalThis.indexedDB : options.indexedDB;
    if (!factory) return { error: MISSING };
    const storage = options.storage === undefined ? globalThis.navigator?.storage : options.storage;
    const opened = await openDatabase(factory);
    return 'error' in opened ? opened : makeStore(opened.db, storage ?? null);
  } catch (e) {
    return { error: openFailure(e) };
  }
}

/**
 * @param {IDBFactory} factory
 * @returns {Promise<{ db: IDBDatabase } | Failure>}
 */
function openDatabase(factory) {
  return new Promise((resolve) => {
    let settled = false;
    /** @param {{ db: IDBDatabase } | Failure} result */
    const settle = (result) => {
      // An open that completes after we gave up on it must not stay open: it
      // would block the next release's upgrade.
      if (settled && 'db' in result) result.db.close();
      else if (!settled) resolve(result);
      settled = true;
    };
    const request = factory.open(DB_NAME, FORMAT);
    request.onupgradeneeded = (event) => upgrade(request.result, event.oldVersion);
    request.onblocked = () => settle({ error: BLOCKED });
    request.onsuccess = () => settle({ db: request.result });
    request.onerror = (event) => {
      event.preventDefault();
      settle({ error: openFailure(request.error) });
    };
  });
}

/**
 * One step per format: a database of an older format goes through each step
 * after its own.
 * @param {IDBDatabase} db
 * @param {number} oldVersion
 */
function upgrade(db, oldVersion) {
  if (oldVersion < 1) {
    db.createObjectStore('games', { keyPath: 'id' });
    const summaries = db.createObjectStore('summaries', { keyPath: 'id' });
    summaries.createIndex('key', 'key');
    summaries.createIndex('updated', 'updated');
    db.createObjectStore('meta', { keyPath: 'key' });
  }
}

/** @param {unknown} e */
function openFailure(e) {
  const name = e instanceof Error || e instanceof DOMException ? e.name : '';
  if (name === 'VersionError') return NEWER;
  if (name === 'SecurityError') return REFUSED;
  return `The game library could not be opened (${describe(e)}), so games are not saved.`;
}

/** @param {unknown} e */
function describe(e) {
  if (!(e instanceof Error || e instanceof DOMException)) return String(e);
  if (e.name === 'QuotaExceededError') return "the browser's storage for this page is full";
  const text = e.message.replace(/\.$/, '');
  return text ? `${e.name}: ${text}` : e.name;
}

/**
 * The summaries as the list reads them, with the search text and the sort
 * order worked out once per summary.
 * @typedef {{ summary: Summary, text: string, order: string }} Row
 * @typedef {object} Cache
 * @property {Map<string, Row>} rows by id
 * @property {Map<string, Set<string>>} keys ids by duplicate key
 * @property {Row[] | null} sorted newest first; null after a change
 */

/**
 * @param {IDBDatabase} raw
 * @param {{ persist?: () => Promise<boolean> } | null} storage
 * @returns {Store}
 */
function makeStore(raw, storage) {
  const db = wrap(raw);
  /** @type {string | null} */
  let first = null;
  /** @type {string | null} */
  let closed = null;
  /** @type {Cache | null} */
  let cache = null;
  /** @type {Promise<Cache | Failure> | null} */
  let loading = null;
  /** @type {Promise<boolean> | null} */
  let asked = null;

  raw.addEventListener('versionchange', (event) => {
    raw.close();
    closed = event.newVersion === null ? LOST : REPLACED;
  });
  raw.addEventListener('close', () => {
    closed = LOST;
  });

  /** @param {string} message @returns {Failure} */
  function fail(message) {
    first ??= message;
    return { error: message };
  }

  /**
   * Runs work in one transaction. A failure aborts it, so that nothing the
   * work wrote stays.
   * @template T
   * @param {string[]} names
   * @param {IDBTransactionMode} mode
   * @param {string} what the sentence's start when it fails
   * @param {(tx: Transaction) => Promise<T>} work
   * @returns {Promise<T | Failure>}
   */
  async function run(names, mode, what, work) {
    if (closed) return fail(closed);
    /** @type {Transaction | undefined} */
    let tx;
    try {
      tx = db.transaction(names, mode);
      tx.done.catch(() => {});
      const result = await work(tx);
      await tx.done;
      return result;
    } catch (e) {
      try {
        tx?.abort();
      } catch {
        // Already finished or aborted.
      }
      return fail(closed ?? `${what}: ${describe(e)}.`);
    }
  }

  /**
   * Keeps the cache in step once tx commits. Before the cache is read there is
   * nothing to keep: IndexedDB runs the read after every write begun before
   * it, and every later write after it.
   * @param {Transaction} tx
   * @param {(cache: Cache) => void} apply
   */
  function onCommit(tx, apply) {
    tx.done.then(
      () => cache && apply(cache),
      () => {},
    );
  }

  /** @returns {Promise<Cache | Failure>} */
  function summaries() {
    if (cache) return Promise.resolve(cache);
    loading ??= run(['summaries'], 'readonly', 'The game library could not be read', (tx) => tx.objectStore('summaries').getAll()).then(
      (all) => {
        loading = null;
        if ('error' in all) return all;
        cache = { rows: new Map(), keys: new Map(), sorted: null };
        for (const summary of all) cachePut(cache, summary);
        return cache;
      },
    );
    return loading;
  }

  /**
   * Writes an entry and its summary; the cache follows on commit.
   * @param {Transaction} tx
   * @param {Entry} entry
   */
  function putEntry(tx, entry) {
    const summary = summarise(entry);
    quiet(tx.objectStore('summaries').put(summary));
    quiet(tx.objectStore('games').put(entry));
    onCommit(tx, (c) => cachePut(c, summary));
  }

  /**
   * The first of ids whose stored game has this identity.
   * @param {Transaction} tx
   * @param {Iterable<IDBValidKey>} ids
   * @param {string} same
   */
  async function storedCopy(tx, ids, same) {
    for (const id of ids) {
      /** @type {Entry | undefined} */
      const stored = await tx.objectStore('games').get(id);
      if (stored && identity(stored.game) === same) return stored.id;
    }
    return null;
  }

  return {
    save: (entry) =>
      run(['games', 'summaries'], 'readwrite', 'The game could not be saved', async (tx) => {
        // A page being left gets no turn after this one: once the list has
        // been read, the creation time comes from it and nothing is read
        // before the write, and the transaction is committed at once, not
        // when the page next waits.
        const now = Date.now();
        const known = entry.created ?? (cache ? cache.rows.get(entry.id)?.summary.created ?? now : undefined);
        /** @type {Summary | undefined} */
        const old = known === undefined ? await tx.objectStore('summaries').get(entry.id) : undefined;
        putEntry(tx, { ...entry, created: known ?? old?.created ?? now, updated: now });
        tx.commit();
        return /** @type {const} */ (true);
      }),

    load: (id) =>
      run(['games'], 'readonly', 'The game could not be read', async (tx) => (await tx.objectStore('games').get(id)) ?? null),

    remove: (id) =>
      run(['games', 'summaries'], 'readwrite', 'The game could not be deleted', async (tx) => {
        /** @type {Entry | undefined} */
        const entry = await tx.objectStore('games').get(id);
        quiet(tx.objectStore('games').delete(id));
        quiet(tx.objectStore('summaries').delete(id));
        onCommit(tx, (c) => cacheDelete(c, id));
        return entry ?? null;
      }),

    restore: (entry) =>
      run(['games', 'summaries'], 'readwrite', 'The game could not be put back', async (tx) => {
        putEntry(tx, entry);
        return /** @type {const} */ (true);
      }),

    async list({ search = '', sort = 'date-desc', offset = 0, limit = 50 } = {}) {
      const c = await summaries();
      if ('error' in c) return c;
      c.sorted ??= [...c.rows.values()].sort((a, b) => (a.order < b.order ? 1 : a.order > b.order ? -1 : 0));
      const needle = search.trim().toLowerCase();
      const rows = needle ? c.sorted.filter((r) => r.text.includes(needle)) : c.sorted;
      const total = rows.length;
      const start = Math.min(total, Math.max(0, Math.floor(offset)));
      const count = Math.max(0, Math.floor(limit));
      const page =
        sort === 'date-asc' ? rows.slice(Math.max(0, total - start - count), total - start).reverse() : rows.slice(start, start + count);
      return { items: page.map((r) => ({ ...r.summary })), total };
    },

    async findDuplicate(game) {
      const same = identity(game);
      const key = hashKey(same);
      const ids = cache ? cache.keys.get(key) ?? [] : null;
      return run(['games', 'summaries'], 'readonly', 'The game library could not be read', async (tx) =>
        storedCopy(tx, ids ?? (await tx.objectStore('summaries').index('key').getAllKeys(key)), same),
      );
    },

    async addMany(entries, { onProgress } = {}) {
      let added = 0;
      let duplicates = 0;
      for (let done = 0; done < entries.length; done += BATCH) {
        const c = await summaries();
        if ('error' in c) return { ...c, added, duplicates };
        const batch = entries.slice(done, done + BATCH);
        const counted = await run(['games', 'summaries'], 'readwrite', 'The games could not be imported', async (tx) => {
          const now = Date.now();
          /** @type {Map<string, string[]>} identities written in this batch by key */
          const fresh = new Map();
          let copies = 0;
          for (const entry of batch) {
            const same = identity(entry.game);
            const key = hashKey(same);
            const written = fresh.get(key) ?? [];
            if (written.includes(same) || (c.keys.has(key) && (await storedCopy(tx, c.keys.get(key) ?? [], same)))) {
              copies++;
              continue;
            }
            fresh.set(key, [...written, same]);
            putEntry(tx, { ...entry, created: entry.created ?? now, updated: entry.updated ?? now });
          }
          return { copies };
        });
        if ('error' in counted) return { ...counted, added, duplicates };
        added += batch.length - counted.copies;
        duplicates += counted.copies;
        onProgress?.(done + batch.length, entries.length);
      }
      return { added, duplicates };
    },

    all: () =>
      run(['games'], 'readonly', 'The game library could not be read', async (tx) => {
        /** @type {Entry[]} */
        const entries = await tx.objectStore('games').getAll();
        return entries.sort((a, b) => (a.created ?? 0) - (b.created ?? 0));
      }),

    setSession: (gameId) =>
      run(['meta'], 'readwrite', 'The open game could not be recorded', async (tx) => {
        const meta = tx.objectStore('meta');
        quiet(gameId === null ? meta.delete('session') : meta.put({ key: 'session', gameId }));
        return /** @type {const} */ (true);
      }),

    session: () =>
      run(['meta'], 'readonly', 'The game library could not be read', async (tx) => {
        /** @type {{ gameId?: string } | undefined} */
        const record = await tx.objectStore('meta').get('session');
        return record?.gameId ?? null;
      }),

    setSettings: (prefs) =>
      run(['meta'], 'readwrite', 'The settings could not be saved', async (tx) => {
        quiet(tx.objectStore('meta').put({ key: 'settings', ...readPrefs(prefs) }));
        return /** @type {const} */ (true);
      }),

    setPractice: (practice) =>
      run(['meta'], 'readwrite', 'The practice could not be saved', async (tx) => {
        const meta = tx.objectStore('meta');
        quiet(practice === null ? meta.delete('practice') : meta.put({ key: 'practice', run: practice }));
        return /** @type {const} */ (true);
      }),

    practice: () =>
      run(['meta'], 'readonly', 'The practice could not be read', async (tx) => {
        const record = await tx.objectStore('meta').get('practice');
        return record?.run ?? null;
      }),

    settings: () =>
      run(['meta'], 'readonly', 'The settings could not be read', async (tx) => {
        const record = await tx.objectStore('meta').get('settings');
        return record ? readPrefs(record) : null;
      }),

    persist() {
      asked ??= (async () => {
        try {
          return typeof storage?.persist === 'function' ? Boolean(await storage.persist()) : false;
        } catch {
          return false;
        }
      })();
      return asked;
    },

    firstError: () => first,

    close() {
      closed ??= LOST;
      raw.close();
    },
  };
}

/**
 * A request whose failure is reported through its transaction's abort.
 * @param {Promise<unknown>} request
 */
function quiet(request) {
  request.catch(() => {});
}

/** @param {Cache} cache @param {Summary} summary */
function cachePut(cache, summary) {
  cacheDelete(cache, summary.id);
  const text = [summary.white, summary.black, summary.event].join('\n').toLowerCase();
  const order = `${(summary.date || '').replace(/\?/g, '0')} ${String(summary.created || 0).padStart(16, '0')} ${summary.id}`;
  cache.rows.set(summary.id, { summary, text, order });
  const ids = cache.keys.get(summary.key) ?? new Set();
  cache.keys.set(summary.key, ids.add(summary.id));
  cache.sorted = null;
}

/** @param {Cache} cache @param {string} id */
function cacheDelete(cache, id) {
  const row = cache.rows.get(id);
  if (!row) return;
  cache.rows.delete(id);
  cache.keys.get(row.summary.key)?.delete(id);
  cache.sorted = null;
}

/**
 * The main line's positions after the root.
 * @param {TreeNode} root
 */
function mainLine(root) {
  const line = [];
  for (let node = root.children[0]; node; node = node.children[0]) line.push(node);
  return line;
}

/**
 * What makes two games the same game: the roster, the start position and the
 * main line. Comments, evaluations and variations do not count.
 * @param {GameRecord} game
 */
function identity(game) {
  const h = game.headers;
  const moves = mainLine(game.root).map((node) => node.id);
  return JSON.stringify([...ROSTER.map((tag) => h[tag] ?? ''), h.FEN ?? '', moves.join(' ')]);
}

/**
 * The key under which a game's copies meet: equal for games with the same
 * roster tags, FEN and main line. Part of the stored format.
 * @param {GameRecord} game
 */
export function duplicateKey(game) {
  return hashKey(identity(game));
}

/**
 * The list's line for an entry.
 * @param {Entry} entry
 * @returns {Summary}
 */
export function summarise(entry) {
  const { headers: h, root } = entry.game;
  const line = mainLine(root);
  return {
    id: entry.id,
    white: h.White ?? '',
    black: h.Black ?? '',
    result: h.Result ?? '*',
    date: h.Date ?? '',
    event: h.Event ?? '',
    plies: line.length,
    opening: entry.opening || [h.ECO, h.Opening].filter(Boolean).join(' '),
    reviewed: [root, ...line].every((node) => node.eval !== undefined),
    source: entry.source ?? (entry.play ? 'page' : h.FEN ? 'setup' : 'import'),
    key: duplicateKey(entry.game),
    created: entry.created ?? 0,
    updated: entry.updated ?? 0,
  };
}

/** A new game's id. */
export function newId() {
  if (typeof globalThis.crypto?.randomUUID === 'function') return globalThis.crypto.randomUUID();
  return `${Date.now().toString(36)}-${Math.random().toString(36).slice(2, 12)}`;
}
