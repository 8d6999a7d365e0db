// The controller's world without a browser, for the tests: a scripted
// engine, a clock moved by hand, and a controller built on them.
import assert from 'node:assert/strict';
import { createController } from '../src/controller.js';
import { openStore } from '../src/store.js';
import { mainline } from '../src/tree.js';

// An engine that records what it is sent and answers only when told.
export function scriptedEngine() {
  const engine = { sent: [], starts: 0, ready: false, searching: false, handlers: null };
  engine.make = (handlers) => {
    engine.handlers = handlers;
    return {
      start() {
        engine.starts++;
        engine.ready = false;
        engine.searching = false;
        engine.sent.push('(new worker)');
      },
      send(line) {
        if (line.startsWith('go')) engine.searching = true;
        engine.sent.push(line);
        return true;
      },
      stop() {
        if (engine.searching) this.start();
      },
      get ready() {
        return engine.ready;
      },
      get searching() {
        return engine.searching;
      },
    };
  };
  engine.boot = () => {
    engine.handlers.onLine('id name tarvik 19.0.0');
    engine.ready = true;
    engine.handlers.onLine('uciok');
    engine.handlers.onReady();
  };
  engine.say = (line) => {
    if (line.startsWith('bestmove')) engine.searching = false;
    engine.handlers.onLine(line);
  };
  engine.fail = (reason) => {
    engine.ready = false;
    engine.searching = false;
    engine.handlers.onFailure(reason);
  };
  engine.last = (prefix) => [...engine.sent].reverse().find((l) => l.startsWith(prefix));
  return engine;
}

export function fakeClock() {
  const clock = { left: { w: 0, b: 0 }, increment: 0, running: null, handlers: null, log: [] };
  clock.make = (handlers) => {
    clock.handlers = handlers;
    return {
      reset(ms, inc) {
        clock.left.w = clock.left.b = ms;
        clock.increment = inc;
        clock.running = null;
        handlers.onTick();
      },
      run(color) {
        clock.running = color;
        clock.log.push(`run ${color}`);
        handlers.onTick();
      },
      set(w, b) {
        clock.left.w = w;
        clock.left.b = b;
        clock.running = null;
      },
      moved(mover) {
        clock.left[mover] += clock.increment;
        clock.running = mover === 'w' ? 'b' : 'w';
        clock.log.push(`moved ${mover}`);
      },
      stop() {
        clock.running = null;
        clock.log.push('stop');
      },
      left: (color) => clock.left[color],
      get increment() {
        return clock.increment;
      },
      get running() {
        return clock.running;
      },
    };
  };
  clock.fall = (color) => {
    clock.left[color] = 0;
    clock.running = null;
    clock.handlers.onFlag(color);
  };
  return clock;
}

/**
 * A controller on a scripted engine and a hand-moved clock, started with
 * settings; store opens its library when given.
 * @param {object} [settings]
 * @param {{ store?: () => Promise<any>, today?: () => Date, newId?: () => string, sound?: (kind: 'move' | 'capture') => void }} [more]
 */
export function setUp(settings = { colour: 'w', time: '3+2' }, more = {}) {
  const engine = scriptedEngine();
  const clock = fakeClock();
  let renders = 0;
  const ctrl = createController({
    engine: engine.make,
    clock: clock.make,
    render: () => renders++,
    random: () => 0.7,
    today: () => new Date(2026, 0, 5),
    later: (fn) => fn(),
    ...more,
  });
  ctrl.start(settings);
  engine.boot();
  return { ctrl, engine, clock, state: ctrl.state, renders: () => renders };
}

export const line = (state) => mainline(state.game.root).slice(1);
export const sans = (state) => line(state).map((n) => n.san).join(' ');

// Plays moves given as UCI text, the engine answering with the next one.
export function playLine(s, line) {
  const moves = line.split(' ');
  for (let i = 0; i < moves.length; i += 2) {
    s.ctrl.playMove(moves[i].slice(0, 2), moves[i].slice(2, 4), moves[i][4]);
    if (moves[i + 1]) s.engine.say(`bestmove ${moves[i + 1]}`);
  }
}

// Lets the library's pending reads and writes finish.
/** @param {{ ctrl: { flushed: () => Promise<void> } }} s */
export async function settle(s) {
  for (let i = 0; i < 6; i++) {
    await s.ctrl.flushed();
    await new Promise((resolve) => setTimeout(resolve, 5));
  }
}

// Answers the review's searches: scores[i] for position i, from the side
// to move, as the engine writes them, each at depth 3.
/**
 * @param {ReturnType<typeof setUp>} s
 * @param {number[]} scores
 * @param {(i: number) => string} [best]
 */
export function answerReview(s, scores, best = () => 'a7a6') {
  const asked = [];
  while (s.state.review.run) {
    if (!s.engine.ready) s.engine.boot();
    const go = s.engine.last('go');
    asked.push(s.engine.last('position'));
    const i = s.state.review.run.next;
    // A mate ends the search at the depth that finds it.
    if (Math.abs(scores[i]) < 2147483647) s.engine.say(`info depth 1 score cp 0 nps 1 nodes 1 time 1 pv e2e4`);
    s.engine.say(`info depth ${Math.abs(scores[i]) < 2147483647 ? 3 : 1} score cp ${scores[i]} nps 1 nodes 1 time 1 pv e2e4`);
    s.engine.say(`bestmove ${best(i)}`);
    assert.equal(go, 'go movetime 40000');
  }
  return asked;
}

/**
 * A page opened on the library in factory, as after a reload.
 * @param {IDBFactory} factory
 * @param {object} [settings]
 */
export async function reopen(factory, settings = undefined) {
  const s = setUp(settings, { store: () => openStore({ indexedDB: factory, storage: null }) });
  await s.ctrl.startLibrary();
  await settle(s);
  return s;
}
