// The page's state and the named actions that change it. This part keeps the
// game tree, the position on view and the game against the engine; the
// engine (ceval.js), the review (review-ctrl.js), the library
// (library-ctrl.js) and a practice (practice-ctrl.js) each keep a state of
// their own inside it. The engine, the clock, the store, the calendar and the
// move sounds come in from outside, so that the same actions run in the
// browser and under node:test; so does the table of opening names, page data
// that no saved record carries. After each action the engine is set to what
// the state asks of it, the game is saved when it changed, and the page is
// drawn once.
import { endSearch, initialCeval, linesOn, noAnalysis, readLine, settle, startSearch } from './ceval.js';
import { createLibraryCtrl, initialLibrary } from './library-ctrl.js';
import { openingAt, openingText } from './openings.js';
import { readPiece, splitGames, writeGame } from './pgn.js';
import { initialPrefs, playerSide, readPrefs } from './prefs.js';
import { NAMES, ending, hasMoves, isPromotion, play, positionCommand, readMove, START_FEN, turnOf, uciMove } from './rules.js';
import { createPracticeCtrl, emptyRecord, readRecord } from './practice-ctrl.js';
import { initialReview, judgementsByPly, readReviewLine, reviewView, skipSettled, startRun, writeResults } from './review-ctrl.js';
import {
  addChild,
  deleteAt,
  isMainline,
  lineEnd,
  mainline,
  mainlinePath,
  moveNode,
  nodeAt,
  nodesAlong,
  promote,
  rootNode,
  samePath,
  siblingPath,
  updateAt,
} from './tree.js';
import { MOVETIME_PER_DEPTH_MS } from './engine-facts.js';

/** @typedef {import('./types.js').Color} Color */
/** @typedef {import('./types.js').TreeNode} TreeNode */
/** @typedef {import('./types.js').Path} Path */
/** @typedef {import('./types.js').GameRecord} GameRecord */
/** @typedef {import('./ceval.js').CevalState} CevalState */
/** @typedef {import('./ceval.js').EngineLink} EngineLink */
/** @typedef {import('./review-ctrl.js').ReviewState} ReviewState */
/** @typedef {import('./review-ctrl.js').ReviewView} ReviewView */
/** @typedef {import('./library-ctrl.js').LibraryState} LibraryState */
/** @typedef {import('./practice-ctrl.js').PracticeRun} PracticeRun */
/** @typedef {import('./practice-ctrl.js').PracticeRecord} PracticeRecord */
/** @typedef {import('./practice-ctrl.js').Counts} Counts */
/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./store.js').Entry} Entry */
/** @typedef {import('./openings.js').Opening} Opening */
/** @typedef {import('./openings.js').OpeningTable} OpeningTable */

/** @typedef {{ result: string, reason: string, termination: string }} Ending */
/** @typedef {{ minutes: number, increment: number }} TimeControl */
/** @typedef {'page' | 'import' | 'setup'} Source */

/**
 * A game against the engine: who plays what, the time control, and how many
 * plies of the main line are the game itself (analysis may go on past them).
 * @typedef {object} PlayState
 * @property {Color} player
 * @property {TimeControl} timeControl
 * @property {number} plies
 * @property {boolean} paused reopened after the page was left; "Resume" goes on
 */

/**
 * @typedef {object} State
 * @property {GameRecord} game
 * @property {string | null} gameId the game's key in the library
 * @property {Source} source where the game came from
 * @property {Path} path the position on view
 * @property {'play' | 'analyse'} mode
 * @property {PlayState} play
 * @property {Ending | null} ending
 * @property {Color} orientation
 * @property {{ w: number, b: number, running: Color | null }} clock
 * @property {CevalState} ceval
 * @property {ReviewState} review
 * @property {LibraryState} library
 * @property {PracticeRun | null} practice a practice going on
 * @property {PracticeRecord} practiceRecord what was practised in this game
 * @property {Counts | null} practiceDone the counts of the practice just ended
 * @property {{ from: string, to: string } | null} promotion a move waiting for its piece
 * @property {string} message
 * @property {{ text: string, error: boolean } | null} fenMessage
 * @property {{ text: string, error: boolean } | null} pgnMessage
 * @property {{ text: string, error: boolean } | null} moveMessage
 * @property {string} loadNote what the load said about the game on view
 * @property {boolean} customTime the form shows the minutes and increment
 * @property {boolean} canUndo a deleted move or game can come back
 * @property {import('./prefs.js').Prefs} prefs the player's settings
 * @property {boolean} help the list of keys is open
 */

/**
 * @typedef {object} Settings
 * @property {string} [colour] 'w', 'b' or 'random'
 * @property {string} [time] a preset such as '3+2', or 'custom'
 * @property {string | number} [minutes]
 * @property {string | number} [increment]
 * @property {string} [fen]
 */

export { NAMES };
// Games read from a PGN between two turns of the page.
const IMPORT_SLICE = 50;

/**
 * @param {Color} color
 * @returns {Color}
 */
export function other(color) {
  return color === 'w' ? 'b' : 'w';
}

/**
 * '3+2' -> { minutes: 3, increment: 2 }; custom figures are checked; null
 * when they make no time control.
 * @param {string} preset
 * @param {string | number | undefined} minutes
 * @param {string | number | undefined} increment
 * @returns {TimeControl | null}
 */
export function readTimeControl(preset, minutes, increment) {
  if (preset === 'custom') {
    const m = Number(minutes);
    const i = Number(increment);
    if (!(m > 0 && m <= 600) || !(i >= 0 && i <= 600)) return null;
    return { minutes: m, increment: i };
  }
  const [m, i] = String(preset).split('+').map(Number);
  return { minutes: m, increment: i };
}

