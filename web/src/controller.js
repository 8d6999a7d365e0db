// The page's one state record and the named actions that change it. The
// engine, the clock and the calendar come in from outside, so that the same
// actions run in the browser and under node:test; after each action the
// engine is set to what the state asks of it, then the page is drawn once.
import {
  chessAt,
  cutAt,
  fenAt,
  findMove,
  isPromotion,
  newRecord,
  playAt,
  positionCommand,
  sanOf,
  standardEnding,
  startOf,
} from './game.js';
import { parsePgn, writePgn } from './pgn.js';
import { judgeMoves, summarise, whiteEval } from './review.js';
import { MATE_SCORE, parseBestMove, parseInfo } from './uci.js';

export const NAMES = { w: 'White', b: 'Black' };
export const ENGINE_NAME = 'tarvik';
const INFO_ROWS = 8;
const NO_ANALYSIS = { fen: null, ply: null, lines: [], stopped: false };
// The engine gives up deepening once one depth has taken a four-hundredth of
// a "go movetime" figure, so a review's time per position is sent times 400.
const MOVETIME_PER_DEPTH_MS = 400;
// The default reviews an 80-ply game in about half a minute in headless
// chromium on a two-core machine (test/review-time.mjs measures it).
export const REVIEW_MS = 100;

export function other(color) {
  return color === 'w' ? 'b' : 'w';
}

// '3+2' -> { minutes: 3, increment: 2 }; custom figures are checked; null
// when they make no time control.
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

