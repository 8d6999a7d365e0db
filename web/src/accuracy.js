// Each side's accuracy and the game's key moments, from the review's evaluations.
//
// Accuracy is lichess's published definition (lila, modules/analyse,
// AccuracyPercent.scala: fromWinPercents and gameAccuracy, with WinPercent
// from centipawns ceiled at ±1000 and mates at the ceiling). Where lila puts
// a fixed score before the first move, the review has searched the start
// position, so its own evaluation stands there.
import { clipPawns, winChance } from './review.js';

/** @typedef {import('./types.js').Evaluation} Evaluation */
/** @typedef {import('./types.js').Color} Color */

// The fit of a move's accuracy to the drop in its mover's win%, and lila's
// bonus of one point for the analysis being imperfect.
const FIT_SCALE = 103.1668100711649;
const FIT_DECAY = 0.04354415386753951;
const FIT_OFFSET = -3.166924740191411;
const UNCERTAINTY = 1;
// A window's standard deviation weighs its move within these bounds.
const MIN_WEIGHT = 0.5;
const MAX_WEIGHT = 12;
// Swings smaller than this are no key moment, however few the others.
const MIN_SWING = 5;

/** @param {number} v @param {number} lo @param {number} hi */
const clamp = (v, lo, hi) => Math.max(lo, Math.min(hi, v));

/**
 * White's win% as lichess scores a position: the curve of the review, with
 * the advantage ceiled at ten pawns and a mate at the ceiling.
 * @param {Evaluation} evaluation
 */
export function winPercent(evaluation) {
  return winChance({ pawns: clipPawns(evaluation) }, 'w');
}

/**
 * A move's accuracy from its mover's win% before and after it.
 * @param {number} before
 * @param {number} after
 */
export function moveAccuracy(before, after) {
  if (after >= before) return 100;
  return clamp(FIT_SCALE * Math.exp(-FIT_DECAY * (before - after)) + FIT_OFFSET + UNCERTAINTY, 0, 100);
}

/** @param {number} moves */
export function windowSize(moves) {
  return clamp(Math.floor(moves / 10), 2, 8);
}

/** @param {number[]} values population standard deviation; 0 for none */
function deviation(values) {
  if (!values.length) return 0;
  const mean = values.reduce((a, b) => a + b, 0) / values.length;
  return Math.sqrt(values.reduce((a, v) => a + (v - mean) ** 2, 0) / values.length);
}

/**
 * Each move's weight: the standard deviation of White's win% over the window
 * of positions that ends with the one after the move. The first moves, whose
 * window would start before the game, share the game's first window, as
 * lila pads its list of windows. Positions with no evaluation are left out
 * of their windows.
 * @param {(number | undefined)[]} wins White's win% by ply
 * @returns {number[]} by move: [i] for the move from ply i to ply i + 1
 */
export function volatilityWeights(wins) {
  const moves = wins.length - 1;
  const size = windowSize(moves);
  const weights = [];
  for (let i = 0; i < moves; i++) {
    const start = Math.max(0, i + 2 - size);
    const window = wins.slice(start, start + size).filter((w) => w !== undefined);
    weights.push(clamp(deviation(/** @type {number[]} */ (window)), MIN_WEIGHT, MAX_WEIGHT));
  }
  return weights;
}

/**
 * Each side's accuracy in percent: the mean of the volatility-weighted mean
 * and the harmonic mean of its moves' accuracies. A move counts when the
 * positions before and after it carry an evaluation; a side with no such
 * move has none.
 * @param {(number | undefined)[]} wins White's win% by ply
 * @param {Color} startTurn the side to move at ply 0
 * @returns {Record<Color, number | null>}
 */
export function sideAccuracies(wins, startTurn) {
  const weights = volatilityWeights(wins);
  /** @type {Record<Color, { accuracy: number, weight: number }[]>} */
  const moves = { w: [], b: [] };
  for (let i = 0; i + 1 < wins.length; i++) {
    const before = wins[i];
    const after = wins[i + 1];
    if (before === undefined || after === undefined) continue;
    const mover = (i % 2 === 0) === (startTurn === 'w') ? 'w' : 'b';
    const accuracy = mover === 'w' ? moveAccuracy(before, after) : moveAccuracy(100 - before, 100 - after);
    moves[mover].push({ accuracy, weight: weights[i] });
  }
  /** @param {{ accuracy: number, weight: number }[]} own */
  const side = (own) => {
    if (!own.length) return null;
    const weighted = own.reduce((a, m) => a + m.accuracy * m.weight, 0) / own.reduce((a, m) => a + m.weight, 0);
    // lila counts an accuracy under 1 as 1 here, so that a move of 0 does
    // not make the mean 0.
    const harmonic = own.length / own.reduce((a, m) => a + 1 / Math.max(1, m.accuracy), 0);
    return (weighted + harmonic) / 2;
  };
  return { w: side(moves.w), b: side(moves.b) };
}

/**
 * @param {(Evaluation | undefined)[]} evals by ply
 * @param {Color} startTurn
 */
export function gameAccuracy(evals, startTurn) {
  return sideAccuracies(
    evals.map((e) => (e ? winPercent(e) : undefined)),
    startTurn,
  );
}

/**
 * @typedef {object} KeyMoment
 * @property {number} ply the position after the move
 * @property {number} before White's win% before the move
 * @property {number} after and after it
 */

/**
 * The moves after which White's win% moved most, at most count of them, in
 * the order they were played.
 * @param {(Evaluation | undefined)[]} evals by ply
 * @param {number} [count]
 * @returns {KeyMoment[]}
 */
export function keyMoments(evals, count = 5) {
  /** @type {KeyMoment[]} */
  const swings = [];
  for (let ply = 1; ply < evals.length; ply++) {
    const a = evals[ply - 1];
    const b = evals[ply];
    if (!a || !b) continue;
    const moment = { ply, before: winPercent(a), after: winPercent(b) };
    if (Math.abs(moment.after - moment.before) >= MIN_SWING) swings.push(moment);
  }
  const size = (/** @type {KeyMoment} */ m) => Math.abs(m.after - m.before);
  return swings
    .sort((x, y) => size(y) - size(x) || x.ply - y.ply)
    .slice(0, count)
    .sort((x, y) => x.ply - y.ply);
}
