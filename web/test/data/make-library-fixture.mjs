// Writes library-vN.json, the stored library of this release's format as the
// page itself writes it: a game played against the engine, resigned and
// reviewed; a loaded game with a variation and clocks; a game set up from a
// FEN and left mid-game. Run it once per format, before the format changes:
// the fixture it leaves is what later releases must still read.
//   node test/data/make-library-fixture.mjs
import 'fake-indexeddb/auto';
import fs from 'node:fs';
import { FORMAT, openStore } from '../../src/store.js';
import { answerReview, playLine, setUp } from '../fakes.mjs';
import { readRaw } from '../raw-idb.mjs';

const factory = new IDBFactory();
let clockTime = Date.UTC(2025, 2, 14, 12);
let games = 0;
const realNow = Date.now;
Date.now = () => clockTime;

/** @param {Date} day */
async function page(day) {
  const s = setUp(undefined, {
    store: () => openStore({ indexedDB: factory, storage: null }),
    today: () => day,
    newId: () => `game-${++games}`,
  });
  await s.ctrl.startLibrary();
  return s;
}
async function settle(s) {
  for (let i = 0; i < 5; i++) {
    await s.ctrl.flushed();
    await new Promise((resolve) => setTimeout(resolve, 5));
  }
}

const played = await page(new Date(2025, 2, 14));
playLine(played, 'f2f3 e7e5 g2g4');
played.engine.say('bestmove d8h4');
played.ctrl.review(100);
answerReview(played, [0, -120, -90, 2147483647, -2147483647], (i) => ['e2e4', 'd7d5', 'e2e4', 'd8h4', 'e1f2'][i]);
await settle(played);

clockTime += 86400000;
const loaded = await page(new Date(2025, 2, 14));
loaded.ctrl.loadPgn(
  [
    '[Event "Tallinn Open"]',
    '[Site "Tallinn EST"]',
    '[Date "2024.11.02"]',
    '[Round "5"]',
    '[White "Kask, Mari"]',
    '[Black "Tamm, Jaan"]',
    '[Result "1/2-1/2"]',
    '[ECO "C50"]',
    '[Opening "Italian Game"]',
    '',
    '1. e4 { [%clk 0:15:00] } e5 { [%clk 0:15:00] } 2. Nf3 { [%clk 0:14:50] } Nc6 { [%clk 0:14:48] }',
    '3. Bc4 { [%clk 0:14:40] [%cal Gf1c4] } ( 3. Bb5 { the Spanish } a6 ) 3... Bc5 { [%clk 0:14:30] } 4. c3 $1 Nf6',
    '5. d4 exd4 6. cxd4 Bb4+ 7. Bd2 Bxd2+ 8. Nbxd2 d5 9. exd5 Nxd5 1/2-1/2',
  ].join('\n'),
);
await settle(loaded);

clockTime += 86400000;
const setup = await page(new Date(2025, 2, 15));
setup.ctrl.setFen({ fen: 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1'.replace('w KQkq', 'w kq') }, { colour: 'w', time: '3+2' });
setup.engine.boot();
playLine(setup, 'e2e4 e7e5 g1f3');
setup.clock.left.w = 171000;
setup.clock.left.b = 176900;
setup.ctrl.saveNow();
await settle(setup);
Date.now = realNow;

const { version, stores } = await readRaw(factory);
for (const [name, store] of Object.entries(stores)) if (name !== 'meta') store.records.sort((x, y) => x.created - y.created);
const out = new URL(`library-v${FORMAT}.json`, import.meta.url);
fs.writeFileSync(out, JSON.stringify({ version, stores }, null, 1) + '\n');
console.log(`wrote ${out.pathname}`);