// engine(handlers) and clock(handlers) make the engine wrapper and the clock
// (engine.js, clock.js, or fakes); render(state) draws the page.
export function createController({ engine: makeEngine, clock: makeClock, render, random = Math.random, today = () => new Date() }) {
  const state = {
    game: newRecord(),
    // How the game ended: { result, reason, termination }, or null.
    ending: null,
    ply: 0,
    mode: 'play',
    player: 'w',
    timeControl: { minutes: 3, increment: 2 },
    orientation: 'w',
    engine: { name: ENGINE_NAME, ready: false, searching: false, error: null },
    // What the running search is for: { kind: 'move' | 'analyse' | 'review',
    // fen, ply }.
    job: null,
    // The engine's lines for the position it last searched, newest first;
    // fen names that position, stopped that Stop ended the search.
    analysis: NO_ANALYSIS,
    // The engine's reply was refused; it is not asked again until the player
    // acts.
    halted: false,
    promotion: null,
    // A move in analysis waiting for the answer to "replace the rest?":
    // { ply, move, dropped }.
    replace: null,
    // A review, running or done: the game reviewed, the position searched
    // next, the evaluations and best moves by ply, the judgements.
    review: null,
    clock: { w: 0, b: 0, running: null },
    message: '',
    fenMessage: null,
    pgnMessage: null,
    // Where the game came from: 'page' (played here) or 'import' (a PGN),
    // and what the load said about it.
    source: 'page',
    loadNote: '',
    // The form shows the minutes and increment fields.
    customTime: false,
  };

  const engine = makeEngine({
    onLine: (line) => act(engineLine, line),
    onReady: () => act(engineReady),
    onFailure: (reason) => act(engineFailed, reason),
  });
  const clock = makeClock({ onTick: () => act(() => {}), onFlag: (color) => act(flagFell, color) });

  // The clock and the engine may call back inside an action; the engine is
  // driven and the page drawn once, when the outermost action is done.
  let depth = 0;
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
    render(state);
  }

  function sync() {
    state.engine.ready = engine.ready;
    state.engine.searching = engine.searching;
    state.clock = { w: clock.left('w'), b: clock.left('b'), running: clock.running };
  }

  const live = () => state.game.moves.length;
  const liveTurn = () => fenAt(state.game, live()).split(' ')[1];

  // 1. The engine.

  // Ends a search, whatever it was for; the worker it ran in is replaced.
  // An analysis cut short by anything but Stop is searched again when its
  // position is on view.
  function endSearch() {
    if (engine.searching) engine.stop();
    if (state.job && state.job.kind === 'analyse' && !state.analysis.stopped) state.analysis = NO_ANALYSIS;
    state.job = null;
  }

  function startSearch(job, go) {
    state.job = job;
    state.analysis = { fen: job.fen, ply: job.ply, lines: [], stopped: false };
    engine.send(positionCommand(state.game, job.ply));
    engine.send(go);
  }

  // What the engine should be doing in this state, set after every action: a
  // search that no longer fits ends, and an idle engine starts what is due.
  function driveEngine() {
    let want = null;
    const review = state.review;
    if (review && review.running) {
      settleReview();
      if (review.running) want = { kind: 'review', fen: fenAt(review.game, review.next), ply: review.next };
    } else if (state.mode === 'play') {
      if (!state.ending && !state.halted && liveTurn() !== state.player) want = { kind: 'move', fen: fenAt(state.game, live()), ply: live() };
    } else want = { kind: 'analyse', fen: fenAt(state.game, state.ply), ply: state.ply };
    const job = state.job;
    if (job && !(want && job.kind === want.kind && job.fen === want.fen && job.ply === want.ply)) endSearch();
    if (!want || state.job || !engine.ready || engine.searching) return;
    if (want.kind === 'review') {
      state.job = want;
      engine.send(positionCommand(review.game, want.ply));
      engine.send(`go movetime ${review.ms * MOVETIME_PER_DEPTH_MS}`);
      return;
    }
    if (want.kind === 'move') {
      const inc = state.timeControl.increment * 1000;
      startSearch(want, `go wtime ${Math.floor(clock.left('w'))} btime ${Math.floor(clock.left('b'))} winc ${inc} binc ${inc}`);
      return;
    }
    // A position analysed or stopped already waits for the next one.
    if (state.analysis.fen === want.fen && state.analysis.ply === want.ply) return;
    if (chessAt(state.game, want.ply).moves().length === 0) state.analysis = { fen: want.fen, ply: want.ply, lines: [], stopped: false };
    else startSearch(want, 'go');
  }

  function engineReady() {
    state.engine.error = null;
  }

  function engineFailed(reason) {
    state.job = null;
    state.engine.error = `The engine is not running: ${reason}.`;
  }

  function engineLine(line) {
    if (line.startsWith('id name ')) {
      state.engine.name = line.slice(8).split(' ').slice(0, 2).join(' ');
      return;
    }
    const job = state.job;
    const info = parseInfo(line);
    if (job && job.kind === 'review') return reviewLine(job, info, line);
    if (info) {
      if (!job) return;
      const best = info.pv && info.pv[0];
      const row = { ...info, turn: job.fen.split(' ')[1], san: best ? sanOf(job.fen, best) : '' };
      state.analysis.lines = [row, ...state.analysis.lines].slice(0, INFO_ROWS);
      return;
    }
    if (!line.startsWith('bestmove')) return;
    state.job = null;
    if (job && job.kind === 'move') engineMove(line);
  }

  function engineMove(line) {
    const move = parseBestMove(line);
    const chess = chessAt(state.game, live());
    const legal = move && findMove(chess, move);
    if (!legal) {
      state.message = `The engine answered "${line}", which is not a legal move here; it was not played.`;
      console.error(state.message);
      state.halted = true;
      clock.stop();
      return;
    }
    commitMove(live(), legal);
  }

  // 2. The review: each position of the main line searched in turn.

  function review(ms) {
    if (!canReview()) return;
    const game = state.game;
    const n = game.moves.length;
    state.review = {
      running: true,
      game,
      ms: Number(ms) > 0 ? Number(ms) : REVIEW_MS,
      next: 0,
      total: n + 1,
      evals: new Array(n + 1).fill(undefined),
      best: new Array(n + 1).fill(null),
      // The score and the depth at which its mate first showed, of the
      // position being searched.
      score: null,
      mateDepth: null,
      judged: [],
      summary: null,
    };
    state.message = '';
  }

  function canReview() {
    return state.game.moves.length > 0 && (state.mode === 'analyse' || !!state.ending) && !(state.review && state.review.running);
  }

  // Positions with no move to search are scored by the rules: mate or draw.
  function settleReview() {
    const r = state.review;
    while (r.next < r.total) {
      const chess = chessAt(r.game, r.next);
      if (chess.moves().length > 0) return;
      r.evals[r.next] = chess.isCheckmate() ? whiteEval(-MATE_SCORE, 1, chess.turn()) : { pawns: 0 };
      r.next++;
    }
    finishReview();
  }

  function finishReview() {
    const r = state.review;
    r.running = false;
    r.judged = judgeMoves(r.evals, fenAt(r.game, 0).split(' ')[1], r.best);
    r.summary = summarise(r.judged);
  }

  function reviewLine(job, info, line) {
    const r = state.review;
    if (info) {
      if (!Number.isFinite(info.cp)) return;
      const mate = Math.abs(info.cp) >= MATE_SCORE;
      if (!mate || r.score !== info.cp) r.mateDepth = mate ? info.depth : null;
      r.score = info.cp;
      return;
    }
    if (!line.startsWith('bestmove')) return;
    state.job = null;
    const fen = fenAt(r.game, job.ply);
    const move = parseBestMove(line);
    if (r.score !== null) r.evals[job.ply] = whiteEval(r.score, r.mateDepth, fen.split(' ')[1]);
    r.best[job.ply] = move ? sanOf(fen, line.split(/\s+/)[1]) : null;
    r.score = null;
    r.mateDepth = null;
    r.next++;
    if (r.next >= r.total) finishReview();
  }

  function cancelReview() {
    if (!state.review || !state.review.running) return;
    state.review = null;
    state.message = 'Review cancelled.';
  }

  // 3. Moves.

  // Plays a legal move at ply and keeps the clocks and the result in step.
  function commitMove(ply, move) {
    const mover = fenAt(state.game, ply).split(' ')[1];
    state.game = playAt(state.game, ply, move);
    // A review is of the game as it was.
    state.review = null;
    state.ply = live();
    state.ending = standardEnding(chessAt(state.game, live()));
    if (state.ending) state.game = { ...state.game, result: state.ending.result };
    if (state.mode === 'play') {
      if (state.ending) clock.stop();
      else clock.moved(mover);
    }
  }

  // A move can be made from the live position of a game on the player's
  // turn, or in analysis from any position on view.
  function canMove() {
    if (state.promotion || state.replace) return false;
    if (state.mode === 'analyse') return true;
    return !state.ending && state.ply === live() && liveTurn() === state.player && !state.job;
  }

  // A move in analysis that is not the game's next one drops the later
  // moves, or the result of a game that ended with moves still legal.
  function wouldDrop(ply) {
    return ply < live() || !!state.ending;
  }

  function playMove(from, to, promotion) {
    if (!canMove()) return;
    const chess = chessAt(state.game, state.ply);
    if (!promotion && isPromotion(chess, from, to)) {
      state.promotion = { from, to };
      return;
    }
    const legal = findMove(chess, { from, to, promotion });
    if (!legal) return;
    state.message = '';
    state.halted = false;
    const next = state.game.moves[state.ply];
    if (next && next.from === legal.from && next.to === legal.to && next.promotion === legal.promotion) {
      state.ply++;
      return;
    }
    if (state.mode === 'analyse' && wouldDrop(state.ply)) {
      state.replace = { ply: state.ply, move: legal, dropped: live() - state.ply };
      return;
    }
    commitMove(state.ply, legal);
  }

  // The answer to "replace the rest of the game?".
  function confirmReplace(yes) {
    const pending = state.replace;
    state.replace = null;
    if (!yes || !pending) return;
    state.ending = null;
    state.review = null;
    commitMove(pending.ply, pending.move);
  }

  function goToPly(ply) {
    if (state.promotion || state.replace) return;
    state.ply = Math.max(0, Math.min(live(), ply));
  }

  // 'first', 'prev', 'next' or 'last'.
  function navigate(where) {
    const to = { first: 0, prev: state.ply - 1, next: state.ply + 1, last: live() }[where];
    if (to !== undefined) goToPly(to);
  }

  function choosePromotion(piece) {
    const move = state.promotion;
    state.promotion = null;
    if (piece && move) playMove(move.from, move.to, piece);
  }

  function canTakeBack() {
    if (state.mode !== 'play' || state.ending) return false;
    const start = startOf(state.game).split(' ')[1];
    return state.game.moves.some((m, i) => (i % 2 === 0 ? start : other(start)) === state.player);
  }

  // Back to the player's last move: the engine's answer goes too, or a search
  // still choosing it is ended.
  function takeBack() {
    if (!canTakeBack()) return;
    endSearch();
    let ply = live();
    do ply--;
    while (fenAt(state.game, ply).split(' ')[1] !== state.player);
    state.game = cutAt(state.game, ply);
    state.ply = ply;
    state.message = '';
    state.halted = false;
    state.analysis = NO_ANALYSIS;
    clock.run(state.player);
  }

  function finish(result, reason, termination) {
    if (state.ending) return;
    state.ending = { result, reason, termination };
    state.game = { ...state.game, result };
  }

  function flagFell(color) {
    if (state.mode !== 'play' || state.ending) return;
    endSearch();
    finish(other(color) === 'w' ? '1-0' : '0-1', `${NAMES[color]} lost on time`, 'time forfeit');
  }

  function resign() {
    if (state.mode !== 'play' || state.ending) return;
    endSearch();
    clock.stop();
    finish(state.player === 'w' ? '0-1' : '1-0', `${NAMES[state.player]} resigns`, 'normal');
  }

  // 4. Games and modes.

  function newGame({ colour, time, minutes, increment, fen } = {}) {
    const tc = readTimeControl(time ?? '3+2', minutes, increment);
    if (!tc) {
      state.message = 'Give the minutes (more than 0) and the increment in seconds (0 or more).';
      return;
    }
    state.timeControl = tc;
    endSearch();
    state.promotion = null;
    state.replace = null;
    state.review = null;
    state.mode = 'play';
    state.halted = false;
    state.player = colour === 'random' ? (random() < 0.5 ? 'w' : 'b') : colour || 'w';
    state.game = newRecord(fen);
    state.source = 'page';
    state.loadNote = '';
    state.ending = null;
    state.ply = 0;
    state.orientation = state.player;
    state.message = '';
    state.analysis = NO_ANALYSIS;
    engine.send('ucinewgame');
    clock.reset(tc.minutes * 60000, tc.increment * 1000);
    // A position set up already mated or drawn is a game already over.
    state.ending = standardEnding(chessAt(state.game, 0));
    if (!state.ending) clock.run(liveTurn());
  }

  // A game from a PGN: its main line, browsed and analysed; the game on the
  // page stays when the text cannot be read.
  function loadPgn(text) {
    const parsed = parsePgn(text);
    if (parsed.error) {
      state.pgnMessage = { text: `${parsed.error.message} The game on the board stays.`, error: true };
      return;
    }
    const { game, count } = parsed;
    clock.stop();
    state.game = game;
    state.source = 'import';
    state.mode = 'analyse';
    state.ply = 0;
    state.orientation = 'w';
    state.review = state.replace = state.promotion = null;
    state.halted = false;
    state.analysis = NO_ANALYSIS;
    const ending = standardEnding(chessAt(game, game.moves.length));
    state.ending = ending || (game.result !== '*' ? { result: game.result, reason: 'Result as recorded', termination: game.headers.Termination || 'normal' } : null);
    state.pgnMessage = null;
    state.message = '';
    const notes = [];
    if (count > 1) notes.push(`the first of the ${count} games in the text`);
    if (game.variationsDropped > 0)
      notes.push(`${game.variationsDropped} variation${game.variationsDropped > 1 ? 's' : ''} left out: the page keeps the main line`);
    state.loadNote = notes.join('; ');
  }

  // A game against the engine from the position on view.
  function playFromHere(settings) {
    newGame({ ...settings, fen: fenAt(state.game, state.ply) });
  }

  function setFen(checked, settings) {
    if (checked.error) {
      state.fenMessage = { text: `${checked.error} The game goes on unchanged.`, error: true };
      return;
    }
    state.fenMessage = { text: 'Position set up.', error: false };
    newGame({ ...settings, fen: checked.fen });
  }

  function toggleAnalysis() {
    if (state.mode === 'play') {
      state.mode = 'analyse';
      clock.stop();
      state.analysis = NO_ANALYSIS;
    } else {
      state.mode = 'play';
      state.replace = null;
      state.ply = live();
      state.analysis = NO_ANALYSIS;
      if (!state.ending) clock.run(liveTurn());
    }
  }

  // Stop, in analysis mode: the search ends with its worker, and the fresh
  // one waits for the next position on view before it searches again.
  function stop() {
    if (state.mode !== 'analyse' || !state.job || state.job.kind !== 'analyse') return;
    state.analysis = { ...state.analysis, stopped: true };
    endSearch();
  }

  function restartEngine() {
    state.message = '';
    engine.start();
  }

  function setMessage(text) {
    state.message = text;
  }

  function flip() {
    state.orientation = other(state.orientation);
  }

  // The headers of the game as the page exports it.
  function headers() {
    if (state.source === 'import') return { ...state.game.headers, Result: state.game.result };
    const date = today();
    const engineName = state.engine.name;
    const h = {
      Event: state.mode === 'analyse' ? 'Analysis' : 'Casual game',
      Site: 'tarvik in the browser',
      Date: `${date.getFullYear()}.${String(date.getMonth() + 1).padStart(2, '0')}.${String(date.getDate()).padStart(2, '0')}`,
      White: state.player === 'w' ? 'You' : engineName,
      Black: state.player === 'b' ? 'You' : engineName,
      TimeControl: `${Math.round(state.timeControl.minutes * 60)}+${state.timeControl.increment}`,
      Result: state.game.result,
    };
    if (state.ending) h.Termination = state.ending.termination;
    if (state.game.startFen) {
      h.SetUp = '1';
      h.FEN = state.game.startFen;
    }
    return h;
  }

  // The game as PGN, with the review's evaluations and judgements once it
  // is complete.
  function exportPgn() {
    const r = state.review;
    const done = r && !r.running && r.game === state.game;
    return writePgn({ ...state.game, headers: headers() }, done ? { evals: r.evals, judged: r.judged } : undefined);
  }

  return {
    state,
    engine,
    headers,
    exportPgn,
    loadPgn: (text) => act(loadPgn, text),
    canTakeBack,
    canMove,
    start: (settings) =>
      act(() => {
        newGame(settings);
        engine.start();
      }),
    chooseTime: (preset) => act(() => (state.customTime = preset === 'custom')),
    playMove: (from, to, promotion) => act(playMove, from, to, promotion),
    choosePromotion: (piece) => act(choosePromotion, piece),
    confirmReplace: (yes) => act(confirmReplace, yes),
    canReview,
    review: (ms) => act(review, ms),
    cancelReview: () => act(cancelReview),
    playFromHere: (settings) => act(playFromHere, settings),
    goToPly: (ply) => act(goToPly, ply),
    navigate: (where) => act(navigate, where),
    takeBack: () => act(takeBack),
    resign: () => act(resign),
    newGame: (settings) => act(newGame, settings),
    setFen: (checked, settings) => act(setFen, checked, settings),
    toggleAnalysis: () => act(toggleAnalysis),
    stop: () => act(stop),
    restartEngine: () => act(restartEngine),
    setMessage: (text) => act(setMessage, text),
    flip: () => act(flip),
  };
}
