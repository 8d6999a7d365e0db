// The review's judgements: winning chances, marks by lost points, mates, summaries and the %eval text.
//   node --test test/review.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { MARKS, NAGS, clipPawns, formatEval, judgeMoves, summarise, whiteEval, winChance } from '../src/review.js';

/** @typedef {import('../src/types.js').Evaluation} Evaluation */

const MATE = 2147483647;
const close = (actual, expected, what, eps = 1e-9) => assert.ok(Math.abs(actual - expected) < eps, `${what}: ${actual} != ${expected}`);
// The pawns from White's side at which White's winning chance is w percent.
const pawnsFor = (w) => Math.atanh((w - 50) / 50) / 0.00184104 / 100;

test('the engine score becomes White pawns or a mate distance from the first depth that saw it', () => {
  for (const [score, depth, turn, expected] of [
    [2400, 0, 'w', { pawns: 1 }],
    [2400, 0, 'b', { pawns: -1 }],
    [-864, 0, 'b', { pawns: 0.36 }],
    [MATE, 1, 'w', { mate: 1 }],
    [MATE, 5, 'w', { mate: 3 }],
    [MATE, 6, 'w', { mate: 3 }],
    [MATE, 3, 'b', { mate: -2 }],
    [-MATE, 4, 'w', { mate: -2 }],
    [-MATE, 7, 'b', { mate: 4 }],
  ])
    assert.deepEqual(whiteEval(score, depth, turn), expected, `${score} depth ${depth} ${turn}`);
});

test('the winning chance follows the logistic curve and mates sit at its ends', () => {
  // Known points of the curve, from the hyperbolic tangent form of the same fit.
  for (const pawns of [0, 0.5, 1, 3, -2, 12.5]) {
    const expected = 50 + 50 * Math.tanh(0.00184104 * 100 * pawns);
    close(winChance({ pawns }, 'w'), expected, `${pawns} for White`);
    close(winChance({ pawns }, 'b'), 100 - expected, `${pawns} for Black`);
  }
  assert.equal(winChance({ pawns: 0 }, 'w'), 50);
  close(winChance({ pawns: 1 }, 'w'), 59.1026, 'one pawn up', 1e-4);
  close(winChance({ pawns: -3 }, 'w'), 24.8874, 'three pawns down', 1e-4);
  for (const [mate, w, b] of [
    [2, 100, 0],
    [-1, 0, 100],
  ]) {
    assert.equal(winChance({ mate }, 'w'), w);
    assert.equal(winChance({ mate }, 'b'), b);
  }
});

test('the bar and the graph clip at ten pawns, mates at the clip', () => {
  for (const [evaluation, clipped] of [
    [{ pawns: 0.4 }, 0.4],
    [{ pawns: -9.99 }, -9.99],
    [{ pawns: 14 }, 10],
    [{ pawns: -40 }, -10],
    [{ mate: 3 }, 10],
    [{ mate: -1 }, -10],
  ])
    assert.equal(clipPawns(evaluation), clipped, JSON.stringify(evaluation));
});

// A White advantage whose chance computes to exactly w per cent, found by
// stepping one float at a time from the inverse of the curve.
function exactPawns(w) {
  const bits = new BigInt64Array(1);
  const value = new Float64Array(bits.buffer);
  value[0] = pawnsFor(w);
  for (let i = 0; i < 1000; i++) {
    const chance = winChance({ pawns: value[0] }, 'w');
    if (chance === w) return value[0];
    // Moving away from zero moves the chance away from 50.
    bits[0] += (chance < w) === value[0] < 0 ? -1n : 1n;
  }
  throw new Error(`no float gives ${w}`);
}

