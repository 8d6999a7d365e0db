// The browser tests' shared set-up: the built page served from 127.0.0.1, Debian's chromium driven by puppeteer-core, fresh pages that collect what goes wrong, and readers of what the page shows.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before } from 'node:test';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

/** @typedef {import('puppeteer-core').Browser} Browser */
/** @typedef {import('puppeteer-core').Page} Page */
/** @typedef {import('puppeteer-core').Viewport} Viewport */

const here = path.dirname(fileURLToPath(import.meta.url));
/** The built page (make web). */
export const PAGE_DIR = path.resolve(process.env.TARVIK_PAGE_DIR || path.join(here, '../../dist/web'));
/** Where the screenshots are kept. */
export const ARTEFACTS = path.resolve(process.env.TARVIK_WEB_ARTEFACTS || path.join(here, '../../build/web-test'));
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
/** @type {Viewport} */
export const DESKTOP = { width: 1100, height: 850 };
/** @type {Viewport} */
export const PHONE = { width: 390, height: 844, isMobile: true, hasTouch: true };

/** The text of a file in test/data. @param {string} name */
export const data = (name) => fs.readFileSync(path.join(here, 'data', name), 'utf8');

/** A line in the test's output, for the measurements a run reports. @param {string} text */
export function note(text) {
  console.log(`[web] ${text}`);
}

// 1. The static server.

const TYPES = {
  '.html': 'text/html',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.txt': 'text/plain',
  '.json': 'application/json',
  '.webmanifest': 'application/manifest+json',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
};

/**
 * @typedef {object} PageServer
 * @property {string} origin http://127.0.0.1:PORT
 * @property {{ name: string, bytes: number }[]} served each file sent, in order
 * @property {() => Promise<void>} stop closes the server and its open connections
 * @property {() => Promise<void>} restart listens again on the same port
 */

/**
 * Serves the files of dir on 127.0.0.1 at a free port; anything else is a 404.
 * @param {string} dir
 * @returns {Promise<PageServer>}
 */
export async function startServer(dir) {
  /** @type {PageServer['served']} */
  const served = [];
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const file = path.join(dir, name === '/' ? 'index.html' : name);
    if (!file.startsWith(dir) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    const body = fs.readFileSync(file);
    served.push({ name, bytes: body.length });
    res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    res.end(body);
  });
  /** @param {number} port */
  const listen = (port) => new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(undefined)));
  await listen(0);
  const { port } = /** @type {import('node:net').AddressInfo} */ (server.address());
  return {
    origin: `http://127.0.0.1:${port}`,
    served,
    stop() {
      server.closeAllConnections();
      return new Promise((resolve) => server.close(() => resolve()));
    },
    restart: () => listen(port),
  };
}

// 2. The browser.

/**
 * The served page and chromium for a file of browser tests: started before
 * its tests, stopped after them.
 * @returns {{ server: PageServer, browser: Browser }} filled in when the tests start
 */
export function pageAndBrowser() {
  const run = /** @type {{ server: PageServer, browser: Browser }} */ ({});
  /** @type {{ browser: Browser, close: () => Promise<void> } | null} */
  let chromium = null;
  before(async () => {
    assert.ok(fs.existsSync(path.join(PAGE_DIR, 'index.html')), `no page in ${PAGE_DIR}: make web first`);
    fs.mkdirSync(ARTEFACTS, { recursive: true });
    run.server = await startServer(PAGE_DIR);
    chromium = await launchBrowser();
    run.browser = chromium.browser;
  });
  after(async () => {
    if (chromium) await chromium.close();
    if (run.server) await run.server.stop();
  });
  return run;
}

/**
 * Debian's chromium, headless, in a profile of its own that close removes.
 * @returns {Promise<{ browser: Browser, close: () => Promise<void> }>}
 */
export async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvik-chromium-'));
  const remove = () => fs.rmSync(profile, { recursive: true, force: true });
  try {
    const browser = await puppeteer.launch({
      executablePath: CHROMIUM,
      headless: true,
      args: [
        '--no-sandbox',
        '--disable-gpu',
        '--disable-quic',
        '--no-first-run',
        '--disable-background-networking',
        '--disable-component-update',
        '--disable-sync',
        `--user-data-dir=${profile}`,
      ],
    });
    return {
      browser,
      close: async () => {
        await browser.close();
        remove();
      },
    };
  } catch (e) {
    remove();
    throw e;
  }
}

/**
 * Collects into problems what fails a scenario: the page's uncaught errors,
 * its console errors until allowConsoleErrors is called, and, when origin is
 * given, a request for anything but origin's files and file:, blob: and data:
 * URLs.
 * @param {Page} page
 * @param {{ origin?: string, problems?: string[] }} [options]
 */
export function watchPage(page, { origin, problems = [] } = {}) {
  let consoleErrors = false;
  page.on('pageerror', (e) => problems.push(`page error: ${e instanceof Error ? e.message : e}`));
  page.on('console', (m) => {
    if (m.type() === 'error' && !consoleErrors) problems.push(`console error: ${m.text()}`);
  });
  if (origin)
    page.on('request', (r) => {
      const u = r.url();
      if (!(u.startsWith(origin) || u.startsWith('file:') || u.startsWith('blob:') || u.startsWith('data:'))) problems.push(`request to ${u}`);
    });
  return {
    problems,
    // For a scenario that makes the page report an error on its console.
    allowConsoleErrors: () => {
      consoleErrors = true;
    },
  };
}

