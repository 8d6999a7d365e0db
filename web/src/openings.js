// Opening names: the table of named positions that the build writes into openings.js, read back, and looked up along a line of play.
import { hash53 } from './hash.js';

/**
 * An opening as the table names it.
 * @typedef {{ eco: string, name: string }} Opening
 */

/**
 * The table as the page uses it: every position on the way to a named one,
 * by positionKey, with its opening where a named line ends there (null on
 * the way), and the most plies any named line takes.
 * @typedef {{ positions: Map<string, Opening | null>, plies: number }} OpeningTable
 */

/**
 * The table as openings.js carries it. named: one row per named position,
 * in the order of the source files, "key,eco,shared,rest", where eco is
 * empty when it is the row before's and the name is the first `shared`
 * (base 36) characters of the row before's name followed by rest. book: the
 * keys of the positions on the way that no line names.
 * @typedef {{ plies: number, named: string, book: string }} OpeningData
 */

/** The file the build writes beside the page, loaded as a script. */
export const OPENINGS_FILE = 'openings.js';
/** The global that file sets. */
export const OPENINGS_GLOBAL = 'TARVIK_OPENINGS';
export const ROW = '|';
export const FIELD = ',';

/**
 * A position without its move counters: its FEN's first four fields (board,
 * turn, castling, and en passant as chessops writes it, only when a capture
 * is possible), so that the same position reached by other moves is the same.
 * @param {string} fen
 * @returns {string}
 */
export function epdOf(fen) {
  return fen.split(' ', 4).join(' ');
}

/**
 * The key of a position in the table.
 * @param {string} fen
 * @returns {string}
 */
export function positionKey(fen) {
  return hash53(epdOf(fen));
}

/**
 * @param {OpeningData} data
 * @returns {OpeningTable}
 */
export function decodeTable(data) {
  /** @type {Map<string, Opening | null>} */
  const positions = new Map();
  let eco = '';
  let name = '';
  for (const row of data.named.split(ROW)) {
    const [key, ecoField, shared] = row.split(FIELD, 3);
    const rest = row.slice(key.length + ecoField.length + shared.length + 3);
    eco = ecoField || eco;
    name = name.slice(0, parseInt(shared, 36)) + rest;
    positions.set(key, { eco, name });
  }
  for (const key of data.book.split(FIELD)) if (key) positions.set(key, null);
  return { positions, plies: data.plies };
}

/**
 * The deepest named position along a line.
 * @param {OpeningTable | null} table
 * @param {string[]} fens the line's positions, from its start
 * @returns {Opening | null}
 */
export function openingAt(table, fens) {
  if (!table) return null;
  let found = null;
  for (const fen of fens) found = table.positions.get(positionKey(fen)) || found;
  return found;
}

/**
 * How many moves of a line, from its start, reach positions of the table:
 * the count stops at the first that does not.
 * @param {OpeningTable | null} table
 * @param {string[]} fens the line's positions, from its start
 * @returns {number}
 */
export function bookPlies(table, fens) {
  if (!table) return 0;
  let plies = 0;
  while (plies + 1 < fens.length && table.positions.has(positionKey(fens[plies + 1]))) plies++;
  return plies;
}

/**
 * "B20 Sicilian Defense", or '' for none.
 * @param {Opening | null} opening
 */
export function openingText(opening) {
  return opening ? `${opening.eco} ${opening.name}` : '';
}

/**
 * Loads openings.js as a script, which a page opened from a file may do
 * where it may not fetch. Resolves the table, or null when the file cannot
 * be loaded or read: the page plays on without names.
 * @param {Document} doc
 * @returns {Promise<OpeningTable | null>}
 */
export function loadOpenings(doc) {
  return new Promise((resolve) => {
    const script = doc.createElement('script');
    script.src = OPENINGS_FILE;
    script.async = true;
    script.onload = () => {
      const scope = /** @type {Record<string, unknown>} */ (/** @type {unknown} */ (globalThis));
      const data = /** @type {OpeningData | undefined} */ (scope[OPENINGS_GLOBAL]);
      delete scope[OPENINGS_GLOBAL];
      try {
        resolve(data ? decodeTable(data) : null);
      } catch {
        resolve(null);
      }
    };
    script.onerror = () => resolve(null);
    doc.head.append(script);
  });
}
