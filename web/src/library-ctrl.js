// The library as the page shows it: whether games can be saved, the page of
// stored games on view, and the queue that writes the open game as it
// changes. The store itself (store.js) knows nothing of the page.

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