/**
 * @param {Date} date
 */
function pgnDate(date) {
  return `${date.getFullYear()}.${String(date.getMonth() + 1).padStart(2, '0')}.${String(date.getDate()).padStart(2, '0')}`;
}

// Game keys for a controller given none: unique within the page.
function counter() {
  let n = 0;
  return () => `${Date.now().toString(36)}-${(n++).toString(36)}`;
}

/**
 * @param {string} fen
 * @returns {GameRecord}
 */
function newGameRecord(fen) {
  return { headers: {}, root: rootNode(fen) };
}

/**
 * @typedef {object} ClockLink
 * @property {(initialMs: number, incrementMs: number) => void} reset
 * @property {(w: number, b: number) => void} set
 * @property {(color: Color) => void} run
 * @property {(mover: Color) => void} moved
 * @property {() => void} stop
 * @property {(color: Color) => number} left
 * @property {Color | null} running
 */

/**
 * @param {object} deps
 * @param {(handlers: { onLine: (line: string) => void, onReady: () => void, onFailure: (reason: string) => void }) => EngineLink} deps.engine
 * @param {(handlers: { onTick: () => void, onFlag: (color: Color) => void }) => ClockLink} deps.clock
 * @param {(state: State) => void} deps.render
 * @param {() => Promise<Store | { error: string }>} [deps.store] opens the library; none: nothing is saved
 * @param {() => number} [deps.random]
 * @param {() => Date} [deps.today]
 * @param {() => string} [deps.newId]
 * @param {(fn: () => void) => void} [deps.later] runs fn once the page has had a turn
 * @param {(kind: 'move' | 'capture') => void} [deps.sound] sounds a move made, when the player wants sounds
 */
