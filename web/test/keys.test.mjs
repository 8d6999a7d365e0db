// The keys, the accuracy and key moments, the player's name and the sounds in chromium: every key the help lists is pressed and its effect checked.
//   TARVIK_PAGE_DIR=../dist/web TARVIK_WEB_ARTEFACTS=../build/web-test node --test test/keys.test.mjs
// @ts-nocheck: most of this file runs in the page (waitFor predicates, $eval
// callbacks), where puppeteer types every element as Element.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { PHONE, data, freshPage, loadPgn, pageAndBrowser, shot, squareAt, view, waitFor } from './harness.mjs';
import { replayTo } from './replay.mjs';

const served = pageAndBrowser();
const openPage = (options = {}) => freshPage(served.browser, { url: `${served.server.origin}/`, origin: served.server.origin, ...options });

// A reviewed game with a side line at 2. Nf3: 2. Nf3 and 2... Nc6 are
// mistakes, 3... Qh4 a blunder, so n and p have somewhere to go.
const GAME = `[White "Ann"]
[Black "Ben"]

{ [%eval 0.2] } 1. e4 { [%eval 0.2] } e5 { [%eval 0.2] } 2. Nf3 { [%eval -3] } (2. Nc3 Nf6) Nc6 { [%eval 0] }
3. Bc4 { [%eval 0] } Qh4 { [%eval 9] } 4. Nxh4 { [%eval 9] } *`;

/** What has the focus: its id, or its data-game-id, or its tag. @param {import('puppeteer-core').Page} page */
const focused = (page) =>
  page.evaluate(() => {
    const el = document.activeElement;
    return el.id || (el.dataset.gameId ? `game ${el.dataset.gameId}` : el.tagName);
  });

/** @param {import('puppeteer-core').Page} page */
const unfocus = (page) => page.evaluate(() => document.activeElement.blur());

/** The main-line plies the list marks as judged. @param {import('puppeteer-core').Page} page */
const judgedPlies = (page) => page.$$eval('#moves [data-main][data-judgement]', (es) => es.map((e) => Number(e.dataset.ply)));

/** @param {import('puppeteer-core').Page} page @param {number} ply */
const goToPly = (page, ply) => page.click(`#moves [data-main][data-ply="${ply}"]`);