test('a lost 10, 20 or 30 points make an inaccuracy, a mistake or a blunder, for either mover', () => {
  for (const [points, judgement, below] of /** @type {[number, string, string | null][]} */ ([
    [10, 'inaccuracy', null],
    [20, 'mistake', 'inaccuracy'],
    [30, 'blunder', 'mistake'],
  ])) {
    const exact = exactPawns(50 - points);
    const under = pawnsFor(50 - points + 1e-6);
    for (const [pawns, expected] of [
      [exact, judgement],
      [under, below],
    ]) {
      // White moves from an equal position to one worth 50 - points to White.
      const [white] = judgeMoves([{ pawns: 0 }, { pawns }], 'w', ['Nf3']);
      assert.equal(white.judgement, expected, `White to ${pawns}`);
      assert.equal(white.color, 'w');
      // Black moves and White gains the same.
      const [black] = judgeMoves([{ pawns: 0 }, { pawns: -pawns }], 'b', ['Nf6']);
      assert.equal(black.judgement, expected, `Black to ${-pawns}`);
      assert.equal(black.color, 'b');
      assert.equal(black.best, expected ? 'Nf6' : null);
    }
    assert.equal(judgeMoves([{ pawns: 0 }, { pawns: exact }], 'w')[0].loss, points);
  }
});

test('each move is judged from its own mover, with the preferred move of the position before it', () => {
  // Black's second ply throws five pawns away; its fourth wins most of them back.
  const evals = [{ pawns: 0.2 }, { pawns: 0.3 }, { pawns: 5 }, { pawns: 5.1 }, { pawns: 1.5 }];
  const judged = judgeMoves(evals, 'w', ['e4', 'c5', 'Nf3', 'Qe7']);
  assert.deepEqual(
    judged.map((m) => [m.ply, m.color, m.judgement, m.best]),
    [
      [1, 'w', null, null],
      [2, 'b', 'blunder', 'c5'],
      [3, 'w', null, null],
      [4, 'b', null, null],
    ],
  );
  // The fourth move raised its mover's chance: no negative loss is counted.
  assert.equal(judged[3].loss, 0);
  // The same positions with Black to move first turn the movers round.
  const fromBlack = judgeMoves(evals, 'b', []);
  assert.deepEqual(
    fromBlack.map((m) => [m.color, m.judgement]),
    [
      ['b', null],
      ['w', null],
      ['b', null],
      // From +5.1 to +1.5: about 87 to 64 per cent.
      ['w', 'mistake'],
    ],
  );
  assert.equal(fromBlack[3].best, null, 'no preferred move was given');
});

test('mates: walking into one is a blunder, a side already mated blunders nothing new', () => {
  for (const [what, evals, startTurn, expected] of /** @type {[string, Evaluation[], string, string | null][]} */ ([
    ['White walks into a mate from a won position', [{ pawns: 3 }, { mate: -2 }], 'w', 'blunder'],
    // The curve alone gives about 2.5 points from -10 pawns to a mate.
    ['White walks into a mate from a lost position', [{ pawns: -10 }, { mate: -3 }], 'w', 'blunder'],
    ['Black walks into a mate', [{ pawns: -9 }, { mate: 1 }], 'b', 'blunder'],
    ['White was already mated and stays mated', [{ mate: -3 }, { mate: -2 }], 'w', null],
    ['Black was already mated and stays mated', [{ mate: 4 }, { mate: 3 }], 'b', null],
    ['White lets a mate of its own go', [{ mate: 2 }, { pawns: 8 }], 'w', null],
    ['White lets its mate go to an equal position', [{ mate: 2 }, { pawns: 0 }], 'w', 'blunder'],
    ['Black gives up its mate and walks into one', [{ mate: -2 }, { mate: 3 }], 'b', 'blunder'],
    ['White mates', [{ mate: 1 }, { mate: 1 }], 'w', null],
  ])) {
    const [move] = judgeMoves(evals, startTurn, ['Kh1']);
    assert.equal(move.judgement, expected, what);
  }
});

