// The engine in a Web Worker, spoken to in UCI lines: one message per command
// line in, one per output line out. The worker's script (tarvik-worker.js) is
// bundled into the page and started from a Blob, so the page loads no other
// file and works from file:// as from any static host. A search cannot be
// interrupted from inside, so stopping one ends the worker and starts another.
import workerSource from 'tarvik-worker';

const HANDSHAKE_MS = 20000;

export function createEngine({ onLine, onReady, onFailure }) {
  let worker = null;
  let generation = 0;
  let ready = false;
  let searching = false;
  let url = null;

  function kill() {
    generation++;
    if (worker) worker.terminate();
    worker = null;
    ready = false;
    searching = false;
  }

  function start() {
    kill();
    const mine = generation;
    try {
      url = url || URL.createObjectURL(new Blob([workerSource], { type: 'text/javascript' }));
      worker = new Worker(url);
    } catch (e) {
      worker = null;
      onFailure(`the engine could not be started (${e && e.message ? e.message : e})`);
      return;
    }
    worker.onmessage = (e) => {
      if (mine !== generation) return;
      const line = String(e.data);
      if (line.startsWith('bestmove')) searching = false;
      onLine(line);
      if (line === 'uciok' && !ready) {
        ready = true;
        onReady();
      }
    };
    worker.onerror = (e) => {
      if (mine !== generation) return;
      if (e.preventDefault) e.preventDefault();
      kill();
      onFailure(`the engine stopped (${e && e.message ? e.message : 'no reason given'})`);
    };
    worker.postMessage('uci');
    setTimeout(() => {
      if (mine === generation && !ready) {
        kill();
        onFailure('the engine did not answer');
      }
    }, HANDSHAKE_MS);
  }

  return {
    start,
    // Sends one command line; false when there is no engine to take it.
    send(line) {
      if (!worker) return false;
      if (line.startsWith('go')) searching = true;
      worker.postMessage(line);
      return true;
    },
    // Ends a running search by replacing the worker; the new one starts
    // with a fresh handshake and knows no position.
    stop() {
      if (searching) start();
    },
    get ready() {
      return ready;
    },
    get searching() {
      return searching;
    },
  };
}