// What each key of the list does, checked from a state it sets up. The keys
// are read from the help list itself: a key without a check here fails.
/** @type {Record<string, (page: import('puppeteer-core').Page, press: () => Promise<void>) => Promise<void>>} */
const CHECKS = {
  async ArrowLeft(page, press) {
    await goToPly(page, 3);
    await press();
    const v = await view(page);
    assert.deepEqual([v.ply, v.fen], [2, replayTo(GAME, 2)]);
  },
  async ArrowRight(page, press) {
    await goToPly(page, 3);
    await press();
    const v = await view(page);
    assert.deepEqual([v.ply, v.fen], [4, replayTo(GAME, 4)]);
  },
  async ArrowDown(page, press) {
    await goToPly(page, 3);
    await press();
    const current = await page.$eval('#moves [data-current]', (e) => [e.dataset.san, e.hasAttribute('data-main')]);
    assert.deepEqual(current, ['Nc3', false], 'the side line at the branch');
  },
  async ArrowUp(page, press) {
    await page.click('#moves [data-node]:not([data-main])[data-san="Nc3"]');
    await press();
    const current = await page.$eval('#moves [data-current]', (e) => [e.dataset.san, e.hasAttribute('data-main')]);
    assert.deepEqual(current, ['Nf3', true], 'back to the main line');
  },
  async Home(page, press) {
    await goToPly(page, 5);
    await press();
    assert.equal((await view(page)).ply, 0);
  },
  async End(page, press) {
    await goToPly(page, 2);
    await press();
    const v = await view(page);
    assert.equal(v.ply, v.moves.length);
  },
  async f(page, press) {
    const before = (await view(page)).orientation;
    await press();
    assert.equal((await view(page)).orientation, before === 'w' ? 'b' : 'w');
  },
  async ' '(page, press) {
    await goToPly(page, 4);
    await waitFor(page, () => document.getElementById('info-body').children.length >= 2, 20000);
    await page.click('#stop');
    await waitFor(page, () => document.getElementById('status').textContent.startsWith('Analysis:'), 5000);
    await unfocus(page);
    const best = await page.$eval('#info-body tr:first-child td:last-child', (e) => e.textContent);
    await press();
    const played = await page.$eval('#moves [data-current]', (e) => [e.dataset.san, Number(e.dataset.ply)]);
    assert.deepEqual(played, [best, 5], "the engine's best move is played");
  },
  async n(page, press) {
    await page.click('#nav-first');
    await unfocus(page);
    for (const ply of await judgedPlies(page)) {
      await press();
      assert.equal((await view(page)).ply, ply);
    }
  },
  async p(page, press) {
    await page.click('#nav-last');
    await unfocus(page);
    for (const ply of (await judgedPlies(page)).reverse()) {
      await press();
      assert.equal((await view(page)).ply, ply);
    }
  },
  async l(page, press) {
    const inView = () =>
      page.$eval('#library [data-game-id]', (e) => {
        const box = e.getBoundingClientRect();
        return box.top >= 0 && box.bottom <= window.innerHeight;
      });
    await page.evaluate(() => window.scrollTo(0, 0));
    assert.equal(await inView(), false, 'the library starts out of view');
    await press();
    assert.match(await focused(page), /^game /, "the library's first game has the focus");
    assert.equal(await inView(), true, 'the library is in view');
  },
  async r(page, press) {
    await page.select('#review-time', '50');
    await unfocus(page);
    await press();
    assert.equal((await view(page)).state, 'review');
    await waitFor(page, () => document.body.dataset.state !== 'review', 60000);
  },
  async c(page, press) {
    const before = (await view(page)).comment;
    await press();
    assert.equal(await focused(page), 'comment-input');
    assert.equal((await view(page)).comment, before, 'no c typed into it');
  },
  async '/'(page, press) {
    await press();
    assert.equal(await focused(page), 'move-input');
    assert.equal(await page.$eval('#move-input', (e) => e.value), '', 'no / typed into it');
  },
  async '?'(page, press) {
    await press();
    assert.equal(await page.$eval('#help', (e) => e.hidden), false, 'open');
    await press();
    assert.equal(await page.$eval('#help', (e) => e.hidden), true, 'closed again');
  },
  async Escape(page, press) {
    await page.click('#show-help');
    await press();
    assert.equal(await page.$eval('#help', (e) => e.hidden), true, 'the list closes');
    await page.click('#move-input');
    await press();
    assert.equal(await focused(page), 'BODY', 'the move box is left');
  },
};

test('each key in the help list does what it says; ? opens the list and Escape closes it', async () => {
  const { page, close } = await openPage();
  await loadPgn(page, GAME);
  await page.waitForSelector('#moves [data-judgement]', { timeout: 5000 });
  assert.equal(await page.$eval('#help', (e) => e.hidden), true);
  await unfocus(page);
  await page.keyboard.press('?');
  assert.equal(await page.$eval('#help', (e) => e.hidden), false, '? opens the list');
  const keys = await page.$$eval('#help [data-key]', (es) => es.map((e) => e.dataset.key));
  await shot(page, 'help.png');
  await page.keyboard.press('Escape');
  assert.equal(await page.$eval('#help', (e) => e.hidden), true, 'Escape closes it');
  assert.deepEqual(
    keys.filter((k) => !CHECKS[k]),
    [],
    'every key of the list has its check here',
  );
  for (const key of keys) {
    await unfocus(page);
    await CHECKS[key](page, () => page.keyboard.press(key));
  }
  await page.setViewport({ width: PHONE.width, height: PHONE.height });
  await page.click('#show-help');
  await shot(page, 'help-phone.png');
  await close();
});

test('keys typed into the move box are letters there, not moves of the board', async () => {
  const { page, close } = await openPage();
  await loadPgn(page, GAME);
  await goToPly(page, 3);
  const before = await view(page);
  await page.click('#move-input');
  await page.type('#move-input', 'fnp rlc/?');
  for (const key of ['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', 'Home', 'End']) await page.keyboard.press(key);
  const after = await view(page);
  assert.deepEqual([after.fen, after.ply, after.orientation, after.state], [before.fen, before.ply, before.orientation, before.state]);
  assert.equal(await page.$eval('#move-input', (e) => e.value), 'fnp rlc/?');
  assert.equal(await page.$eval('#help', (e) => e.hidden), true);
  assert.equal(await focused(page), 'move-input');
  // Escape leaves the box, and the keys are the page's again.
  await page.keyboard.press('Escape');
  await page.keyboard.press('ArrowLeft');
  assert.equal((await view(page)).ply, 2);
  await close();
});

