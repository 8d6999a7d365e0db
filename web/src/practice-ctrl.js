// Practising a side's mistakes: the positions before its mistakes and
// blunders, a try judged against the review's best move by a short search of
// the position after it, and what was found, shown or skipped, kept with
// each game.
import { playerSide } from './prefs.js';
import { readReviewLine } from './review-ctrl.js';
import { NAMES, hasMoves, isCheckmate, play, readMove, turnOf } from './rules.js';
import { whiteEval, winChance } from './review.js';
import { mainline, nodeAt } from './tree.js';
import { MATE_SCORE } from './uci.js';

/** @typedef {import('./types.js').Color} Color */
/** @typedef {import('./types.js').Path} Path */
/** @typedef {import('./types.js').Evaluation} Evaluation */
/** @typedef {import('./review-ctrl.js').ReviewView} ReviewView */
/** @typedef {import('./review-ctrl.js').ReviewRun} ReviewRun */
/** @typedef {import('./store.js').Entry} Entry */
/** @typedef {import('./store.js').Source} Source */

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

/**
 * What a practice needs of the page: its state, the way to act on it, the
 * reviews, the engine, the clock and the library.
 * @typedef {object} PracticeHost
 * @property {import('./controller.js').State} state
 * @property {(fn: () => void) => void} act runs fn as an action
 * @property {() => ReviewView | null} review the open game's review
 * @property {(start: import('./types.js').TreeNode) => ReviewView | null} reviewOf a stored game's review
 * @property {() => void} endSearch ends the engine's search
 * @property {() => void} stopClock
 * @property {ReturnType<typeof import('./library-ctrl.js').createLibraryCtrl>} library
 */

/**
 * Practising mistakes as the page runs it: which positions, the position on
 * view, the tries and their verdicts, and what is kept of it.
 * @param {PracticeHost} host
 */
