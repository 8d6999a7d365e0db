// The player's settings (their name, the move sounds) and the side a game's headers give them.

/**
 * @typedef {object} Prefs
 * @property {string} playerName as typed; '' when not set
 * @property {boolean} sound move and capture sounds
 */

/** @returns {Prefs} */
export function initialPrefs() {
  return { playerName: '', sound: false };
}

/**
 * The known settings of a record, each of its type; what is missing or of
 * another type keeps its default.
 * @param {unknown} record
 * @returns {Prefs}
 */
export function readPrefs(record) {
  const prefs = initialPrefs();
  if (!record || typeof record !== 'object') return prefs;
  const r = /** @type {Record<string, unknown>} */ (record);
  if (typeof r.playerName === 'string') prefs.playerName = r.playerName;
  if (typeof r.sound === 'boolean') prefs.sound = r.sound;
  return prefs;
}

/** @param {unknown} name */
const fold = (name) => String(name ?? '').trim().toLowerCase();

/**
 * The side whose header names the player, White first; null for none or no
 * name.
 * @param {Record<string, string>} headers
 * @param {string} playerName
 * @returns {'w' | 'b' | null}
 */
export function playerSide(headers, playerName) {
  const me = fold(playerName);
  if (!me) return null;
  if (fold(headers.White) === me) return 'w';
  if (fold(headers.Black) === me) return 'b';
  return null;
}
