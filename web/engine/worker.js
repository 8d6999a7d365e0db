// The engine as a Web Worker (emscripten --pre-js of tarvik-worker.js).
//
//   const engine = new Worker('tarvik-worker.js');
//   engine.onmessage = (e) => console.log(e.data);   // one output line each
//   engine.postMessage('uci');
//   engine.postMessage('position startpos moves e2e4');
//   engine.postMessage('go wtime 60000 btime 60000');
//
// Each message is text holding one or more UCI command lines; each line the
// engine writes arrives as one message, without its line end. Commands sent
// before the engine has started wait for it. A search blocks this worker until
// it ends, never the page; a page that must stop one ends the worker
// (worker.terminate()) and starts a new one. After "quit" the worker closes.
var tarvikPending = [];
var tarvikReady = false;

function tarvikRun() {
  while (tarvikReady && tarvikPending.length) {
    var text = tarvikPending.shift();
    if (!Module['ccall']('tarvik_command', 'number', ['string'], [text + '\n'])) {
      tarvikPending = [];
      self.close();
    }
  }
}

Module['print'] = function (line) {
  postMessage(line);
};
Module['printErr'] = function (line) {
  console.warn(line);
};
Module['onRuntimeInitialized'] = function () {
  tarvikReady = true;
  setTimeout(tarvikRun, 0);
};
self.onmessage = function (e) {
  tarvikPending.push(String(e.data));
  tarvikRun();
};
