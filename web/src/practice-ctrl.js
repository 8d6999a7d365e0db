// Practising a side's mistakes: the positions before its mistakes and
// blunders, a try judged against the review's best move by a short search of
// the position after it, and what was found, shown or skipped, kept with
// each game.
import { hasMoves, isCheckmate, turnOf } from './rules.js';
import { whiteEval, winChance } from './review.js';
import { MATE_SCORE } from './uci.js';

/** @typedef {import('./types.js').Color} Color */
/** @typedef {import('./types.js').Path} Path */
/** @typedef {import('./types.js').Evaluation} Evaluation */
/** @typedef {import('./review-ctrl.js').ReviewView} ReviewView */
/** @typedef {import('./review-ctrl.js').ReviewRun} ReviewRun */

/** @typedef {'found' | 'shown' | 'skipped'} PracticeResult */

/**
 * A try at a position: its move in SAN and what became of it.
 * @typedef {{ san: string, verdict: 'good' | 'wrong' }} Try
 */

/**
 * What was practised at one position of a game, by the ply of the bad move.
 * @typedef {object} PracticeMark
 * @property {string} move the bad move (UCI), so that a changed main line
 *   does not inherit the mark
 * @property {PracticeResult} result
 * @property {Try[]} tries
 */

/**
 * A game's practice, stored with it.
 * @typedef {{ positions: Record<string, PracticeMark> }} PracticeRecord
 */

/**
 * One position to practise: the position before the bad move and what the
 * review knew of it.
 * @typedef {object} PracticeItem
 * @property {string | null} gameId
 * @property {Path} path the position before the bad move
 * @property {number} ply the bad move's ply
 * @property {Color} color the side to find a better move
 * @property {string} fen
 * @property {string} played the bad move (UCI)
 * @property {string} playedSan
 * @property {string} best the review's preferred move, in SAN
 * @property {number} bestChance the side's winning chance with the best move
 */

/**
 * @typedef {{ found: number, shown: number, skipped: number }} Counts
 */

/**
 * A practice going on.
 * @typedef {object} PracticeRun
 * @property {'game' | 'library'} scope
 * @property {PracticeItem[]} items
 * @property {number} index the item on view
 * @property {'loading' | 'find' | 'judging' | 'good' | 'wrong' | 'shown'} status
 * @property {{ id: string, san: string, fen: string } | null} attempt the
 *   move on the board after the position: a try, or the best move shown
 * @property {ReviewRun | null} judge the search judging the try
 * @property {Try[]} tries at the item on view
 * @property {PracticeResult | null} result at the item on view
 * @property {Counts} counts
 * @property {number} ms the judge's time, in the review's units
 */

// The practice judge's default time per try; test/review-time.mjs measures
// what a try costs.
export const PRACTICE_MS = 250;
// A try within this many points of the best move's winning chance is good.
export const GOOD_MARGIN = 4;
// Tries kept per position: a player trying every move keeps the record small.
const MAX_TRIES = 40;

export const PROMPTS = { find: 'Find a better move', good: 'Good move', wrong: 'Not this one' };

/** @returns {PracticeRecord} */
export function emptyRecord() {
  return { positions: {} };
}

/**
 * A stored record, or an empty one when what is stored is not one.
 * @param {unknown} stored
 * @returns {PracticeRecord}
 */
export function readRecord(stored) {
  const positions = stored && typeof stored === 'object' && /** @type {{ positions?: unknown }} */ (stored).positions;
  if (!positions || typeof positions !== 'object') return emptyRecord();
  /** @type {Record<string, PracticeMark>} */
  const kept = {};
  for (const [ply, mark] of Object.entries(positions)) {
    if (!mark || typeof mark.move !== 'string' || !['found', 'shown', 'skipped'].includes(mark.result)) continue;
    const tries = Array.isArray(mark.tries) ? mark.tries.filter((t) => t && typeof t.san === 'string').slice(-MAX_TRIES) : [];
    kept[ply] = { move: mark.move, result: mark.result, tries };
  }
  return { positions: kept };
}

/**
 * The positions of a reviewed game where color made a mistake or a blunder,
 * in game order; with skipFound, those already found are left out.
 * @param {ReviewView} review
 * @param {{ fen: string, id: string, san: string }[]} nodes the main line, from the start
 * @param {Color} color
 * @param {{ gameId: string | null, record?: PracticeRecord, skipFound?: boolean }} options
 * @returns {PracticeItem[]}
 */
export function practiceItems(review, nodes, color, { gameId, record, skipFound = false }) {
  /** @type {PracticeItem[]} */
  const items = [];
  for (const m of review.judged) {
    if (m.color !== color || (m.judgement !== 'mistake' && m.judgement !== 'blunder') || !m.best) continue;
    const before = review.evals[m.ply - 1];
    const move = nodes[m.ply];
    if (!before || !move) continue;
    const mark = record && record.positions[m.ply];
    if (skipFound && mark && mark.move === move.id && mark.result === 'found') continue;
    items.push({
      gameId,
      path: nodes.slice(1, m.ply).map((n) => n.id),
      ply: m.ply,
      color,
      fen: nodes[m.ply - 1].fen,
      played: move.id,
      playedSan: move.san,
      best: m.best,
      bestChance: winChance(before, color),
    });
  }
  return items;
}

