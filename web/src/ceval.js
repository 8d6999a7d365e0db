// The engine as the page sees it: whether it is ready, the search it runs and
// what for, and the lines it printed for the position it last searched. The
// main controller says what it wants searched; this part starts and ends
// the searches and reads the engine's lines.
import { sanOf, turnOf } from './rules.js';
import { parseInfo } from './uci.js';

/**
 * An info line as uci.js reads it.
 * @typedef {{ depth: number, cp?: number, nps?: number, nodes?: number, time?: number, pv?: string[] }} Info
 */

/**
 * A search the engine runs: a move of the game, an analysis of the position
 * on view, a position of a review, or a practice try to judge. key names the position (its FEN and
 * the path to it), so that the same FEN reached by another line is another
 * search.
 * @typedef {{ kind: 'move' | 'analyse' | 'review' | 'practise', fen: string, key: string }} Job
 */

/**
 * @typedef {Info & { turn: 'w' | 'b', san: string }} Line
 */

/**
 * @typedef {object} CevalState
 * @property {string} name the engine's name from its id line
 * @property {boolean} ready
 * @property {boolean} searching
 * @property {string | null} error why the engine is not running
 * @property {Job | null} job the running search
 * @property {{ key: string | null, fen: string | null, lines: Line[], stopped: boolean }} analysis
 *   the engine's lines for the position it last searched, newest first;
 *   stopped when Stop ended that search
 * @property {boolean} halted the engine's reply was refused; it is not asked
 *   again until the player acts
 */

export const ENGINE_NAME = 'tarvik';
const INFO_ROWS = 8;

/** @returns {CevalState['analysis']} */
export function noAnalysis() {
  return { key: null, fen: null, lines: [], stopped: false };
}

/**
 * The engine's lines when they are for this position reached by this path;
 * none otherwise.
 * @param {CevalState['analysis']} analysis
 * @param {string} fen
 * @param {string[]} path
 * @returns {Line[]}
 */
export function linesOn(analysis, fen, path) {
  return analysis.fen === fen && analysis.key === path.join(' ') ? analysis.lines : [];
}

/** @returns {CevalState} */
export function initialCeval() {
  return { name: ENGINE_NAME, ready: false, searching: false, error: null, job: null, analysis: noAnalysis(), halted: false };
}

/**
 * @typedef {object} EngineLink
 * @property {() => void} start
 * @property {(line: string) => boolean} send
 * @property {() => void} stop
 * @property {boolean} ready
 * @property {boolean} searching
 */

/**
 * Ends a search, whatever it was for; the worker it ran in is replaced. An
 * analysis cut short by anything but Stop is searched again when its
 * position is on view.
 * @param {CevalState} ceval
 * @param {EngineLink} engine
 */
export function endSearch(ceval, engine) {
  if (engine.searching) engine.stop();
  if (ceval.job && ceval.job.kind === 'analyse' && !ceval.analysis.stopped) ceval.analysis = noAnalysis();
  ceval.job = null;
}

/**
 * @param {CevalState} ceval
 * @param {EngineLink} engine
 * @param {Job} job
 * @param {string} position the "position" command
 * @param {string} go the "go" command
 */
export function startSearch(ceval, engine, job, position, go) {
  ceval.job = job;
  if (job.kind === 'move' || job.kind === 'analyse') ceval.analysis = { key: job.key, fen: job.fen, lines: [], stopped: false };
  engine.send(position);
  engine.send(go);
}

/**
 * Whether the running search is the one wanted; when not, it ends.
 * @param {CevalState} ceval
 * @param {EngineLink} engine
 * @param {{ kind: string, key: string } | null} want
 * @returns {boolean} the engine is free to start the wanted search
 */
export function settle(ceval, engine, want) {
  const job = ceval.job;
  if (job && !(want && job.kind === want.kind && job.key === want.key)) endSearch(ceval, engine);
  return !!want && !ceval.job && engine.ready && !engine.searching;
}

/**
 * An engine line that is not a review's: the id, an info line for the
 * analysis rows, or the bestmove of a game move (returned for the caller to
 * check and play).
 * @param {CevalState} ceval
 * @param {string} line
 * @returns {{ bestmove: string, job: Job | null } | null}
 */
export function readLine(ceval, line) {
  if (line.startsWith('id name ')) {
    ceval.name = line.slice(8).split(' ').slice(0, 2).join(' ');
    return null;
  }
  const job = ceval.job;
  const info = parseInfo(line);
  if (info) {
    if (!job || job.kind === 'review' || job.kind === 'practise') return null;
    const best = info.pv && info.pv[0];
    /** @type {Line} */
    const row = { ...(/** @type {Info} */ (info)), turn: turnOf(job.fen), san: best ? sanOf(job.fen, best) : '' };
    ceval.analysis.lines = [row, ...ceval.analysis.lines].slice(0, INFO_ROWS);
    return null;
  }
  if (!line.startsWith('bestmove')) return null;
  ceval.job = null;
  return { bestmove: line, job };
}