test("a review gives each side's accuracy and the key moments, which go to their move", async () => {
  const { page, close } = await openPage();
  await loadPgn(page, data('queen-blunder.pgn'));
  assert.deepEqual(await page.$eval('#key-moments', (e) => e.hidden), true, 'no key moments before a review');
  await page.select('#review-time', '50');
  await page.click('#review');
  await waitFor(page, () => document.body.dataset.state === 'review', 3000);
  await waitFor(page, () => document.body.dataset.state !== 'review', 60000);
  const accuracy = await page.evaluate(() => ['white', 'black'].map((c) => document.getElementById(`accuracy-${c}`).textContent));
  const [white, black] = accuracy.map((t) => Number(/^(\d+(?:\.\d)?)%$/.exec(t)?.[1]));
  assert.ok(white >= 0 && white <= 100 && black >= 0 && black <= 100, `numbers in percent (${accuracy})`);
  assert.ok(black < white, `Black left the queen (${accuracy})`);
  const moments = await page.$$eval('#key-moments [data-ply]', (es) => es.map((e) => [Number(e.dataset.ply), e.textContent]));
  assert.ok(moments.length >= 1 && moments.length <= 5, JSON.stringify(moments));
  const blunder = moments.find(([ply]) => ply === 6);
  assert.ok(blunder && /^3… Qh4 White \d+% → \d+%$/.test(blunder[1]), `3... Qh4 is a key moment (${JSON.stringify(moments)})`);
  await page.click('#nav-first');
  await page.click('#key-moments [data-ply="6"]');
  const v = await view(page);
  assert.deepEqual([v.ply, v.fen], [6, replayTo(data('queen-blunder.pgn'), 6)]);
  await page.$eval('#summary', (e) => e.scrollIntoView({ block: 'center' }));
  await shot(page, 'accuracy.png');
  await page.setViewport({ width: PHONE.width, height: PHONE.height });
  await page.$eval('#summary', (e) => e.scrollIntoView({ block: 'center' }));
  const fits = await page.$eval('#accuracy-black', (e) => [e.getBoundingClientRect().right, document.scrollingElement.scrollWidth]);
  assert.ok(Math.max(...fits) <= PHONE.width, `the accuracy fits a phone's width (${fits})`);
  await shot(page, 'accuracy-phone.png');
  await close();
});

test("the player's name and the sound survive a reload; a game naming the player opens from their side", async () => {
  const { page, close } = await openPage();
  await page.type('#player-name', 'ben ');
  await page.click('#sound');
  // Settings are written as they change; the reload must find them there.
  await waitFor(
    page,
    () =>
      new Promise((resolve) => {
        const open = indexedDB.open('tarvik');
        open.onsuccess = () => {
          const get = open.result.transaction('meta').objectStore('meta').get('settings');
          get.onsuccess = () => {
            open.result.close();
            resolve(get.result && get.result.sound === true && get.result.playerName === 'ben ');
          };
        };
      }),
    5000,
  );
  await page.reload();
  await waitFor(page, () => document.getElementById('sound').checked, 10000);
  assert.equal(await page.$eval('#player-name', (e) => e.value), 'ben ');
  await loadPgn(page, data('queen-blunder.pgn'));
  assert.equal((await view(page)).orientation, 'b', 'Ben plays Black');
  // A new game names the player, and its moves sound without a page error.
  await page.click('#new-game');
  await waitFor(page, () => document.getElementById('status').textContent.startsWith('Your move'), 10000);
  assert.match((await view(page)).pgn, /\[White "ben"\]/);
  for (const square of ['e2', 'e4']) {
    const at = await squareAt(page, square, 'w');
    await page.mouse.click(at.x, at.y);
  }
  await waitFor(page, () => document.getElementById('board').dataset.ply === '2', 30000);
  await close();
});
