// The library as the page shows it: whether games can be saved, the page of
// stored games on view, the queue that writes the open game as it changes,
// and the player's settings kept beside the games. The store itself
// (store.js) knows nothing of the page.

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./store.js').Summary} Summary */
/** @typedef {import('./store.js').Entry} Entry */

/**
 * @typedef {object} LibraryState
 * @property {'opening' | 'ready' | 'off'} status off: saving is refused, the
 *   page works without it
 * @property {string} message why games are not saved ('' when they are)
 * @property {Summary[]} items the page of games on view
 * @property {number} total the games that match the search
 * @property {string} search
 * @property {'date-desc' | 'date-asc'} sort
 * @property {number} offset
 * @property {{ done: number, total: number } | null} importing a PGN being read
 */

export const PAGE_SIZE = 20;

/** @returns {LibraryState} */
export function initialLibrary() {
  return { status: 'opening', message: '', items: [], total: 0, search: '', sort: 'date-desc', offset: 0, importing: null };
}

/**
 * Writes entries one at a time in the order given; while one is written,
 * only the newest of those waiting is kept, so a burst of moves costs one
 * write after the current one. onError hears of the first failure only.
 * @param {(entry: Entry) => Promise<true | { error: string }>} write
 * @param {(message: string) => void} onError
 */
export function createSaver(write, onError) {
  /** @type {Entry | null} */
  let waiting = null;
  let busy = false;
  let failed = false;
  /** @type {(() => void)[]} */
  let idle = [];

  async function drain() {
    busy = true;
    while (waiting) {
      const entry = waiting;
      waiting = null;
      const result = await write(entry);
      if (result !== true && !failed) {
        failed = true;
        onError(result.error);
      }
    }
    busy = false;
    const done = idle;
    idle = [];
    for (const f of done) f();
  }

  return {
    /** @param {Entry} entry */
    save(entry) {
      waiting = entry;
      if (!busy) drain();
    },
    /** Resolves once nothing waits to be written. @returns {Promise<void>} */
    flushed() {
      if (!busy && !waiting) return Promise.resolve();
      return new Promise((resolve) => idle.push(resolve));
    },
  };
}

/**
 * What the library needs of the page's game: the state, the way to act on
 * it, and the game as an entry to store or to open.
 * @typedef {object} LibraryHost
 * @property {import('./controller.js').State} state
 * @property {(fn: () => void) => void} act runs fn as an action: the page is
 *   drawn after it
 * @property {() => Entry} entry the open game as it is stored
 * @property {(entry: Entry) => void} open opens a stored game
 * @property {(kept: unknown) => void} resume takes up the practice kept when
 *   the page was left, on the game just opened
 * @property {() => boolean} untouched the open game is a new one with no move
 *   yet: nothing to store, and a stored game may take its place
 * @property {(game: import('./types.js').GameRecord) => string} pgn a stored game as PGN
 */

/**
 * The library's actions on the store, for the page's controller. Every write
 * and read is asynchronous; each result comes back as an action.
 * @param {LibraryHost} host
 * @param {(() => Promise<Store | { error: string }>) | undefined} openStore
 */
