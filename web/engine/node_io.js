// Standard input and output of tarvik.js under Node (emscripten --pre-js).
//
// The runtime's own stdin reader does not work under Node 18 and later, and
// Node would make a pipe non-blocking as soon as process.stdin is touched. So
// stdin is read here, straight from descriptor 0: a read blocks until input
// arrives, as a console program's does, and a descriptor that its writer left
// non-blocking is waited on in short sleeps. Output lines are written
// synchronously, so none is lost when the program ends. The engine's .wasm is
// read from beside this script (the runtime would try to fetch it as a URL).
if (typeof process == 'object' && process.versions && process.versions.node) {
  (function () {
    var fs = require('fs');
    var path = require('path');
    Module['wasmBinary'] = fs.readFileSync(path.join(__dirname, path.basename(__filename, '.js') + '.wasm'));

    var input = Buffer.alloc(65536);
    var filled = 0;
    var next = 0;
    var ended = false;
    var pause = new Int32Array(new SharedArrayBuffer(4));
    function fill() {
      for (;;) {
        try {
          filled = fs.readSync(0, input, 0, input.length, null);
        } catch (e) {
          if (e.code === 'EAGAIN') {
            Atomics.wait(pause, 0, 0, 5);
            continue;
          }
          if (e.code !== 'EOF') throw e;
          filled = 0;
        }
        next = 0;
        ended = filled === 0;
        return;
      }
    }
    // One byte per call; null at the end of input.
    Module['stdin'] = function () {
      if (ended) return null;
      if (next === filled) fill();
      return ended ? null : input[next++];
    };
    Module['print'] = function (line) {
      fs.writeSync(1, line + '\n');
    };
    Module['printErr'] = function (line) {
      fs.writeSync(2, line + '\n');
    };
  })();
}