test('book moves are never judged, however much they lose; the first move after them is', () => {
  // Each move throws away a queen's worth; Black's second walks into a mate.
  const evals = [{ pawns: 0 }, { pawns: -9 }, { pawns: 9 }, { pawns: -9 }, { mate: 1 }, { pawns: -9 }];
  const best = ['e4', 'e5', 'Nf3', 'Nc6', 'Bb5'];
  for (const [book, judgements] of /** @type {[number, (string | null)[]][]} */ ([
    [0, ['blunder', 'blunder', 'blunder', 'blunder', 'blunder']],
    [2, [null, null, 'blunder', 'blunder', 'blunder']],
    [4, [null, null, null, null, 'blunder']],
    [5, [null, null, null, null, null]],
    [9, [null, null, null, null, null]],
  ])) {
    const judged = judgeMoves(evals, 'w', best, book);
    assert.deepEqual(judged.map((m) => m.judgement), judgements, `${book} book plies`);
    assert.deepEqual(judged.map((m) => m.book), judged.map((m) => m.ply <= book), `${book} book plies`);
    assert.deepEqual(judged.map((m) => m.best), judgements.map((j, i) => (j ? best[i] : null)), 'a preferred move only for a judged one');
    // The loss still counts in the averages.
    assert.deepEqual(judged.map((m) => m.loss), judgeMoves(evals, 'w', best).map((m) => m.loss));
    const summary = summarise(judged);
    assert.equal(summary.w.blunder + summary.b.blunder, judgements.filter(Boolean).length);
  }
});

test('a missing evaluation leaves the moves next to it unjudged and out of the average', () => {
  const evals = [{ pawns: 0 }, { pawns: -6 }, undefined, { pawns: -6 }, { pawns: -6 }];
  const judged = judgeMoves(evals, 'w', ['e4', 'e5', 'Nf3', 'Nc6']);
  assert.deepEqual(
    judged.map((m) => [m.judgement, m.loss === null]),
    [
      ['blunder', false],
      [null, true],
      [null, true],
      [null, false],
    ],
  );
  const summary = summarise(judged);
  assert.equal(summary.w.blunder, 1);
  close(summary.w.averageLoss, 50 - winChance({ pawns: -6 }, 'w'), 'only the first White move counts');
  assert.equal(summary.b.averageLoss, 0);
  assert.deepEqual(judgeMoves([], 'w'), []);
  assert.deepEqual(judgeMoves([{ pawns: 0 }], 'w'), []);
});

test('the summary counts each side and averages its losses', () => {
  const judged = [
    { ply: 1, color: 'w', loss: 12, judgement: 'inaccuracy', best: 'd4' },
    { ply: 2, color: 'b', loss: 0, judgement: null, best: null },
    { ply: 3, color: 'w', loss: 35, judgement: 'blunder', best: 'Nf3' },
    { ply: 4, color: 'b', loss: 22, judgement: 'mistake', best: 'Nc6' },
    { ply: 5, color: 'w', loss: 1, judgement: null, best: null },
    { ply: 6, color: 'b', loss: null, judgement: null, best: null },
    { ply: 7, color: 'w', loss: 31, judgement: 'blunder', best: 'Kg1' },
  ];
  assert.deepEqual(summarise(judged), {
    w: { inaccuracy: 1, mistake: 0, blunder: 2, averageLoss: (12 + 35 + 1 + 31) / 4 },
    b: { inaccuracy: 0, mistake: 1, blunder: 0, averageLoss: 11 },
  });
  assert.deepEqual(summarise([]), {
    w: { inaccuracy: 0, mistake: 0, blunder: 0, averageLoss: 0 },
    b: { inaccuracy: 0, mistake: 0, blunder: 0, averageLoss: 0 },
  });
});

test('the %eval text is two decimals from White, or #n for mates', () => {
  for (const [evaluation, text] of [
    [{ pawns: 0.35 }, '0.35'],
    [{ pawns: -1.2 }, '-1.20'],
    [{ pawns: 0 }, '0.00'],
    [{ pawns: -0.001 }, '0.00'],
    [{ pawns: 12.345 }, '12.35'],
    [{ mate: 3 }, '#3'],
    [{ mate: -2 }, '#-2'],
  ])
    assert.equal(formatEval(evaluation), text, JSON.stringify(evaluation));
  assert.equal(formatEval(whiteEval(-864, 0, 'w')), '-0.36');
});

test('each mark and its NAG mean the same in the standard NAG table', () => {
  const standard = [null, '!', '?', '!!', '??', '!?', '?!'];
  for (const judgement of ['inaccuracy', 'mistake', 'blunder']) assert.equal(standard[NAGS[judgement]], MARKS[judgement], judgement);
});