export function createPracticeCtrl(host) {
  const { state } = host;

  /**
   * The side a practice is for: 'w', 'b', or 'me', the player's side, by
   * their name in the game's headers or as the side they played here.
   * @param {string} side
   * @param {Record<string, string>} headers
   * @param {Source | undefined} source
   * @param {Color | undefined} player
   * @returns {Color | null}
   */
  function practiceSide(side, headers, source, player) {
    if (side === 'w' || side === 'b') return side;
    const named = playerSide(headers, state.prefs.playerName);
    if (named) return named;
    return source === 'import' || !player ? null : player;
  }

  function canPractise() {
    return !state.practice && !state.review.run && (state.mode === 'analyse' || !!state.ending) && !!host.review();
  }

  /**
   * @param {string} side 'w', 'b' or 'me'
   * @param {number} [ms] the judge's time per try
   */
  function practise(side, ms) {
    if (!canPractise()) return;
    const color = practiceSide(side, state.game.headers, state.source, state.play.player);
    if (!color) {
      state.message = 'Give your name in the settings to practise your side of a loaded game, or choose White or Black.';
      return;
    }
    const review = /** @type {ReviewView} */ (host.review());
    const items = practiceItems(review, mainline(state.game.root), color, { gameId: state.gameId, record: state.practiceRecord });
    if (!items.length) {
      state.message = `${NAMES[color]} made no mistake or blunder in this game.`;
      return;
    }
    beginPractice(startPractice('game', items, ms ?? 0));
  }

  /**
   * The mistakes of every reviewed game in the library, oldest game first,
   * but for those found already.
   * @param {string} side
   * @param {number} [ms]
   */
  function practiseAll(side, ms) {
    if (state.practice || state.review.run) return;
    if (state.library.status !== 'ready') {
      state.message = 'The library is not open: there are no stored games to practise.';
      return;
    }
    host.library.entries().then((entries) =>
      host.act(() => {
        if (!entries || state.practice || state.review.run) return;
        /** @type {PracticeItem[]} */
        const items = [];
        const date = (/** @type {Entry} */ e) => String(e.game.headers.Date || '').replace(/\?/g, '0');
        const oldest = [...entries].sort((a, b) => date(a).localeCompare(date(b)) || (a.created ?? 0) - (b.created ?? 0));
        for (const entry of oldest) {
          const review = host.reviewOf(entry.game.root);
          if (!review) continue;
          const p = /** @type {{ source?: Source, player?: Color }} */ (entry.play || {});
          const color = practiceSide(side, entry.game.headers, entry.source ?? p.source, p.player);
          if (!color) continue;
          const record = entry.id === state.gameId ? state.practiceRecord : readRecord(entry.practice);
          items.push(...practiceItems(review, mainline(entry.game.root), color, { gameId: entry.id, record, skipFound: true }));
        }
        if (!items.length) {
          state.message = 'No reviewed game in the library has a mistake left to practise for that side.';
          return;
        }
        beginPractice(startPractice('library', items, ms ?? 0));
      }),
    );
  }

  /** @param {PracticeRun} run */
  function beginPractice(run) {
    host.endSearch();
    if (state.mode === 'play' && !state.ending) host.stopClock();
    state.practice = run;
    state.practiceDone = null;
    state.message = '';
    showItem();
  }

  function endPractice() {
    if (!state.practice) return;
    if (state.ceval.job && state.ceval.job.kind === 'practise') host.endSearch();
    state.practice = null;
  }

  // The practice's position on view; a position from another game opens
  // that game first.
  function showItem() {
    const run = /** @type {PracticeRun} */ (state.practice);
    const item = run.items[run.index];
    run.status = 'loading';
    run.attempt = null;
    run.judge = null;
    run.tries = [];
    run.result = null;
    if (item.gameId === null || item.gameId === state.gameId) return placeItem();
    host.library.open(item.gameId).then(() => host.act(() => state.practice === run && placeItem()));
  }

  function placeItem() {
    const run = /** @type {PracticeRun} */ (state.practice);
    const item = run.items[run.index];
    // The game may have changed since the practice began: a position no
    // longer before the same move is passed over.
    const node = state.gameId === item.gameId ? nodeAt(state.game.root, item.path) : null;
    const next = node && node.children[0];
    if (!node || node.fen !== item.fen || !next || next.id !== item.played) return nextItem();
    state.path = item.path;
    state.orientation = item.color;
    run.status = 'find';
  }

  /**
   * A try from the position before the bad move.
   * @param {{ id: string, san: string, fen: string }} legal
   */
  function practiseTry(legal) {
    const run = /** @type {PracticeRun} */ (state.practice);
    const item = run.items[run.index];
    run.attempt = { id: legal.id, san: legal.san, fen: legal.fen };
    const look = firstLook(item, legal);
    if (look !== 'search') return judged(look);
    run.judge = judgeRun(legal.fen, run.ms);
    if (run.judge.next > 0) return judged(verdict(item, run.judge.evals[0]));
    run.status = 'judging';
  }

  /** @param {'good' | 'wrong'} outcome */
  function judged(outcome) {
    const run = /** @type {PracticeRun} */ (state.practice);
    const item = run.items[run.index];
    const attempt = /** @type {{ san: string }} */ (run.attempt);
    run.judge = null;
    /** @type {Try} */
    const tried = { san: attempt.san, verdict: outcome };
    run.tries.push(tried);
    if (outcome === 'good') {
      run.status = 'good';
      settleItem('found', [tried]);
      return;
    }
    // A wrong try leaves the board as it was, for the next one.
    run.status = 'wrong';
    run.attempt = null;
    settleItem(null, [tried]);
  }

  /**
   * The item's result, once it has one, and its tries go to the game's
   * record; until then it stands as skipped.
   * @param {PracticeResult | null} result
   * @param {Try[]} tries
   */
  function settleItem(result, tries) {
    const run = /** @type {PracticeRun} */ (state.practice);
    if (result && !run.result) {
      run.result = result;
      run.counts[result]++;
    }
    state.practiceRecord = markResult(state.practiceRecord, run.items[run.index], run.result ?? 'skipped', tries);
  }

  function practiseShow() {
    const run = state.practice;
    if (!run || (run.status !== 'find' && run.status !== 'wrong')) return;
    const item = run.items[run.index];
    const read = readMove(item.fen, item.best);
    const legal = 'error' in read ? null : play(item.fen, { from: read.from, to: read.to, promotion: read.promotion || undefined });
    if (!legal) return;
    run.attempt = { id: legal.id, san: legal.san, fen: legal.fen };
    run.status = 'shown';
    settleItem('shown', []);
  }

  function nextItem() {
    const run = state.practice;
    if (!run || run.status === 'judging') return;
    if (run.status !== 'loading') settleItem('skipped', []);
    run.index++;
    if (run.index < run.items.length) return showItem();
    state.practiceDone = run.counts;
    state.practice = null;
  }

  // A practice left by a reload is taken up again at its position, when the
  // page reopens on that position's game.
  /** @param {unknown} stored */
  function resumePractice(stored) {
    const run = readRun(stored);
    if (!run || run.items[run.index].gameId !== state.gameId) return;
    kept = { items: run.items, key: practiceKey(run) };
    state.practice = run;
    showItem();
  }

  /** @type {{ items: unknown, key: string }} what the library was last told of the practice */
  let kept = { items: null, key: '' };
  /** @param {PracticeRun | null} run */
  const practiceKey = (run) => (run ? `${run.index} ${run.counts.found} ${run.counts.shown} ${run.counts.skipped}` : '');

  // After each action: the library keeps the practice as it stands.
  function keepPractice() {
    const run = state.practice;
    const key = practiceKey(run);
    if (kept.items === (run && run.items) && kept.key === key) return;
    kept = { items: run && run.items, key };
    host.library.keepPractice(run ? keptRun(run) : null);
  }

  /** What the board shows while practising: the try or the move shown. */
  function practiceBoard() {
    const run = state.practice;
    if (!run || !run.attempt) return null;
    return { fen: run.attempt.fen, lastMove: [run.attempt.id.slice(0, 2), run.attempt.id.slice(2, 4)] };
  }

  function practicePrompt() {
    const run = state.practice;
    if (!run || run.status === 'loading') return '';
    if (run.status === 'good') return PROMPTS.good;
    if (run.status === 'wrong') return PROMPTS.wrong;
    return PROMPTS.find;
  }

  /**
   * The engine's line while it judges a try; false when the line is not the
   * practice's.
   * @param {string} line
   */
  function engineLine(line) {
    const run = state.practice;
    if (!run || !run.judge || !state.ceval.job || state.ceval.job.kind !== 'practise') return false;
    if (readReviewLine(run.judge, line)) {
      state.ceval.job = null;
      judged(verdict(run.items[run.index], run.judge.evals[0]));
    }
    return true;
  }

  // An engine that stopped while judging gives the try back to the player.
  function engineStopped() {
    const run = state.practice;
    if (!run || run.status !== 'judging') return;
    run.status = 'find';
    run.attempt = null;
    run.judge = null;
  }

  /**
   * A game opened: a practice over the library opens the games it goes
   * through; any other game opened ends it.
   * @param {string | null} id
   */
  function gameOpened(id) {
    const run = state.practice;
    if (!(run && run.status === 'loading' && run.items[run.index].gameId === id)) endPractice();
  }

  // Stopping counts the position on view as skipped; not while a try is
  // judged. Returns whether the practice has ended.
  function stop() {
    const run = state.practice;
    if (!run) return true;
    if (run.status === 'judging') return false;
    if (run.status !== 'loading') settleItem('skipped', []);
    state.practiceDone = run.counts;
    endPractice();
    return true;
  }

  return {
    canPractise,
    start: practise,
    startAll: practiseAll,
    show: practiseShow,
    next: nextItem,
    stop,
    tryMove: practiseTry,
    engineLine,
    engineStopped,
    gameOpened,
    resume: resumePractice,
    keep: keepPractice,
    board: practiceBoard,
    prompt: practicePrompt,
  };
}
