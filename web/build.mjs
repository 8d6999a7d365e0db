// Builds the page into one folder: index.html, app.js (the page with the
// engine worker inside), app.css, tarvik-worker.js for other web tools, and
// the notices of the libraries the page bundles.
//   node build.mjs WORKER_JS OUT_DIR
import { build } from 'esbuild';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const [workerPath, outDir] = process.argv.slice(2).map((p) => path.resolve(p));
if (!workerPath || !outDir || !fs.existsSync(workerPath)) {
  console.error('usage: node build.mjs WORKER_JS OUT_DIR (WORKER_JS from make wasm)');
  process.exit(2);
}
fs.rmSync(outDir, { recursive: true, force: true });
fs.mkdirSync(outDir, { recursive: true });

// The worker's script becomes a string in the page's bundle.
const workerText = {
  name: 'tarvik-worker',
  setup(b) {
    b.onResolve({ filter: /^tarvik-worker$/ }, () => ({ path: workerPath, namespace: 'tarvik-worker' }));
    b.onLoad({ filter: /.*/, namespace: 'tarvik-worker' }, () => ({
      contents: fs.readFileSync(workerPath, 'utf8'),
      loader: 'text',
    }));
  },
};

const common = { bundle: true, minify: true, legalComments: 'none', logLevel: 'warning' };
await build({
  ...common,
  entryPoints: [path.join(here, 'src/main.js')],
  outfile: path.join(outDir, 'app.js'),
  format: 'iife',
  target: ['es2020'],
  plugins: [workerText],
});
await build({ ...common, entryPoints: [path.join(here, 'src/style.css')], outfile: path.join(outDir, 'app.css') });
fs.copyFileSync(path.join(here, 'src/index.html'), path.join(outDir, 'index.html'));
fs.copyFileSync(workerPath, path.join(outDir, 'tarvik-worker.js'));

// What the page bundles besides tarvik, with each licence's full text.
const notices = [
  'Third-party software in tarvik-worker.js, tarvik.js, tarvik.wasm and the page (app.js, app.css)',
  '',
];
for (const name of ['chessground', 'chess.js']) {
  const dir = path.join(here, 'node_modules', name);
  const pkg = JSON.parse(fs.readFileSync(path.join(dir, 'package.json'), 'utf8'));
  notices.push('='.repeat(78), `${name} ${pkg.version} (${pkg.license}), bundled in app.js and app.css`, '='.repeat(78), '');
  notices.push(fs.readFileSync(path.join(dir, 'LICENSE'), 'utf8').trim(), '');
}
const emscripten = [
  ['/usr/share/doc/emscripten/copyright', 'emscripten runtime, musl libc, LLVM libc++, libc++abi and compiler-rt'],
];
for (const [file, what] of emscripten) {
  if (!fs.existsSync(file)) continue;
  notices.push('='.repeat(78), `${what} (compiled into the engine by emscripten): Debian's copyright file`, '='.repeat(78), '');
  notices.push(fs.readFileSync(file, 'utf8').trim(), '');
}
fs.writeFileSync(path.join(outDir, 'THIRD_PARTY_NOTICES.txt'), notices.join('\n'));

let total = 0;
for (const f of ['index.html', 'app.js', 'app.css']) total += fs.statSync(path.join(outDir, f)).size;
console.log(`page: ${outDir}: ${total} bytes to load (index.html, app.js, app.css)`);