/**
 * @param {'game' | 'library'} scope
 * @param {PracticeItem[]} items
 * @param {number} ms
 * @returns {PracticeRun}
 */
export function startPractice(scope, items, ms) {
  return {
    scope,
    items,
    index: 0,
    status: 'loading',
    attempt: null,
    judge: null,
    tries: [],
    result: null,
    counts: { found: 0, shown: 0, skipped: 0 },
    ms: Number(ms) > 0 ? Number(ms) : PRACTICE_MS,
  };
}

/**
 * What of a practice is kept over a reload: the positions, where it stands
 * and its counts. The position on view starts afresh.
 * @param {PracticeRun} run
 */
export function keptRun(run) {
  return { scope: run.scope, items: run.items, index: run.index, counts: run.counts, ms: run.ms };
}

/** @param {unknown} item */
function isItem(item) {
  const i = /** @type {Record<string, unknown>} */ (item);
  return (
    !!i &&
    (i.gameId === null || typeof i.gameId === 'string') &&
    Array.isArray(i.path) &&
    i.path.every((id) => typeof id === 'string') &&
    Number.isInteger(i.ply) &&
    (i.color === 'w' || i.color === 'b') &&
    ['fen', 'played', 'playedSan', 'best'].every((k) => typeof i[k] === 'string') &&
    Number.isFinite(i.bestChance)
  );
}

/**
 * A kept practice taken up again at its position, or null when what is kept
 * is not one.
 * @param {unknown} stored
 * @returns {PracticeRun | null}
 */
export function readRun(stored) {
  const r = /** @type {Record<string, any>} */ (stored);
  if (!r || (r.scope !== 'game' && r.scope !== 'library') || !Array.isArray(r.items) || !r.items.every(isItem)) return null;
  if (!Number.isInteger(r.index) || r.index < 0 || r.index >= r.items.length) return null;
  const c = r.counts;
  if (!c || !['found', 'shown', 'skipped'].every((k) => Number.isInteger(c[k]) && c[k] >= 0)) return null;
  const run = startPractice(r.scope, r.items, r.ms);
  run.index = r.index;
  run.counts = { found: c.found, shown: c.shown, skipped: c.skipped };
  return run;
}

/**
 * What a try needs before its verdict: the bad move again and the review's
 * own move are settled at once, any other move by a search.
 * @param {PracticeItem} item
 * @param {{ id: string, san: string }} move
 * @returns {'wrong' | 'good' | 'search'}
 */
export function firstLook(item, move) {
  if (move.id === item.played) return 'wrong';
  if (move.san === item.best) return 'good';
  return 'search';
}

/**
 * A search of the position after a try, as a review of that one position;
 * a try that mates or stalemates is judged by the rules at once.
 * @param {string} fen after the try
 * @param {number} ms
 * @returns {ReviewRun}
 */
export function judgeRun(fen, ms) {
  /** @type {ReviewRun} */
  const run = { ms, paths: [[]], fens: [fen], next: 0, evals: [undefined], best: [undefined], score: null, mateDepth: null };
  if (!hasMoves(fen)) {
    run.evals[0] = isCheckmate(fen) ? whiteEval(-MATE_SCORE, 1, turnOf(fen)) : { pawns: 0 };
    run.next = 1;
  }
  return run;
}

/**
 * The verdict on a try from the evaluation of the position after it: good
 * within GOOD_MARGIN points of the best move's winning chance.
 * @param {PracticeItem} item
 * @param {Evaluation | undefined} after
 * @returns {'good' | 'wrong'}
 */
export function verdict(item, after) {
  if (!after) return 'wrong';
  return winChance(after, item.color) >= item.bestChance - GOOD_MARGIN ? 'good' : 'wrong';
}

/**
 * The record with the item's result and tries written in.
 * @param {PracticeRecord} record
 * @param {PracticeItem} item
 * @param {PracticeResult} result
 * @param {Try[]} tries
 * @returns {PracticeRecord}
 */
export function markResult(record, item, result, tries) {
  const old = record.positions[item.ply];
  const earlier = old && old.move === item.played ? old.tries : [];
  const mark = { move: item.played, result, tries: [...earlier, ...tries].slice(-MAX_TRIES) };
  return { positions: { ...record.positions, [item.ply]: mark } };
}

/**
 * How a game's practice stands, for the positions still in its main line.
 * @param {PracticeRecord} record
 * @param {{ id: string }[]} nodes the main line, from the start
 * @returns {Counts | null} null when nothing was practised
 */
export function recordCounts(record, nodes) {
  const counts = { found: 0, shown: 0, skipped: 0 };
  let any = false;
  for (const [ply, mark] of Object.entries(record.positions)) {
    const node = nodes[Number(ply)];
    if (!node || node.id !== mark.move) continue;
    counts[mark.result]++;
    any = true;
  }
  return any ? counts : null;
}

/** @param {Counts} counts */
export function countsText(counts) {
  return `Found ${counts.found}, shown ${counts.shown}, skipped ${counts.skipped}.`;
}