export function createLibraryCtrl(host, openStore) {
  const { state, act } = host;
  /** @type {Store | null} */
  let store = null;
  // Settles once the library has opened or failed to: games read before
  // then are stored when it is open.
  /** @type {() => void} */
  let opened = () => {};
  const opening = new Promise((resolve) => (opened = () => resolve(undefined)));
  // Each write shows in the list: a new game, its length, its result.
  const saver = createSaver(
    async (entry) => {
      if (!store) return true;
      const done = await store.save(entry);
      if (done === true) refresh();
      return done;
    },
    (message) => act(() => failed(message)),
  );
  /** @type {Entry | null} the game of an import on view, waiting for its key */
  let onView = null;
  // What was last handed to the saver, to save only what changed.
  /** @type {{ game: object, path: string[], ending: object | null, mode: string, plies: number, practice: object } | null} */
  let saved = null;

  /** @param {string} message */
  function failed(message) {
    state.library = { ...state.library, status: 'off', message };
  }

  function snapshot() {
    return { game: state.game, path: state.path, ending: state.ending, mode: state.mode, plies: state.play.plies, practice: state.practiceRecord };
  }

  // Whether the open game goes to the library: a new game, from the start or
  // a position set up, from its first move, so that a page opened and left
  // stores nothing and a shared position does not displace the game left open.
  function worthSaving() {
    if (!store || !state.gameId || state.library.status !== 'ready') return false;
    return !!saved || !host.untouched();
  }

  // After each action: the open game is stored when it changed.
  function changed() {
    if (!worthSaving() || !store) return;
    const now = snapshot();
    const same = saved && saved.game === now.game && saved.path.join(' ') === now.path.join(' ');
    if (same && saved && saved.ending === now.ending && saved.mode === now.mode && saved.plies === now.plies && saved.practice === now.practice) return;
    const first = !saved;
    saved = now;
    saver.save(host.entry());
    if (first) store.persist();
    store.setSession(/** @type {string} */ (state.gameId));
  }

  // Saves the clocks as they stand, for a page that is being left.
  function saveNow() {
    if (!worthSaving()) return;
    saved = snapshot();
    saver.save(host.entry());
  }

  async function refresh() {
    if (!store) return;
    const { search, sort, offset } = state.library;
    const page = await store.list({ search, sort, offset, limit: PAGE_SIZE });
    act(() => {
      if ('error' in page) return failed(page.error);
      state.library = { ...state.library, items: page.items, total: page.total };
    });
  }

  /** @param {{ search?: string, sort?: 'date-desc' | 'date-asc', offset?: number }} query */
  function show(query) {
    state.library = { ...state.library, ...query };
    if (query.search !== undefined || query.sort !== undefined) state.library.offset = query.offset ?? 0;
    refresh();
  }

  /** @param {string} id */
  async function open(id) {
    if (!store) return;
    await saver.flushed();
    const entry = await store.load(id);
    act(() => {
      if (!entry) return failed('That game is no longer in the library.');
      if ('error' in entry) return failed(entry.error);
      host.open(entry);
      if (store) store.setSession(entry.id);
    });
  }

  /**
   * Deletes the open game; done hears of it, with the entry for an undo.
   * @param {(removed: Entry) => void} done
   */
  async function remove(done) {
    if (!store || !state.gameId) return;
    const id = state.gameId;
    await saver.flushed();
    const removed = await store.remove(id);
    act(() => {
      if (!removed) return failed('The game could not be deleted.');
      if ('error' in removed) return failed(removed.error);
      done(removed);
      refresh();
    });
  }

  /** Puts a deleted game back in the library. @param {Entry} entry */
  function restore(entry) {
    if (!store) return;
    const library = store;
    library.restore(entry).then((done) => {
      if (done !== true) return act(() => failed(done.error));
      library.setSession(entry.id);
      refresh();
    });
  }

  /**
   * Keeps the player's settings; without a library they last as long as
   * the page.
   * @param {import('./prefs.js').Prefs} prefs
   */
  function savePrefs(prefs) {
    if (!store || state.library.status !== 'ready') return;
    store.setSettings(prefs).then((done) => {
      if (done !== true) act(() => failed(done.error));
    });
  }

  /**
   * Keeps the practice going on, or that there is none, over a reload.
   * @param {object | null} kept
   */
  function keepPractice(kept) {
    if (!store || state.library.status !== 'ready') return;
    store.setPractice(kept).then((done) => {
      if (done !== true) act(() => failed(done.error));
    });
  }

  /** @returns {Promise<Entry[] | null>} every stored game, oldest first, the open one as saved; null when they cannot be read */
  async function entries() {
    if (!store) return null;
    await saver.flushed();
    const all = await store.all();
    if (!('error' in all)) return all;
    act(() => failed(all.error));
    return null;
  }

  /** @returns {Promise<string | null>} every stored game as one PGN text; null with no library */
  async function exportAll() {
    if (!store) return null;
    const all = await entries();
    return all ? all.map((entry) => host.pgn(entry.game)).join('\n\n') : '';
  }

  /**
   * Stores the games of a PGN once the library is open; the first is the
   * game on view, which gets its key once the import has found whether it
   * was stored already. report tells how the import went.
   * @param {Entry[]} entries
   * @param {(result: { added: number, duplicates: number } | { error: string }) => void} report
   */
  function importGames(entries, report) {
    saved = snapshot();
    const first = entries[0];
    // The first game stays the one on view until another is opened, however
    // it is changed meanwhile (a review, a move): it gets its key then.
    onView = first;
    opening.then(() => {
      if (!store) return;
      const library = store;
      library.addMany(entries).then((result) =>
        act(() => {
          if ('error' in result) failed(result.error);
          report(result);
          if ('error' in result || state.gameId || onView !== first) return refresh();
          library.findDuplicate(first.game).then((id) =>
            act(() => {
              if (state.gameId || onView !== first) return;
              state.gameId = typeof id === 'string' ? id : first.id;
              library.setSession(state.gameId);
            }),
          );
          refresh();
        }),
      );
    });
  }

  async function start() {
    try {
      if (!openStore) {
        state.library = { ...state.library, status: 'off' };
        return;
      }
      const result = await openStore();
      if ('error' in result) return act(() => failed(result.error));
      store = result;
      const kept = await store.settings();
      const last = await store.session();
      const entry = typeof last === 'string' ? await store.load(last) : null;
      const practice = await store.practice();
      act(() => {
        if (kept && 'error' in kept) return failed(kept.error);
        if (kept) state.prefs = /** @type {import('./prefs.js').Prefs} */ (kept);
        state.library = { ...state.library, status: 'ready' };
        // A game begun or loaded while the library opened stays on view.
        if (entry && !('error' in entry) && host.untouched()) {
          host.open(entry);
          if (practice && !(typeof practice === 'object' && 'error' in practice)) host.resume(practice);
        }
      });
      refresh();
    } finally {
      opened();
    }
  }

  return {
    start,
    changed,
    saveNow,
    show,
    open,
    remove,
    restore,
    exportAll,
    entries,
    importGames,
    savePrefs,
    keepPractice,
    failed,
    /** The game just opened has nothing stored yet. */
    forget: () => {
      saved = null;
      onView = null;
    },
    /** The game just opened is stored as it is. */
    remember: () => (saved = snapshot()),
    flushed: () => saver.flushed(),
  };
}