/**
 * A fresh page at url in a browser context of its own (no cache, storage or
 * service worker shared with another scenario), watched by watchPage. Unless
 * wait is false, it returns once the board takes a move; readyMs is the time
 * that took. close ends the context and fails on any problem collected.
 * @param {Browser} browser
 * @param {object} options
 * @param {string} options.url
 * @param {string} [options.origin] the page's own files: requests elsewhere are problems
 * @param {Viewport} [options.viewport]
 * @param {() => void} [options.setUp] run in the page before its own scripts
 * @param {boolean} [options.wait]
 */
export async function freshPage(browser, { url, origin, viewport = DESKTOP, setUp, wait = true }) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.setViewport(viewport);
  const { problems, allowConsoleErrors } = watchPage(page, { origin });
  if (setUp) await page.evaluateOnNewDocument(setUp);
  const t0 = Date.now();
  await page.goto(url);
  if (wait) await waitFor(page, () => document.getElementById('status').textContent.startsWith('Your move'), 20000);
  const close = async () => {
    await context.close();
    assert.deepEqual(problems, [], 'no page errors and no requests beyond the page');
  };
  return { page, readyMs: Date.now() - t0, close, problems, allowConsoleErrors };
}

/**
 * Waits until fn, run in the page with args, gives a truthy value.
 * @param {Page} page
 * @param {(...args: any[]) => unknown} fn
 * @param {number} timeout ms
 * @param {...unknown} args
 */
export async function waitFor(page, fn, timeout, ...args) {
  await page.waitForFunction(fn, { timeout, polling: 50 }, ...args);
}

// 3. What the page shows, and what a person does with it.

/**
 * What the page shows, through its test hooks.
 * @param {Page} page
 */
export const view = (page) =>
  page.evaluate(() => ({
    fen: document.getElementById('board').dataset.fen,
    ply: Number(document.getElementById('board').dataset.ply),
    state: document.body.dataset.state,
    status: document.getElementById('status').textContent,
    message: document.getElementById('message').textContent,
    pgn: /** @type {HTMLTextAreaElement} */ (document.getElementById('pgn')).value,
    pgnMessage: document.getElementById('pgn-message').textContent,
    players: document.getElementById('players').textContent,
    orientation: document.querySelector('.cg-wrap').classList.contains('orientation-black') ? 'b' : 'w',
    infoRows: document.getElementById('info-body').children.length,
    // The main line's moves; variations are read through their own hooks.
    moves: [...document.querySelectorAll('#moves [data-main]')].map((e) => /** @type {HTMLElement} */ (e).dataset.san),
    comment: /** @type {HTMLTextAreaElement} */ (document.getElementById('comment-input')).value,
  }));

/**
 * The centre of a square on the screen, for either orientation.
 * @param {Page} page
 * @param {string} square 'e4'
 * @param {'w' | 'b'} orientation
 */
export async function squareAt(page, square, orientation) {
  const box = await (await page.$('cg-board')).boundingBox();
  const file = square.charCodeAt(0) - 97;
  const rank = Number(square[1]) - 1;
  const size = box.width / 8;
  const col = orientation === 'w' ? file : 7 - file;
  const row = orientation === 'w' ? 7 - rank : rank;
  return { x: box.x + (col + 0.5) * size, y: box.y + (row + 0.5) * size };
}

/**
 * Pastes a PGN into the page and loads it.
 * @param {Page} page
 * @param {string} text
 */
export async function loadPgn(page, text) {
  await page.$eval('#pgn-input', (e, v) => (/** @type {HTMLTextAreaElement} */ (e).value = v), text);
  await page.click('#load-pgn');
}

/**
 * Types a move into the move box and plays it with Enter.
 * @param {Page} page
 * @param {string} move in SAN or UCI
 */
export async function typeMove(page, move) {
  await page.$eval('#move-input', (e) => (/** @type {HTMLInputElement} */ (e).value = ''));
  await page.type('#move-input', move);
  await page.keyboard.press('Enter');
}

// 4. Screenshots.

/** Where the screenshot name is kept. @param {string} name */
export const artefact = (name) => path.join(ARTEFACTS, name);

/** Makes ARTEFACTS and removes the last run's screenshots from it. */
export function clearArtefacts() {
  fs.mkdirSync(ARTEFACTS, { recursive: true });
  for (const old of fs.readdirSync(ARTEFACTS)) if (old.endsWith('.png')) fs.rmSync(path.join(ARTEFACTS, old));
}

/**
 * Keeps what the page shows as ARTEFACTS/name.
 * @param {Page} page
 * @param {string} name
 * @param {boolean} [fullPage] the whole page rather than the viewport
 */
export async function shot(page, name, fullPage = false) {
  await page.screenshot({ path: artefact(name), fullPage });
}
