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
import { parseBestMove, parseInfo } from './uci.js';

export const NAMES = { w: 'White', b: 'Black' };
export const ENGINE_NAME = 'tarvik';
const INFO_ROWS = 8;
const NO_ANALYSIS = { fen: null, ply: null, lines: [], stopped: false };

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
    // What the running search is for: { kind: 'move' | 'analyse', fen, ply }.
    job: null,
    // The engine's lines for the position it last searched, newest first;
    // fen names that position, stopped that Stop ended the search.
    analysis: NO_ANALYSIS,
    // The engine's reply was refused; it is not asked again until the player
    // acts.
    halted: false,
    promotion: null,
    clock: { w: 0, b: 0, running: null },
    message: '',
    fenMessage: null,
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
  function endSearch() {
    if (engine.searching) engine.stop();
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
    if (state.mode === 'play') {
      if (!state.ending && !state.halted && liveTurn() !== state.player) want = { kind: 'move', fen: fenAt(state.game, live()), ply: live() };
    } else want = { kind: 'analyse', fen: fenAt(state.game, state.ply), ply: state.ply };
    const job = state.job;
    if (job && !(want && job.kind === want.kind && job.fen === want.fen && job.ply === want.ply)) endSearch();
    if (!want || state.job || !engine.ready || engine.searching) return;
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

  // 2. Moves.

  // Plays a legal move at ply and keeps the clocks and the result in step.
  function commitMove(ply, move) {
    const mover = fenAt(state.game, ply).split(' ')[1];
    state.game = playAt(state.game, ply, move);
    state.ply = live();
    state.ending = standardEnding(chessAt(state.game, live()));
    if (state.ending) state.game = { ...state.game, result: state.ending.result };
    if (state.mode === 'play') {
      if (state.ending) clock.stop();
      else clock.moved(mover);
    }
  }

  function canMove() {
    if (state.promotion || state.ending) return false;
    if (state.mode === 'analyse') return true;
    return state.ply === live() && liveTurn() === state.player && !state.job;
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
    commitMove(state.ply, legal);
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

  // 3. Games and modes.

  function newGame({ colour, time, minutes, increment, fen } = {}) {
    const tc = readTimeControl(time ?? '3+2', minutes, increment);
    if (!tc) {
      state.message = 'Give the minutes (more than 0) and the increment in seconds (0 or more).';
      return;
    }
    state.timeControl = tc;
    endSearch();
    state.promotion = null;
    state.mode = 'play';
    state.halted = false;
    state.player = colour === 'random' ? (random() < 0.5 ? 'w' : 'b') : colour || 'w';
    state.game = newRecord(fen);
    state.ending = null;
    state.ply = 0;
    state.orientation = state.player;
    state.message = '';
    state.analysis = NO_ANALYSIS;
    engine.send('ucinewgame');
    clock.reset(tc.minutes * 60000, tc.increment * 1000);
    clock.run(liveTurn());
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
      state.ply = live();
      state.analysis = NO_ANALYSIS;
      if (!state.ending) clock.run(liveTurn());
    }
  }

  // Stop, in analysis mode: the search ends with its worker, and the fresh
  // one waits for the next position on view before it searches again.
  function stop() {
    if (state.mode !== 'analyse' || !state.job) return;
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

  return {
    state,
    engine,
    headers,
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
