// Judging a reviewed game's moves from the engine's evaluations: winning chances, marks and each side's summary.
import { MATE_SCORE, UNITS_PER_PAWN } from './engine-facts.js';

/** @typedef {'inaccuracy' | 'mistake' | 'blunder'} Judgement */
/**
 * A move of the main line as the review judged it: its mover, the winning
 * chance it lost, its judgement, the move preferred instead, and whether it
 * is a book move (one of the named openings' moves, never judged).
 * @typedef {{ ply: number, color: 'w' | 'b', loss: number | null, judgement: string | null, best: string | null, book: boolean }} Judged
 */

export const MARKS = { inaccuracy: '?!', mistake: '?', blunder: '??' };
export const NAGS = { inaccuracy: 6, mistake: 2, blunder: 4 };

// Losses of winning chance, in percentage points, from which a move earns each judgement.
/** @type {[string, number][]} */
const THRESHOLDS = [
  ['blunder', 30],
  ['mistake', 20],
  ['inaccuracy', 10],
];
const CLIP = 10;
// The logistic fit of game results to centipawns that the lichess analysis publishes.
const WIN_SLOPE = 0.00368208;

// The engine scores a mate without its distance, so the distance comes from
// the first depth that found it: a mate in n moves needs 2n - 1 plies.
export function whiteEval(score, mateDepth, turn) {
  const sign = turn === 'w' ? 1 : -1;
  if (Math.abs(score) >= MATE_SCORE) {
    const moves = Number.isFinite(mateDepth) ? Math.max(1, Math.ceil(mateDepth / 2)) : 1;
    return { mate: score > 0 ? sign * moves : -sign * moves };
  }
  return { pawns: (sign * score) / UNITS_PER_PAWN };
}

export function clipPawns(evaluation) {
  if (evaluation.mate !== undefined) return evaluation.mate > 0 ? CLIP : -CLIP;
  return Math.max(-CLIP, Math.min(CLIP, evaluation.pawns));
}

export function winChance(evaluation, color) {
  const side = color === 'w' ? 1 : -1;
  if (evaluation.mate !== undefined) return side * evaluation.mate > 0 ? 100 : 0;
  const cp = 100 * side * evaluation.pawns;
  return 50 + 50 * (2 / (1 + Math.exp(-WIN_SLOPE * cp)) - 1);
}

function matedSide(evaluation) {
  if (evaluation.mate === undefined) return null;
  return evaluation.mate > 0 ? 'b' : 'w';
}

// evals[i] is the position after i plies; a move is judged only when the
// positions on both sides of it were evaluated. The first bookPlies moves
// are book: their loss is counted, but they are never judged, since theory
// played is no mistake whatever a short search thinks of it.
export function judgeMoves(evals, startTurn, bestMoves = [], bookPlies = 0) {
  const judged = [];
  for (let ply = 1; ply < evals.length; ply++) {
    const color = ply % 2 === 1 ? startTurn : startTurn === 'w' ? 'b' : 'w';
    const book = ply <= bookPlies;
    const before = evals[ply - 1];
    const after = evals[ply];
    if (!before || !after) {
      judged.push({ ply, color, loss: null, judgement: null, best: null, book });
      continue;
    }
    const loss = Math.max(0, winChance(before, color) - winChance(after, color));
    // Walking into a forced mate is a blunder however little the curve says
    // was lost; a side already mated in the line before loses nothing new.
    let judgement = null;
    if (!book && matedSide(after) === color && matedSide(before) !== color) judgement = 'blunder';
    else if (!book) judgement = (THRESHOLDS.find(([, points]) => loss >= points) || [null])[0];
    judged.push({ ply, color, loss, judgement, best: judgement ? (bestMoves[ply - 1] ?? null) : null, book });
  }
  return judged;
}

export function summarise(judged) {
  const summary = {};
  for (const color of ['w', 'b']) {
    const own = judged.filter((m) => m.color === color);
    const losses = own.filter((m) => m.loss !== null).map((m) => m.loss);
    summary[color] = {
      inaccuracy: own.filter((m) => m.judgement === 'inaccuracy').length,
      mistake: own.filter((m) => m.judgement === 'mistake').length,
      blunder: own.filter((m) => m.judgement === 'blunder').length,
      averageLoss: losses.length ? losses.reduce((a, b) => a + b, 0) / losses.length : 0,
    };
  }
  return summary;
}

// The text of a PGN [%eval] command: pawns from White's side, or #n / #-n.
export function formatEval(evaluation) {
  if (evaluation.mate !== undefined) return `#${evaluation.mate}`;
  const text = evaluation.pawns.toFixed(2);
  return text === '-0.00' ? '0.00' : text;
}
