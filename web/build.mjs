// Builds the page into one folder: index.html, app.js (the page with the
// engine worker inside), app.css, the web app manifest, its icons and the
// service worker, tarvik-worker.js for other web tools, the opening names
// (openings.js, loaded after the board), and the notices of the libraries and
// data the page bundles.
//   node build.mjs WORKER_JS OUT_DIR
import { build } from 'esbuild';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';
import { encodeTable, readLines } from './openings-build.mjs';
import { OPENINGS_FILE, OPENINGS_GLOBAL } from './src/openings.js';

const here = path.dirname(fileURLToPath(import.meta.url));
const [workerPath, outDir] = process.argv.slice(2).map((p) => path.resolve(p));
if (!workerPath || !outDir || !fs.existsSync(workerPath)) {
  console.error('usage: node build.mjs WORKER_JS OUT_DIR (WORKER_JS from make wasm)');
  process.exit(2);
}
// The most the page's files may weigh together: 350 KiB.
const PAGE_LIMIT = 350 * 1024;
// The opening names come after the board and count apart: at most 250 KiB.
const OPENINGS_LIMIT = 250 * 1024;
const fail = (message) => {
  console.error(`build.mjs: ${message}`);
  process.exit(1);
};

// 1. The version: CMakeLists.txt holds it; package.json must say the same,
// padded to three numbers as npm wants.
const cmake = fs.readFileSync(path.join(here, '../CMakeLists.txt'), 'utf8');
const declared = /project\(\s*tarvik\s+VERSION\s+(\d+(?:\.\d+){0,2})\b/.exec(cmake);
if (!declared) fail('no project(tarvik VERSION ...) in CMakeLists.txt');
const version = [...declared[1].split('.'), '0', '0'].slice(0, 3).join('.');
const pkg = JSON.parse(fs.readFileSync(path.join(here, 'package.json'), 'utf8'));
if (pkg.version !== version)
  fail(`web/package.json has version ${pkg.version} but CMakeLists.txt has ${declared[1]}: set package.json's to ${version}`);

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
const script = (source, output, more) =>
  build({ ...common, entryPoints: [path.join(here, source)], outfile: path.join(outDir, output), format: 'iife', target: ['es2020'], ...more });
await script('src/main.js', 'app.js', { plugins: [workerText] });
await build({ ...common, entryPoints: [path.join(here, 'src/style.css')], outfile: path.join(outDir, 'app.css') });
fs.copyFileSync(path.join(here, 'src/index.html'), path.join(outDir, 'index.html'));
fs.copyFileSync(workerPath, path.join(outDir, 'tarvik-worker.js'));

// The opening names, as a script that sets one global: a page opened from a
// file may load a script where it may not fetch. Names outside ASCII are
// escaped, so the file reads the same whatever charset a server claims.
const openingsDir = path.join(here, 'data/openings');
let openings;
try {
  openings = encodeTable(readLines(openingsDir));
} catch (e) {
  fail(`opening names: ${e instanceof Error ? e.message : e}`);
}
const openingsJson = JSON.stringify(openings).replace(/[\u007f-\uffff]/g, (c) => `\\u${c.charCodeAt(0).toString(16).padStart(4, '0')}`);
fs.writeFileSync(path.join(outDir, OPENINGS_FILE), `globalThis.${OPENINGS_GLOBAL}=${openingsJson};\n`);
const openingsSize = fs.statSync(path.join(outDir, OPENINGS_FILE)).size;
console.log(`openings: ${OPENINGS_FILE} ${openingsSize} bytes (${(openingsSize / 1024).toFixed(1)} KiB), loaded after the board`);
if (openingsSize > OPENINGS_LIMIT) fail(`${OPENINGS_FILE} has ${openingsSize} bytes, more than the ${OPENINGS_LIMIT} (250 KiB) allowed`);

// What the page bundles besides tarvik, with each licence's full text.
const notices = [
  `Third-party software and data in tarvik-worker.js, tarvik.js, tarvik.wasm and the page (app.js, app.css, ${OPENINGS_FILE})`,
  '',
];
for (const name of ['chessground', 'chessops', '@badrap/result', 'idb']) {
  const dir = path.join(here, 'node_modules', name);
  const pkg = JSON.parse(fs.readFileSync(path.join(dir, 'package.json'), 'utf8'));
  const licence = ['LICENSE', 'LICENSE.txt', 'LICENSE.md'].map((f) => path.join(dir, f)).find((f) => fs.existsSync(f));
  if (!licence) fail(`${name} has no licence file to copy into the notices`);
  notices.push('='.repeat(78), `${name} ${pkg.version} (${pkg.license}), bundled in app.js and app.css`, '='.repeat(78), '');
  notices.push(fs.readFileSync(licence, 'utf8').trim(), '');
}
const emscripten = [
  ['/usr/share/doc/emscripten/copyright', 'emscripten runtime, musl libc, LLVM libc++, libc++abi and compiler-rt'],
];
for (const [file, what] of emscripten) {
  if (!fs.existsSync(file)) continue;
  notices.push('='.repeat(78), `${what} (compiled into the engine by emscripten): Debian's copyright file`, '='.repeat(78), '');
  notices.push(fs.readFileSync(file, 'utf8').trim(), '');
}
notices.push('='.repeat(78), `The opening names in ${OPENINGS_FILE}: lichess-org/chess-openings (CC0 1.0 Universal)`, '='.repeat(78), '');
notices.push(fs.readFileSync(path.join(openingsDir, 'SOURCE.md'), 'utf8').trim(), '');
fs.writeFileSync(path.join(outDir, 'THIRD_PARTY_NOTICES.txt'), notices.join('\n'));

// 2. Installing: the manifest and its icons. The theme colour is the one in
// index.html's <head>, so the two cannot differ.
const html = fs.readFileSync(path.join(outDir, 'index.html'), 'utf8');
const theme = /<meta name="theme-color" content="(#[0-9a-f]{6})"/i.exec(html);
if (!theme) fail('index.html has no <meta name="theme-color" content="#rrggbb">');
const ICONS = [192, 512];
for (const size of ICONS) fs.writeFileSync(path.join(outDir, `icon-${size}.png`), png(size, iconPixel));
const manifest = {
  name: 'tarvik: play and analyse',
  short_name: 'tarvik',
  description: 'Play and analyse chess against tarvik, an engine that runs in your browser.',
  start_url: './',
  scope: './',
  display: 'standalone',
  theme_color: theme[1],
  background_color: '#f3f1ec',
  icons: ICONS.flatMap((size) =>
    ['any', 'maskable'].map((purpose) => ({ src: `icon-${size}.png`, sizes: `${size}x${size}`, type: 'image/png', purpose })),
  ),
};
fs.writeFileSync(path.join(outDir, 'manifest.webmanifest'), JSON.stringify(manifest, null, 2) + '\n');

// 3. Offline: the service worker caches every file the page loads, under a
// name that changes with the version and with any byte of those files.
const start = ['index.html', 'app.js', 'app.css', 'manifest.webmanifest', ...ICONS.map((size) => `icon-${size}.png`)];
const cached = [...start, OPENINGS_FILE];
const hash = crypto.createHash('sha256');
for (const f of cached) hash.update(f).update('\0').update(fs.readFileSync(path.join(outDir, f)));
const cacheName = `tarvik-${version}-${hash.digest('hex').slice(0, 16)}`;
await script('src/sw.js', 'sw.js', {
  define: { TARVIK_CACHE: JSON.stringify(cacheName), TARVIK_FILES: JSON.stringify(['./', ...cached]) },
});

// 4. The size of the page at its start, against its limit.
let total = 0;
for (const f of [...start, 'sw.js']) {
  const size = fs.statSync(path.join(outDir, f)).size;
  total += size;
  console.log(`page: ${f.padEnd(22)} ${String(size).padStart(7)} bytes`);
}
console.log(`page: ${outDir}: ${total} bytes (${(total / 1024).toFixed(1)} KiB) to load, cache ${cacheName}`);
if (total > PAGE_LIMIT) fail(`the page's files total ${total} bytes, more than the ${PAGE_LIMIT} (350 KiB) allowed`);

// The icon: a white pawn on a piece of board. The pawn stays inside the
// circle that every mask leaves (80% of the width), so one file serves as
// the plain icon and as the maskable one.
function iconPixel(x, y) {
  const DARK = [74, 55, 40];
  const LIGHT_SQUARE = [240, 217, 181];
  const DARK_SQUARE = [181, 136, 99];
  const inPawn = (grow) => {
    const head = Math.hypot(x - 0.5, y - 0.35) < 0.075 + grow;
    const collar = Math.abs(y - 0.45) < 0.018 + grow && Math.abs(x - 0.5) < 0.09 + grow;
    const t = (y - 0.45) / 0.2;
    const body = t >= 0 && t <= 1 && Math.abs(x - 0.5) < 0.05 + 0.1 * t + grow;
    const base = y > 0.65 - grow && y < 0.7 + grow && Math.abs(x - 0.5) < 0.17 + grow;
    return head || collar || body || base;
  };
  if (inPawn(0)) return [255, 255, 255];
  if (inPawn(0.018)) return [34, 34, 34];
  const board = (v) => Math.floor((v - 0.2) / 0.15);
  if (x < 0.2 || x >= 0.8 || y < 0.2 || y >= 0.8) return DARK;
  return (board(x) + board(y)) % 2 === 0 ? LIGHT_SQUARE : DARK_SQUARE;
}

// An 8-bit RGB PNG of size by size pixels, each pixel the mean of 4 by 4
// samples of pixel(x, y) over the unit square, for smooth edges.
function png(size, pixel) {
  const row = 1 + size * 3;
  const raw = Buffer.alloc(size * row);
  for (let py = 0; py < size; py++) {
    for (let px = 0; px < size; px++) {
      const sum = [0, 0, 0];
      for (let sy = 0; sy < 4; sy++)
        for (let sx = 0; sx < 4; sx++) {
          const c = pixel((px + (sx + 0.5) / 4) / size, (py + (sy + 0.5) / 4) / size);
          for (let k = 0; k < 3; k++) sum[k] += c[k];
        }
      for (let k = 0; k < 3; k++) raw[py * row + 1 + px * 3 + k] = Math.round(sum[k] / 16);
    }
  }
  const chunk = (type, data) => {
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(zlib.crc32(body));
    return Buffer.concat([length, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header.set([8, 2, 0, 0, 0], 8); // 8 bits a channel, RGB, deflate, filter 0, no interlace
  return Buffer.concat([
    Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]),
    chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(raw, { level: 9 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}
