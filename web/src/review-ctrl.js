// A review: every position of the main line searched in turn, then the
// evaluations and the engine's preferred moves written into the tree, where
// the judgements are read from. What was reviewed is kept with the game, so
// a reopened or imported review needs no search.
import { gameAccuracy, keyMoments } from './accuracy.js';
import { bookPlies } from './openings.js';
import { hasMoves, isCheckmate, sanOf, turnOf } from './rules.js';
import { judgeMoves, summarise, whiteEval } from './review.js';
import { mainline, updateAt } from './tree.js';
import { MATE_SCORE, parseBestMove, parseInfo } from './uci.js';

/** @typedef {import('./types.js').TreeNode} TreeNode */
/** @typedef {import('./types.js').Path} Path */
/** @typedef {import('./types.js').Evaluation} Evaluation */
/** @typedef {import('./openings.js').OpeningTable} OpeningTable */

/**
 * A review running: the main line's paths when it started, the position
 * searched next, and what the searches gave so far.
 * @typedef {object} ReviewRun
 * @property {number} ms the time per position
 * @property {Path[]} paths the main line's positions, from the start
 * @property {string[]} fens
 * @property {number} next
 * @property {(Evaluation | undefined)[]} evals
 * @property {(string | undefined)[]} best
 * @property {number | null} score the newest score of the position searched
 * @property {number | null} mateDepth the depth at which that mate first showed
 */

/**
 * @typedef {object} ReviewState
 * @property {ReviewRun | null} run
 */

/**
 * The review as the page shows it, read from the tree's main line.
 * @typedef {object} ReviewView
 * @property {(Evaluation | undefined)[]} evals by ply
 * @property {import('./review.js').Judged[]} judged
 * @property {ReturnType<typeof summarise>} summary
 * @property {Record<'w' | 'b', number | null>} accuracy each side's, in percent
 * @property {import('./accuracy.js').KeyMoment[]} moments
 */

// The default time per position; test/review-time.mjs measures what it
// costs for a whole game.
export const REVIEW_MS = 100;

/** @returns {ReviewState} */
export function initialReview() {
  return { run: null };
}

/**
 * @param {TreeNode} root
 * @param {number} ms
 * @returns {ReviewRun}
 */
export function startRun(root, ms) {
  const nodes = mainline(root);
  /** @type {Path[]} */
  const paths = [];
  nodes.forEach((_, i) => paths.push(nodes.slice(1, i + 1).map((n) => n.id)));
  return {
    ms: Number(ms) > 0 ? Number(ms) : REVIEW_MS,
    paths,
    fens: nodes.map((n) => n.fen),
    next: 0,
    evals: new Array(nodes.length).fill(undefined),
    best: new Array(nodes.length).fill(undefined),
    score: null,
    mateDepth: null,
  };
}

/**
 * Positions with no move to search are scored by the rules: mate or draw.
 * Returns whether positions are left to search.
 * @param {ReviewRun} run
 */
export function skipSettled(run) {
  while (run.next < run.fens.length) {
    const fen = run.fens[run.next];
    if (hasMoves(fen)) return true;
    run.evals[run.next] = isCheckmate(fen) ? whiteEval(-MATE_SCORE, 1, turnOf(fen)) : { pawns: 0 };
    run.next++;
  }
  return false;
}

/**
 * An engine line of the review's search. Returns true on its bestmove.
 * @param {ReviewRun} run
 * @param {string} line
 */
export function readReviewLine(run, line) {
  const info = parseInfo(line);
  if (info) {
    if (!Number.isFinite(info.cp)) return false;
    const cp = /** @type {number} */ (info.cp);
    const mate = Math.abs(cp) >= MATE_SCORE;
    if (!mate || run.score !== cp) run.mateDepth = mate ? info.depth : null;
    run.score = cp;
    return false;
  }
  if (!line.startsWith('bestmove')) return false;
  const fen = run.fens[run.next];
  if (run.score !== null) run.evals[run.next] = whiteEval(run.score, run.mateDepth, turnOf(fen));
  run.best[run.next] = parseBestMove(line) ? sanOf(fen, line.split(/\s+/)[1]) : undefined;
  run.score = null;
  run.mateDepth = null;
  run.next++;
  return true;
}

/**
 * The tree with the run's results written into the positions it searched;
 * positions no longer in the tree are passed over.
 * @param {TreeNode} root
 * @param {ReviewRun} run
 * @param {OpeningTable | null} [openings] book moves are not judged
 * @returns {TreeNode}
 */
export function writeResults(root, run, openings = null) {
  // The preferred move is kept where the move played instead was judged.
  const judged = judgeMoves(run.evals, turnOf(run.fens[0]), [], bookPlies(openings, run.fens));
  const kept = new Set(judged.filter((m) => m.judgement).map((m) => m.ply - 1));
  let tree = root;
  run.paths.forEach((path, i) => {
    const evaluation = run.evals[i];
    const best = kept.has(i) ? run.best[i] : undefined;
    const updated = updateAt(tree, path, (n) => {
      /** @type {TreeNode} */
      const node = { ...n };
      if (evaluation) node.eval = evaluation;
      else delete node.eval;
      if (best) node.best = best;
      else delete node.best;
      return node;
    });
    if (updated) tree = updated;
  });
  return tree;
}

/**
 * The review drawn from the main line: present when any move of it carries
 * an evaluation. With the opening names, the moves of the main line that stay
 * in them are book moves, never judged.
 * @param {TreeNode} root
 * @param {OpeningTable | null} [openings]
 * @returns {ReviewView | null}
 */
export function reviewView(root, openings = null) {
  const nodes = mainline(root);
  if (nodes.length < 2 || !nodes.slice(1).some((n) => n.eval)) return null;
  const evals = nodes.map((n) => n.eval);
  const start = turnOf(root.fen);
  const judged = judgeMoves(
    evals,
    start,
    nodes.map((n) => n.best ?? null),
    bookPlies(openings, nodes.map((n) => n.fen)),
  );
  return { evals, judged, summary: summarise(judged), accuracy: gameAccuracy(evals, start), moments: keyMoments(evals) };
}

/**
 * The judgements by ply, for the export's NAGs.
 * @param {ReviewView | null} view
 * @returns {Record<number, import('./review.js').Judgement>}
 */
export function judgementsByPly(view) {
  /** @type {Record<number, import('./review.js').Judgement>} */
  const out = {};
  if (view) for (const m of view.judged) if (m.judgement) out[m.ply] = /** @type {import('./review.js').Judgement} */ (m.judgement);
  return out;
}