export function createController({
  engine: makeEngine,
  clock: makeClock,
  render,
  store: openStore,
  random = Math.random,
  today = () => new Date(),
  newId = counter(),
  later = (fn) => setTimeout(fn, 0),
  sound = () => {},
}) {
  /** @type {State} */
  const state = {
    game: newGameRecord(START_FEN),
    gameId: null,
    source: 'page',
    path: [],
    mode: 'play',
    play: { player: 'w', timeControl: { minutes: 3, increment: 2 }, plies: 0, paused: false },
    ending: null,
    orientation: 'w',
    clock: { w: 0, b: 0, running: null },
    ceval: initialCeval(),
    review: initialReview(),
    library: initialLibrary(),
    practice: null,
    practiceRecord: emptyRecord(),
    practiceDone: null,
    promotion: null,
    message: '',
    fenMessage: null,
    pgnMessage: null,
    moveMessage: null,
    loadNote: '',
    customTime: false,
    canUndo: false,
    prefs: initialPrefs(),
    help: false,
  };
  /** @type {{ kind: 'move', removed: { parent: Path, index: number, node: TreeNode }, gameId: string | null } | { kind: 'game', entry: Entry } | null} */
  let undo = null;
  /** @type {OpeningTable | null} the opening names, once the page has loaded them */
  let openings = null;
  const engine = makeEngine({
    onLine: (line) => act(engineLine, line),
    onReady: () => act(() => (state.ceval.error = null)),
    onFailure: (reason) => act(engineFailed, reason),
  });
  const clock = makeClock({ onTick: () => act(() => {}), onFlag: (color) => act(flagFell, color) });
  const library = createLibraryCtrl(
    {
      state,
      act: (fn) => act(fn),
      entry: currentEntry,
      open: restoreGame,
      resume: (kept) => practice.resume(kept),
      untouched: () => isEngineGame() && root().children.length === 0,
      pgn: (game) => writeGame(game, { judgements: judgementsByPly(reviewView(game.root, openings)), opening: gameOpening(game.root) }),
    },
    openStore,
  );

  const practice = createPracticeCtrl({
    state,
    act: (fn) => act(fn),
    review: () => reviewOnView(),
    reviewOf: (start) => reviewView(start, openings),
    endSearch: () => endSearch(state.ceval, engine),
    stopClock: () => clock.stop(),
    library,
  });

  // The clock and the engine may call back inside an action; the engine is
  // driven, the game saved and the page drawn once, when the outermost
  // action is done.
  let depth = 0;
  /**
   * @template {any[]} A
   * @param {(...args: A) => void} fn
   * @param {A} args
   */
  function act(fn, ...args) {
    depth++;
    try {
      fn(...args);
    } finally {
      depth--;
    }
    if (depth > 0) return;
    driveEngine();
    sync();
    library.changed();
    practice.keep();
    render(state);
  }

  function sync() {
    state.ceval.ready = engine.ready;
    state.ceval.searching = engine.searching;
    state.clock = { w: clock.left('w'), b: clock.left('b'), running: clock.running };
    state.canUndo = !!undo;
  }

  // 1. Where things are.

  const root = () => state.game.root;
  const nodeOnView = () => /** @type {TreeNode} */ (nodeAt(root(), state.path));
  const fenOnView = () => nodeOnView().fen;
  const isEngineGame = () => state.source !== 'import';
  // The game's own last position: the main line's after the game's plies.
  const livePath = () => mainlinePath(root(), state.play.plies);
  const liveNode = () => /** @type {TreeNode} */ (nodeAt(root(), livePath()));
  const liveTurn = () => turnOf(liveNode().fen);
  const atLive = () => samePath(state.path, livePath());

  /** @param {Path} path */
  function fensTo(path) {
    return (nodesAlong(root(), path) || [root()]).map((n) => n.fen);
  }

  /** @param {Path} path */
  function positionAt(path) {
    const nodes = /** @type {TreeNode[]} */ (nodesAlong(root(), path));
    return positionCommand(root().fen, nodes.slice(1));
  }

  // 2. The engine.

  // What the engine should be doing in this state, set after every action: a
  // search that no longer fits ends, and an idle engine starts what is due.
  function driveEngine() {
    const ceval = state.ceval;
    const run = state.review.run;
    const trying = state.practice;
    /** @type {import('./ceval.js').Job | null} */
    let want = null;
    // While practising, the engine only judges tries: an analysis would
    // give the answer away.
    if (trying) {
      if (trying.judge && trying.attempt) want = { kind: 'practise', fen: trying.attempt.fen, key: `${trying.index} ${trying.attempt.id}` };
    } else if (run) {
      if (skipSettled(run)) want = { kind: 'review', fen: run.fens[run.next], key: `${run.next} ${run.paths[run.next].join(' ')}` };
      else finishReview();
    } else if (state.mode === 'play') {
      if (!state.ending && !ceval.halted && !state.play.paused && liveTurn() !== state.play.player)
        want = { kind: 'move', fen: liveNode().fen, key: livePath().join(' ') };
    } else want = { kind: 'analyse', fen: fenOnView(), key: state.path.join(' ') };
    if (!settle(ceval, engine, want) || !want) return;
    if (want.kind === 'practise' && trying && trying.attempt) {
      const item = trying.items[trying.index];
      const nodes = /** @type {TreeNode[]} */ (nodesAlong(root(), item.path));
      const position = positionCommand(root().fen, [...nodes.slice(1), trying.attempt]);
      startSearch(ceval, engine, want, position, `go movetime ${trying.ms * MOVETIME_PER_DEPTH_MS}`);
      return;
    }
    if (want.kind === 'review' && run) {
      startSearch(ceval, engine, want, positionAt(run.paths[run.next]), `go movetime ${run.ms * MOVETIME_PER_DEPTH_MS}`);
      return;
    }
    if (want.kind === 'move') {
      const inc = state.play.timeControl.increment * 1000;
      startSearch(ceval, engine, want, positionAt(livePath()), `go wtime ${Math.floor(clock.left('w'))} btime ${Math.floor(clock.left('b'))} winc ${inc} binc ${inc}`);
      return;
    }
    // A position analysed or stopped already waits for the next one.
    if (ceval.analysis.key === want.key && ceval.analysis.fen === want.fen) return;
    if (!hasMoves(want.fen)) ceval.analysis = { key: want.key, fen: want.fen, lines: [], stopped: false };
    else startSearch(ceval, engine, want, positionAt(state.path), 'go');
  }

  /** @param {string} reason */
  function engineFailed(reason) {
    state.ceval.job = null;
    practice.engineStopped();
    state.ceval.error = `The engine is not running: ${reason}.`;
  }

  /** @param {string} line */
  function engineLine(line) {
    if (practice.engineLine(line)) return;
    const run = state.review.run;
    if (run && state.ceval.job && state.ceval.job.kind === 'review') {
      if (readReviewLine(run, line)) state.ceval.job = null;
      return;
    }
    const before = state.ceval.name;
    const done = readLine(state.ceval, line);
    if (state.ceval.name !== before) nameEngine(before, state.ceval.name);
    if (done && done.job && done.job.kind === 'move') engineMove(done.bestmove);
  }

  /**
   * The engine's side of a game against it carries its full name once the
   * engine has told it.
   * @param {string} was
   * @param {string} name
   */
  function nameEngine(was, name) {
    if (!isEngineGame()) return;
    const side = NAMES[other(state.play.player)];
    if (state.game.headers[side] === was) state.game = { ...state.game, headers: { ...state.game.headers, [side]: name } };
  }

  /** @param {string} line */
  function engineMove(line) {
    const words = line.trim().split(/\s+/);
    const move = words.length === 2 ? uciMove(words[1]) : null;
    const legal = move && play(liveNode().fen, move);
    if (!legal) {
      state.message = `The engine answered "${line}", which is not a legal move here; it was not played.`;
      console.error(state.message);
      state.ceval.halted = true;
      clock.stop();
      return;
    }
    sounded(legal.san);
    gameMove(legal);
  }

  /**
   * A move made on the board, typed or played by the engine sounds; going
   * through the moves and loading a game are silent.
   * @param {string} san
   */
  function sounded(san) {
    if (state.prefs.sound) sound(san.includes('x') ? 'capture' : 'move');
  }

  // 3. The review.

  function canReview() {
    return mainline(root()).length > 1 && (state.mode === 'analyse' || !!state.ending) && !state.review.run && !state.practice;
  }

  /** @param {number} [ms] */
  function review(ms) {
    if (!canReview()) return;
    state.review = { run: startRun(root(), ms ?? 0) };
    state.message = '';
  }

  function finishReview() {
    const run = state.review.run;
    if (!run) return;
    state.game = { ...state.game, root: writeResults(root(), run, openings) };
    state.review = initialReview();
  }

  function cancelReview() {
    if (!state.review.run) return;
    state.review = initialReview();
    state.message = 'Review cancelled.';
  }

  // 4. Moves.

  /**
   * The tree changed at or before the main line's ply: a running review of
   * the old main line ends.
   */
  function mainlineChanged() {
    if (state.review.run) {
      state.review = initialReview();
      state.message = 'The main line changed: the review stopped.';
    }
  }

  /**
   * A move of the game against the engine, at its live position: it goes
   * first among the moves there, so analysis lines from that position become
   * variations.
   * @param {{ id: string, san: string, fen: string }} legal
   */
  function gameMove(legal) {
    const mover = turnOf(liveNode().fen);
    const from = livePath();
    const node = moveNode(from.length + 1, legal);
    const existing = liveNode().children.find((c) => c.id === legal.id);
    let tree = root();
    if (existing) tree = promote(tree, [...from, legal.id]);
    else tree = /** @type {{ root: TreeNode }} */ (addChild(tree, from, node, 0)).root;
    state.play.plies++;
    state.game = { ...state.game, root: tree };
    mainlineChanged();
    state.path = livePath();
    state.ending = ending(fensTo(state.path));
    if (state.ending) setResult(state.ending.result);
    if (state.mode === 'play') {
      if (state.ending) clock.stop();
      else clock.moved(mover);
      const left = clock.left(mover);
      state.game = { ...state.game, root: /** @type {TreeNode} */ (updateAt(root(), state.path, (n) => ({ ...n, clock: Math.floor(left / 100) / 10 }))) };
    }
  }

  /** @param {string} result */
  function setResult(result) {
    state.game = { ...state.game, headers: { ...state.game.headers, Result: result } };
  }

  // A move can be made from the live position of a game on the player's
  // turn, or in analysis from any position on view.
  function canMove() {
    if (state.promotion || state.review.run) return false;
    if (state.practice) return state.practice.status === 'find' || state.practice.status === 'wrong';
    if (state.mode === 'analyse') return true;
    return !state.ending && !state.play.paused && atLive() && liveTurn() === state.play.player && !state.ceval.job;
  }

  /**
   * @param {string} from
   * @param {string} to
   * @param {string} [promotion]
   */
  function playMove(from, to, promotion) {
    if (!canMove()) return;
    const fen = fenOnView();
    if (!promotion && isPromotion(fen, from, to)) {
      state.promotion = { from, to };
      return;
    }
    const legal = play(fen, { from, to, promotion });
    if (!legal) return;
    sounded(legal.san);
    if (state.practice) return practice.tryMove(legal);
    state.message = '';
    state.moveMessage = null;
    state.ceval.halted = false;
    if (state.mode === 'play') return gameMove(legal);
    // In analysis: an existing move is a step, a new one a new line. A
    // position with no moves after it is continued; anything else gets a
    // variation, so nothing is replaced.
    const here = nodeOnView();
    const added = addChild(root(), state.path, moveNode(state.path.length + 1, legal), here.children.length);
    if (!added) return;
    if (added.root !== root()) {
      state.game = { ...state.game, root: added.root };
      if (here.children.length === 0 && isMainline(added.root, added.path)) mainlineChanged();
    }
    state.path = added.path;
  }

  /** @param {string} text a move typed in SAN or UCI */
  function typeMove(text) {
    if (!String(text).trim()) return;
    const read = readMove(fenOnView(), String(text).trim());
    if ('error' in read) {
      state.moveMessage = { text: read.error, error: true };
      return;
    }
    if (!canMove()) {
      state.moveMessage = { text: 'No move can be played here now.', error: true };
      return;
    }
    state.moveMessage = null;
    playMove(read.from, read.to, read.promotion || undefined);
  }

  /** @param {string | null} piece */
  function choosePromotion(piece) {
    const move = state.promotion;
    state.promotion = null;
    if (piece && move) playMove(move.from, move.to, piece);
  }

  /** @param {Path} path */
  function goTo(path) {
    if (state.promotion || state.practice || !nodeAt(root(), path)) return;
    state.path = path;
  }

  /**
   * A main-line position by its ply (the graph and the tests name plies).
   * @param {number} ply
   */
  function goToPly(ply) {
    const line = mainlinePath(root());
    goTo(line.slice(0, Math.max(0, Math.min(line.length, ply))));
  }

  /** @param {'first' | 'prev' | 'next' | 'last' | 'up' | 'down'} where */
  function navigate(where) {
    const path = state.path;
    const node = nodeOnView();
    if (where === 'first') goTo([]);
    else if (where === 'prev') goTo(path.slice(0, -1));
    else if (where === 'next' && node.children.length) goTo([...path, node.children[0].id]);
    else if (where === 'last') goTo(lineEnd(root(), path));
    else if (where === 'up') goTo(siblingPath(root(), path, -1));
    else if (where === 'down') goTo(siblingPath(root(), path, 1));
  }

  /**
   * The next (1) or previous (-1) main-line move the review judged an
   * inaccuracy, a mistake or a blunder, from the ply on view.
   * @param {1 | -1} direction
   */
  function goToJudged(direction) {
    const review = reviewOnView();
    if (!review) return;
    const plies = review.judged.filter((m) => m.judgement).map((m) => m.ply);
    const here = state.path.length;
    const ply = direction > 0 ? plies.find((p) => p > here) : plies.reverse().find((p) => p < here);
    if (ply !== undefined) goToPly(ply);
  }

  // In analysis, the first move of the engine's line for the position on view.
  function playBest() {
    if (state.mode !== 'analyse' || state.practice) return;
    const [line] = linesOn(state.ceval.analysis, fenOnView(), state.path);
    const move = line && line.pv && line.pv[0] ? uciMove(line.pv[0]) : null;
    if (move) playMove(move.from, move.to, move.promotion);
  }

  // The tree opens once a game against the engine is over, or in analysis.
  function canEditTree() {
    return (state.mode === 'analyse' || !!state.ending) && !state.review.run && !state.promotion && !state.practice;
  }

  // The moves of a game against the engine are the game: analysis adds
  // lines beside them but never replaces or removes one.
  /**
   * Whether changing the tree at path would change the game's own moves.
   * @param {Path} path
   */
  function touchesGame(path) {
    if (!isEngineGame()) return false;
    const game = livePath();
    let common = 0;
    while (common < path.length && common < game.length && path[common] === game[common]) common++;
    return common < game.length;
  }

  function promoteOnView() {
    if (!canEditTree() || isMainline(root(), state.path)) return;
    if (touchesGame(state.path)) {
      state.message = "The game's own moves stay the main line; this line stays beside them.";
      return;
    }
    state.game = { ...state.game, root: promote(root(), state.path) };
    mainlineChanged();
  }

  /**
   * Whether the move at path is one of the game's own moves.
   * @param {Path} path
   */
  function isGameMove(path) {
    const game = livePath();
    return isEngineGame() && path.length > 0 && path.length <= game.length && samePath(path, game.slice(0, path.length));
  }

  function deleteOnView() {
    if (!canEditTree() || state.path.length === 0) return;
    if (isGameMove(state.path)) {
      state.message = "The game's own moves stay; Take back undoes a move during a game.";
      return;
    }
    const wasMain = isMainline(root(), state.path);
    const cut = deleteAt(root(), state.path);
    if (!cut) return;
    undo = { kind: 'move', removed: cut.removed, gameId: state.gameId };
    state.game = { ...state.game, root: cut.root };
    state.path = cut.removed.parent;
    if (wasMain) mainlineChanged();
  }

  function undoDelete() {
    const last = undo;
    if (!last) return;
    if (last.kind === 'game') {
      undo = null;
      restoreGame(last.entry);
      library.restore(last.entry);
      state.message = 'Game restored.';
      return;
    }
    if (last.gameId !== state.gameId) return;
    const back = addChild(root(), last.removed.parent, last.removed.node, last.removed.index);
    if (!back) return;
    undo = null;
    state.game = { ...state.game, root: back.root };
    state.path = back.path;
  }

  /** @param {string} text */
  function setComment(text) {
    const updated = updateAt(root(), state.path, (n) => ({ ...n, comment: String(text) }));
    if (updated) state.game = { ...state.game, root: updated };
  }

  // The move marks of PGN's first six NAGs.
  const MARK_NAGS = { '!': 1, '?': 2, '!!': 3, '??': 4, '!?': 5, '?!': 6 };

  /** @param {string} mark '' or one of ! ? !! ?? !? ?! */
  function setNag(mark) {
    if (state.path.length === 0) return;
    const nag = MARK_NAGS[/** @type {keyof typeof MARK_NAGS} */ (mark)];
    const updated = updateAt(root(), state.path, (n) => ({ ...n, nags: [...(nag ? [nag] : []), ...n.nags.filter((x) => x > 6)] }));
    if (updated) state.game = { ...state.game, root: updated };
  }

  function canTakeBack() {
    if (state.mode !== 'play' || state.ending || state.play.paused) return false;
    const line = mainline(root()).slice(0, state.play.plies + 1);
    return line.slice(0, -1).some((n) => turnOf(n.fen) === state.play.player);
  }

  // Back to the player's last move: the engine's answer goes too, or a search
  // still choosing it is ended. The game stays one line: what is taken back
  // leaves it.
  function takeBack() {
    if (!canTakeBack()) return;
    endSearch(state.ceval, engine);
    const line = mainline(root());
    let plies = state.play.plies;
    do plies--;
    while (turnOf(line[plies].fen) !== state.play.player);
    const cut = deleteAt(root(), mainlinePath(root(), plies + 1));
    if (cut) state.game = { ...state.game, root: cut.root };
    state.play.plies = plies;
    state.path = livePath();
    state.message = '';
    state.ceval.halted = false;
    state.ceval.analysis = noAnalysis();
    mainlineChanged();
    clock.run(state.play.player);
  }

  /**
   * @param {string} result
   * @param {string} reason
   * @param {string} termination
   */
  function finish(result, reason, termination) {
    if (state.ending) return;
    state.ending = { result, reason, termination };
    setResult(result);
    state.game = { ...state.game, headers: { ...state.game.headers, Termination: termination } };
  }

  /** @param {Color} color */
  function flagFell(color) {
    if (state.mode !== 'play' || state.ending) return;
    endSearch(state.ceval, engine);
    finish(other(color) === 'w' ? '1-0' : '0-1', `${NAMES[color]} lost on time`, 'time forfeit');
  }

  function resign() {
    if (state.mode !== 'play' || state.ending || state.play.paused) return;
    endSearch(state.ceval, engine);
    clock.stop();
    const player = state.play.player;
    finish(player === 'w' ? '0-1' : '1-0', `${NAMES[player]} resigns`, 'normal');
  }

  function resume() {
    if (!state.play.paused) return;
    state.play.paused = false;
    state.path = livePath();
    if (!state.ending) clock.run(liveTurn());
  }

  // 5. Games and modes.

  /**
   * A fresh game: every part of the state that belongs to a game starts
   * anew, from its own initial…().
   * @param {GameRecord} game
   * @param {Source} source
   * @param {string | null} id
   */
  function openGame(game, source, id) {
    endSearch(state.ceval, engine);
    // A practice over the library opens the games it goes through; any
    // other game opened ends it.
    practice.gameOpened(id);
    state.practiceRecord = emptyRecord();
    state.practiceDone = null;
    state.game = game;
    state.gameId = id;
    // Nothing of this game has gone to the library yet.
    library.forget();
    state.source = source;
    state.path = [];
    state.review = initialReview();
    state.ceval = { ...initialCeval(), name: state.ceval.name, error: state.ceval.error };
    state.promotion = null;
    state.ending = null;
    state.message = '';
    state.moveMessage = null;
    state.loadNote = '';
    if (undo && undo.kind === 'move') undo = null;
  }

  /** @param {Settings} [settings] */
  function newGame({ colour, time, minutes, increment, fen } = {}) {
    const tc = readTimeControl(time ?? '3+2', minutes, increment);
    if (!tc) {
      state.message = 'Give the minutes (more than 0) and the increment in seconds (0 or more).';
      return;
    }
    const player = colour === 'random' ? (random() < 0.5 ? 'w' : 'b') : colour === 'b' ? 'b' : 'w';
    const record = newGameRecord(fen || START_FEN);
    const name = state.ceval.name;
    const me = state.prefs.playerName.trim() || 'You';
    record.headers = {
      Event: 'Casual game',
      Site: 'tarvik in the browser',
      Date: pgnDate(today()),
      White: player === 'w' ? me : name,
      Black: player === 'b' ? me : name,
      Result: '*',
      TimeControl: `${Math.round(tc.minutes * 60)}+${tc.increment}`,
    };
    openGame(record, fen && fen !== START_FEN ? 'setup' : 'page', newId());
    state.mode = 'play';
    state.play = { player, timeControl: tc, plies: 0, paused: false };
    state.orientation = player;
    engine.send('ucinewgame');
    clock.reset(tc.minutes * 60000, tc.increment * 1000);
    // A position set up already mated or drawn is a game already over.
    state.ending = ending([root().fen]);
    if (state.ending) setResult(state.ending.result);
    else clock.run(liveTurn());
  }

  /**
   * A game read from PGN or the library, for going through and analysing.
   * @param {GameRecord} game
   * @param {string | null} id
   */
  function openImported(game, id) {
    clock.stop();
    openGame(game, 'import', id);
    state.mode = 'analyse';
    state.orientation = playerSide(game.headers, state.prefs.playerName) ?? 'w';
    state.play = { ...state.play, plies: mainline(game.root).length - 1, paused: false };
    state.ending = recordedEnding(game);
  }

  /**
   * How a loaded game ended: by the rules at the end of its main line, or as
   * its Result says.
   * @param {GameRecord} game
   * @returns {Ending | null}
   */
  function recordedEnding(game) {
    const result = game.headers.Result || '*';
    return (
      ending(mainline(game.root).map((n) => n.fen)) ||
      (result !== '*' ? { result, reason: 'Result as recorded', termination: game.headers.Termination || 'normal' } : null)
    );
  }

  // A PGN text: every game of it goes to the library and the first opens;
  // the game on the page stays when no game of it can be read. The games are
  // read a slice at a time, so that the page answers and shows the progress.
  /** @param {string} text */
  function loadPgn(text) {
    if (state.library.importing) return;
    const { pieces, error } = splitGames(String(text));
    if (error) {
      state.pgnMessage = { text: `${error} The game on the board stays.`, error: true };
      return;
    }
    /** @type {import('./types.js').ReadGame[]} */
    const games = [];
    // Each game's entry is made in its slice, its opening looked up with it.
    /** @type {Entry[]} */
    const entries = [];
    const total = pieces.length;
    const readSlice = () => {
      const end = Math.min(total, games.length + IMPORT_SLICE);
      while (games.length < end) {
        const read = readPiece(pieces[games.length]);
        games.push(read);
        if ('game' in read) entries.push(newEntry(read.game, 'import'));
      }
      state.library = { ...state.library, importing: games.length < total ? { done: games.length, total } : null };
      if (games.length < total) later(() => act(readSlice));
      else gamesRead(games, entries);
    };
    readSlice();
  }

  /**
   * @param {import('./types.js').ReadGame[]} read
   * @param {Entry[]} entries the good games' entries, in order
   */
  function gamesRead(read, entries) {
    const good = /** @type {{ game: GameRecord, number: number }[]} */ (read.filter((g) => 'game' in g));
    const bad = /** @type {{ error: string, number: number }[]} */ (read.filter((g) => 'error' in g));
    if (!good.length) {
      state.pgnMessage = { text: `${bad.length ? bad[0].error : 'No game in this text.'} The game on the board stays.`, error: true };
      return;
    }
    // The game on view gets its library key once the import has found
    // whether it was stored already; nothing of it is saved before that.
    openImported(entries[0].game, null);
    const parts = [`${good.length} game${good.length === 1 ? '' : 's'} loaded`];
    if (bad.length) parts.push(`${bad.length} skipped (${bad[0].error})`);
    state.pgnMessage = { text: `${parts.join(', ')}.`, error: bad.length > 0 };
    state.loadNote = good.length > 1 ? `the first of the ${good.length} games in the text` : '';
    library.importGames(entries, (result) => {
      if ('error' in result) return;
      parts.splice(1, 0, ...(result.duplicates ? [`${result.duplicates} already in the library`] : []));
      state.pgnMessage = { text: `${parts.join(', ')}.`, error: bad.length > 0 };
    });
  }

  /**
   * @param {GameRecord} game
   * @param {Source} source
   * @returns {Entry}
   */
  function newEntry(game, source) {
    const now = Date.now();
    return {
      id: newId(),
      source,
      game,
      view: { path: [] },
      play: { source, mode: 'analyse', plies: mainline(game.root).length - 1 },
      created: now,
      updated: now,
      ...openingField(game.root),
    };
  }

  // A game against the engine from the position on view.
  /** @param {Settings} settings */
  function playFromHere(settings) {
    newGame({ ...settings, fen: fenOnView() });
  }

  /**
   * @param {{ fen: string } | { error: string }} checked
   * @param {Settings} settings
   */
  function setFen(checked, settings) {
    if ('error' in checked) {
      state.fenMessage = { text: `${checked.error} The game goes on unchanged.`, error: true };
      return;
    }
    state.fenMessage = { text: 'Position set up.', error: false };
    newGame({ ...settings, fen: checked.fen });
  }

  function toggleAnalysis() {
    // Back to the game ends a practice of it.
    if (state.practice && !practice.stop()) return;
    if (state.mode === 'play') {
      state.mode = 'analyse';
      state.play.paused = false;
      clock.stop();
      state.ceval.analysis = noAnalysis();
    } else {
      if (!isEngineGame()) return;
      state.mode = 'play';
      state.path = livePath();
      state.ceval.analysis = noAnalysis();
      if (!state.ending) clock.run(liveTurn());
    }
  }

  // Stop, in analysis mode: the search ends with its worker, and the fresh
  // one waits for the next position on view before it searches again.
  function stop() {
    const job = state.ceval.job;
    if (state.mode !== 'analyse' || !job || job.kind !== 'analyse') return;
    state.ceval.analysis = { ...state.ceval.analysis, stopped: true };
    endSearch(state.ceval, engine);
  }

  /** @param {Partial<Record<'White' | 'Black' | 'Event' | 'Date' | 'Result', string>>} changes */
  function editHeaders(changes) {
    /** @type {Record<string, string>} */
    const headers = { ...state.game.headers };
    for (const [k, v] of Object.entries(changes)) if (typeof v === 'string') headers[k] = v.trim();
    state.game = { ...state.game, headers };
    // A loaded game's result is what its record says.
    if (!isEngineGame() && changes.Result !== undefined) state.ending = recordedEnding(state.game);
  }

  /** @param {Partial<import('./prefs.js').Prefs>} changes */
  function setPrefs(changes) {
    state.prefs = readPrefs({ ...state.prefs, ...changes });
    library.savePrefs(state.prefs);
  }

  // 6. The library.

  /** @returns {Entry} */
  function currentEntry() {
    return {
      id: /** @type {string} */ (state.gameId),
      source: state.source,
      game: state.game,
      view: { path: state.path },
      practice: state.practiceRecord,
      play: {
        source: state.source,
        mode: state.mode,
        plies: state.play.plies,
        player: state.play.player,
        timeControl: state.play.timeControl,
        clocks: { w: clock.left('w'), b: clock.left('b') },
        ending: state.ending,
        orientation: state.orientation,
      },
      updated: Date.now(),
      ...openingField(root()),
    };
  }

  /** @param {Entry} entry */
  function restoreGame(entry) {
    const p = entry.play || {};
    if (p.source === 'import' || !p.source) openImported(entry.game, entry.id);
    else {
      openGame(entry.game, p.source, entry.id);
      state.mode = p.mode === 'analyse' ? 'analyse' : 'play';
      state.play = { player: p.player || 'w', timeControl: p.timeControl || state.play.timeControl, plies: p.plies || 0, paused: false };
      state.ending = p.ending || null;
      state.orientation = p.orientation || state.play.player;
      const tc = state.play.timeControl;
      clock.reset(tc.minutes * 60000, tc.increment * 1000);
      if (p.clocks) clock.set(p.clocks.w, p.clocks.b);
      // A game against the engine waits for the player: no time passes while
      // the page is closed.
      if (state.mode === 'play' && !state.ending) state.play.paused = true;
    }
    state.practiceRecord = readRecord(entry.practice);
    const path = entry.view && Array.isArray(entry.view.path) ? entry.view.path : [];
    if (nodeAt(root(), path) && !state.play.paused) state.path = path;
    if (state.play.paused) state.path = livePath();
    library.remember();
  }

  // The review read from the tree, once per tree and table of openings.
  /** @type {{ root: TreeNode | null, openings: OpeningTable | null, view: ReviewView | null }} */
  let reviewed = { root: null, openings: null, view: null };
  /** @returns {ReviewView | null} */
  function reviewOnView() {
    if (reviewed.root !== root() || reviewed.openings !== openings) reviewed = { root: root(), openings, view: reviewView(root(), openings) };
    return reviewed.view;
  }

  // 7. Opening names.

  /**
   * The named opening a game's main line reaches. No named line is longer
   * than the table's plies, so the search stops there: a library of many
   * long games costs little.
   * @param {TreeNode} start
   * @returns {Opening | null}
   */
  function gameOpening(start) {
    if (!openings) return null;
    const fens = [];
    for (let node = start; node && fens.length <= openings.plies; node = node.children[0]) fens.push(node.fen);
    return openingAt(openings, fens);
  }

  // What a stored entry carries of its opening: nothing until the names are
  // known, so that the list falls back on the game's headers.
  /** @param {TreeNode} start */
  function openingField(start) {
    return openings ? { opening: openingText(gameOpening(start)) } : {};
  }

  /** @type {{ root: TreeNode | null, path: string, openings: OpeningTable | null, opening: Opening | null }} */
  let named = { root: null, path: '', openings: null, opening: null };

  // 8. The game as PGN.

  // The headers as the page exports them.
  function headers() {
    /** @type {Record<string, string>} */
    const h = { ...state.game.headers, Result: state.ending ? state.ending.result : state.game.headers.Result || '*' };
    if (isEngineGame() && state.ending) h.Termination = state.ending.termination;
    return h;
  }

  // The game as PGN, with the review's evaluations and judgements.
  function exportPgn() {
    return writeGame({ ...state.game, headers: headers() }, { judgements: judgementsByPly(reviewView(root(), openings)), opening: gameOpening(root()) });
  }

  return {
    state,
    engine,
    headers,
    exportPgn,
    canTakeBack,
    canMove,
    canReview,
    canEditTree,
    // What the tree buttons may do to the move on view.
    canPromote: () => canEditTree() && !isMainline(root(), state.path) && !touchesGame(state.path),
    canDelete: () => canEditTree() && state.path.length > 0 && !isGameMove(state.path),
    /** @returns {ReviewView | null} */
    reviewOnView,
    canPractise: () => practice.canPractise(),
    practiceBoard: () => practice.board(),
    practicePrompt: () => practice.prompt(),
    /** @param {string} side @param {number} [ms] */
    practise: (side, ms) => act(practice.start, side, ms),
    /** @param {string} side @param {number} [ms] */
    practiseAll: (side, ms) => act(practice.startAll, side, ms),
    practiseShow: () => act(practice.show),
    practiseNext: () => act(practice.next),
    practiseStop: () => act(practice.stop),
    /** @returns {Opening | null} the deepest named opening on the way to the position on view */
    openingOnView: () => {
      const path = state.path.join(' ');
      if (named.root !== root() || named.path !== path || named.openings !== openings)
        named = { root: root(), path, openings, opening: openingAt(openings, fensTo(state.path)) };
      return named.opening;
    },
    /** @returns {OpeningTable | null} */
    openings: () => openings,
    /** The opening names have loaded. @param {OpeningTable} table */
    setOpenings: (table) => act(() => (openings = table)),
    /** @returns {Promise<void>} resolves when the library has opened (or failed to) */
    startLibrary: () => library.start(),
    /** @param {Settings} settings */
    start: (settings) =>
      act(() => {
        newGame(settings);
        engine.start();
      }),
    /** @param {string} text */
    loadPgn: (text) => act(loadPgn, text),
    /** @param {string} preset */
    chooseTime: (preset) => act(() => (state.customTime = preset === 'custom')),
    /** @param {string} from @param {string} to @param {string} [promotion] */
    playMove: (from, to, promotion) => act(playMove, from, to, promotion),
    /** @param {string} text */
    typeMove: (text) => act(typeMove, text),
    /** @param {string | null} piece */
    choosePromotion: (piece) => act(choosePromotion, piece),
    /** @param {number} [ms] */
    review: (ms) => act(review, ms),
    cancelReview: () => act(cancelReview),
    /** @param {Settings} settings */
    playFromHere: (settings) => act(playFromHere, settings),
    /** @param {number} ply */
    goToPly: (ply) => act(goToPly, ply),
    /** @param {Path} path */
    goTo: (path) => act(goTo, path),
    /** @param {'first' | 'prev' | 'next' | 'last' | 'up' | 'down'} where */
    navigate: (where) => act(navigate, where),
    /** @param {1 | -1} direction */
    goToJudged: (direction) => act(goToJudged, direction),
    playBest: () => act(playBest),
    /** @param {Partial<import('./prefs.js').Prefs>} changes */
    setPrefs: (changes) => act(setPrefs, changes),
    /** @param {boolean} open */
    showHelp: (open) => act(() => (state.help = open)),
    promote: () => act(promoteOnView),
    deleteMove: () => act(deleteOnView),
    undo: () => act(undoDelete),
    /** @param {string} text */
    setComment: (text) => act(setComment, text),
    /** @param {string} mark */
    setNag: (mark) => act(setNag, mark),
    takeBack: () => act(takeBack),
    resign: () => act(resign),
    resume: () => act(resume),
    /** @param {Settings} settings */
    newGame: (settings) => act(newGame, settings),
    /** @param {{ fen: string } | { error: string }} checked @param {Settings} settings */
    setFen: (checked, settings) => act(setFen, checked, settings),
    toggleAnalysis: () => act(toggleAnalysis),
    stop: () => act(stop),
    restartEngine: () =>
      act(() => {
        state.message = '';
        engine.start();
      }),
    /** @param {string} text */
    setMessage: (text) => act(() => (state.message = text)),
    flip: () => act(() => (state.orientation = other(state.orientation))),
    /** @param {Parameters<typeof editHeaders>[0]} changes */
    editHeaders: (changes) => act(editHeaders, changes),
    /** @param {Parameters<typeof library.show>[0]} query */
    showLibrary: (query) => act(library.show, query),
    /** @param {string} id */
    openLibraryGame: (id) => library.open(id),
    deleteGame: () =>
      library.remove((removed) => {
        undo = { kind: 'game', entry: removed };
        state.gameId = null;
        state.message = 'Game deleted. Undo brings it back.';
        newGame({ colour: state.play.player, time: `${state.play.timeControl.minutes}+${state.play.timeControl.increment}` });
      }),
    saveNow: () => library.saveNow(),
    flushed: () => library.flushed(),
    /** @returns {Promise<string>} every stored game as one PGN text, or this one with no library */
    exportLibrary: async () => (await library.exportAll()) ?? exportPgn(),
  };
}
