// The installable page: its version, manifest and icons, the service worker's registration, and the page opening with no network, opening names included.
// Needs the built page (make web): TARVIK_PAGE_DIR, or ../dist/web from here.
//   node --test test/offline.test.mjs
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import test from 'node:test';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';
import { encodeTable, readLines } from '../openings-build.mjs';
import { registerOffline } from '../src/offline.js';
import { decodeTable, openingAt, openingText } from '../src/openings.js';
import { PAGE_DIR, launchBrowser, loadPgn, squareAt, startServer, waitFor, watchPage } from './harness.mjs';
import { START, legalMove, oneMoveApart } from './replay.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));

test('package.json carries the version CMakeLists.txt declares', () => {
  const cmake = fs.readFileSync(path.join(here, '../../CMakeLists.txt'), 'utf8');
  const declared = /^project\(tarvik VERSION ([\d.]+)/m.exec(cmake)[1].split('.');
  while (declared.length < 3) declared.push('0');
  const pkg = JSON.parse(fs.readFileSync(path.join(here, '../package.json'), 'utf8'));
  assert.equal(pkg.version, declared.join('.'));
});

test('the manifest is linked and the service worker registered only over http(s), where browsers have one', async () => {
  const fake = (protocol, withWorkers, fails) => {
    const calls = [];
    const serviceWorker = {
      register: (url) => {
        calls.push(url);
        return fails ? Promise.reject(new Error('refused')) : Promise.resolve({ scope: 'here' });
      },
    };
    const document = { createElement: (tag) => ({ tag }), head: { append: (node) => calls.push(node) } };
    return { calls, scope: { location: { protocol }, navigator: withWorkers ? { serviceWorker } : {}, document } };
  };
  const linked = { tag: 'link', rel: 'manifest', href: 'manifest.webmanifest' };
  for (const [protocol, withWorkers, fails, registered, result] of [
    ['http:', true, false, [linked, './sw.js'], { scope: 'here' }],
    ['https:', true, false, [linked, './sw.js'], { scope: 'here' }],
    ['https:', true, true, [linked, './sw.js'], null],
    ['file:', true, false, [], null],
    ['http:', false, false, [], null],
  ]) {
    const { calls, scope } = fake(protocol, withWorkers, fails);
    assert.deepEqual(await registerOffline(scope), result, `${protocol} ${withWorkers} ${fails}`);
    assert.deepEqual(calls, registered, `${protocol} ${withWorkers} ${fails}`);
  }
  assert.equal(await registerOffline({}), null, 'no location at all');
});

// The size and pixel data of a PNG, every chunk's checksum checked.
function readPng(bytes) {
  assert.deepEqual([...bytes.subarray(0, 8)], [137, 80, 78, 71, 13, 10, 26, 10], 'PNG signature');
  const chunks = {};
  for (let at = 8; at < bytes.length; ) {
    const length = bytes.readUInt32BE(at);
    const body = bytes.subarray(at + 4, at + 8 + length);
    const type = body.subarray(0, 4).toString('ascii');
    assert.equal(bytes.readUInt32BE(at + 8 + length), zlib.crc32(body), `${type} checksum`);
    chunks[type] = Buffer.concat([chunks[type] || Buffer.alloc(0), body.subarray(4)]);
    at += 12 + length;
  }
  assert.ok(chunks.IEND, 'IEND');
  const width = chunks.IHDR.readUInt32BE(0);
  const height = chunks.IHDR.readUInt32BE(4);
  const [depth, colour] = chunks.IHDR.subarray(8, 10);
  const channels = { 2: 3, 6: 4 }[colour];
  assert.ok(depth === 8 && channels, `8-bit RGB(A), not depth ${depth} colour ${colour}`);
  const pixels = zlib.inflateSync(chunks.IDAT);
  assert.equal(pixels.length, height * (1 + width * channels), 'pixel data');
  return { width, height };
}

async function get(url) {
  const res = await fetch(url);
  assert.equal(res.status, 200, url);
  return { type: res.headers.get('content-type'), body: Buffer.from(await res.arrayBuffer()) };
}

test('served over http the page installs, opens with no network and takes a new release; from file:// it only plays', async (t) => {
  assert.ok(fs.existsSync(path.join(PAGE_DIR, 'sw.js')), `no built page in ${PAGE_DIR} (make web, or set TARVIK_PAGE_DIR)`);
  // A copy of the page, which the test can change, served by a server it can
  // stop and start again.
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-offline-'));
  fs.cpSync(PAGE_DIR, dir, { recursive: true });
  const server = await startServer(dir);
  const origin = server.origin;
  const chromium = await launchBrowser();
  const browser = chromium.browser;
  t.after(async () => {
    await chromium.close();
    await server.stop();
    fs.rmSync(dir, { recursive: true, force: true });
  });
  // One page, reloaded from step to step, keeps its service worker and cache.
  const page = await browser.newPage();
  const { problems: errors } = watchPage(page);
  const wait = (fn, ...args) => waitFor(page, fn, 30000, ...args);
  const cacheNames = () => page.evaluate(() => caches.keys());

  // 1. The manifest, linked from the page, and its icons.
  await page.goto(`${origin}/`);
  await wait(() => document.body.dataset.state === 'playing');
  const manifestUrl = await page.$eval('link[rel="manifest"]', (l) => l.href);
  const served = await get(manifestUrl);
  assert.equal(served.type, 'application/manifest+json');
  const manifest = JSON.parse(served.body.toString('utf8'));
  for (const field of ['name', 'short_name']) assert.ok(typeof manifest[field] === 'string' && manifest[field], field);
  assert.deepEqual([manifest.display, manifest.start_url, manifest.scope], ['standalone', './', './']);
  for (const field of ['theme_color', 'background_color']) assert.match(manifest[field], /^#[0-9a-f]{6}$/i, field);
  assert.equal(await page.$eval('meta[name="theme-color"]', (m) => m.content), manifest.theme_color);
  const purposes = new Set();
  for (const icon of manifest.icons) {
    const { type, body } = await get(new URL(icon.src, manifestUrl).href);
    assert.equal(type, icon.type);
    const { width, height } = readPng(body);
    assert.equal(`${width}x${height}`, icon.sizes, icon.src);
    purposes.add(`${icon.purpose} ${icon.sizes}`);
  }
  for (const wanted of ['any 192x192', 'any 512x512', 'maskable 512x512']) assert.ok(purposes.has(wanted), wanted);

  // 2. The service worker takes the page and caches it.
  await wait(() => navigator.serviceWorker.controller !== null);
  const [first] = await cacheNames();
  const pkg = JSON.parse(fs.readFileSync(path.join(here, '../package.json'), 'utf8'));
  assert.ok(first.startsWith(`tarvik-${pkg.version}-`), first);

  // 3. With the server gone, a reload comes from the cache and the engine answers a move.
  await server.stop();
  await assert.rejects(fetch(`${origin}/`), 'the server is down');
  const reloaded = Date.now();
  await page.reload();
  await wait(() => document.body.dataset.state === 'playing');
  t.diagnostic(`offline: the board took a move ${Date.now() - reloaded} ms after the reload`);
  assert.equal(await page.$eval('#board', (b) => /** @type {HTMLElement} */ (b).dataset.fen), START);
  for (const square of ['e2', 'e4']) {
    const { x, y } = await squareAt(page, square, 'w');
    await page.mouse.click(x, y);
  }
  await wait(() => document.getElementById('board').dataset.fen.split(' ')[5] === '2' && document.body.dataset.state === 'playing');
  const answered = await page.$eval('#board', (b) => /** @type {HTMLElement} */ (b).dataset.fen);
  assert.ok(oneMoveApart(legalMove(START, 'e2e4').after, answered), `the engine's answer to e4 is a legal move: ${answered}`);
  // The opening names came from the cache too.
  const table = decodeTable(encodeTable(readLines(path.join(here, '../data/openings'))));
  const named = openingText(openingAt(table, [START, legalMove(START, 'e2e4').after, answered]));
  await wait((text) => document.getElementById('opening').textContent === text, named);
  assert.ok(await page.evaluate((name) => caches.open(name).then((c) => c.match('openings.js')).then(Boolean), first), 'openings.js is cached');

  // 4. A new release: its service worker installs its own cache and deletes the old one.
  const swFile = path.join(dir, 'sw.js');
  fs.writeFileSync(swFile, fs.readFileSync(swFile, 'utf8').replaceAll(first, `${first}-next`));
  const indexFile = path.join(dir, 'index.html');
  fs.writeFileSync(indexFile, fs.readFileSync(indexFile, 'utf8').replace('<title>', '<title>next '));
  await server.restart();
  await page.reload();
  await wait((name) => caches.keys().then((names) => names.length === 1 && names[0] === name), `${first}-next`);
  await page.reload();
  // The game played offline was saved, and the new release opens it, paused.
  await wait((fen) => document.body.dataset.state === 'paused' && document.getElementById('board').dataset.fen === fen, answered);
  assert.match(await page.title(), /^next /);

  // 5. From file:// the page links and registers nothing, and says nothing of it.
  const local = await browser.newPage();
  watchPage(local, { problems: errors });
  await local.goto(`file://${path.join(PAGE_DIR, 'index.html')}`);
  await waitFor(local, () => document.body.dataset.state === 'playing', 30000);
  assert.deepEqual(await local.evaluate(() => [!!document.querySelector('link[rel="manifest"]'), !!(navigator.serviceWorker && navigator.serviceWorker.controller)]), [false, false]);
  // The opening names load there as a script, where a fetch would be refused.
  await loadPgn(local, '1. e4 c5 *');
  await waitFor(local, () => document.querySelectorAll('#moves [data-main]').length === 2, 10000);
  await local.click('#nav-last');
  await waitFor(local, () => document.getElementById('opening').textContent === 'B20 Sicilian Defense', 10000);
  assert.deepEqual(errors, []);
});
