// Accuracy and key moments on values worked out by hand, step by step in the comments.
//   node --test test/accuracy.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { gameAccuracy, keyMoments, moveAccuracy, sideAccuracies, volatilityWeights, winPercent, windowSize } from '../src/accuracy.js';

const close = (actual, expected, what, eps = 1e-4) => assert.ok(Math.abs(actual - expected) < eps, `${what}: ${actual} != ${expected}`);

// The accuracy of a move that drops its mover's win% by d points:
//   103.1668100711649 * exp(-0.04354415386753951 * d) - 3.166924740191411 + 1
// d = 10: exp(-0.43544154) = 0.64697894; * 103.16681 = 66.74675; - 3.16692 + 1 = 64.57983
// d = 20: exp(-0.87088308) = 0.41858175; * 103.16681 = 43.18374; - 3.16692 + 1 = 41.01682
// d = 30: exp(-1.30632462) = 0.27081357; * 103.16681 = 27.93897; - 3.16692 + 1 = 25.77205
// d = 100: exp(-4.35441539) = 0.01284995; * 103.16681 = 1.32569; - 3.16692 + 1 = -0.84124, so 0
const A10 = 64.57983;
const A30 = 25.77205;

test('a move loses accuracy with its mover win%, on the published fit, within 0 and 100', () => {
  for (const [before, after, accuracy] of [
    [60, 50, A10],
    [50, 40, A10],
    [80, 60, 41.01682],
    [45, 15, A30],
    [100, 0, 0],
    [50, 50, 100],
    [40, 55, 100],
    // 103.16681 * exp(-0.00043544) - 2.16692 = 100.95495: over 100
    [50.01, 50, 100],
  ])
    close(moveAccuracy(before, after), accuracy, `${before} -> ${after}`);
});

test('the window is a tenth of the moves, between 2 and 8', () => {
  for (const [moves, size] of [
    [0, 2],
    [1, 2],
    [29, 2],
    [30, 3],
    [59, 5],
    [80, 8],
    [300, 8],
  ])
    assert.equal(windowSize(moves), size, `${moves} moves`);
});

test('a move is weighed by the spread of the window ending after it; the first moves share the first window', () => {
  // 30 moves: windows of 3. All positions at 50 but ply 2 at 70. The window
  // [50, 50, 70] has mean 56.667 and deviations -6.667, -6.667, 13.333:
  // sqrt((44.444 + 44.444 + 177.778) / 3) = sqrt(88.889) = 9.42809.
  // Move 0 takes the first window (plies 0-2) as lila pads the list, move 1
  // the same, move 2 plies 1-3, move 3 plies 2-4; from move 4 on the windows
  // are flat, weighed at the floor of 0.5.
  /** @type {number[]} */
  const wins = Array.from({ length: 31 }, (_, i) => (i === 2 ? 70 : 50));
  const weights = volatilityWeights(wins);
  assert.equal(weights.length, 30);
  weights.forEach((w, i) => close(w, i < 4 ? 9.42809 : 0.5, `move ${i}`));
  // At 100 instead the spread is sqrt(555.556) = 23.57, held to 12.
  wins[2] = 100;
  assert.deepEqual(volatilityWeights(wins).slice(0, 5), [12, 12, 12, 12, 0.5]);
  // A position with no evaluation is left out of its windows: [50, -] has
  // no spread, [-, 60] none either.
  assert.deepEqual(volatilityWeights([50, undefined, 60]), [0.5, 0.5]);
});

test("a tiny game's accuracies by hand", () => {
  // White's win% over four moves, White first: 50, 50, 60, 60, 90.
  // White: 50 -> 50 and 60 -> 60, both 100; so 100.
  // Black: its own win% 50 -> 40 (drop 10) and 40 -> 10 (drop 30): 64.57983
  // and 25.77205. Windows of 2: [50, 60] spreads 5, [60, 90] spreads 15,
  // held to 12. Weighted mean (64.57983 * 5 + 25.77205 * 12) / 17 = 37.18610;
  // harmonic mean 2 / (1 / 64.57983 + 1 / 25.77205) = 36.84161; their mean
  // 37.01386.
  const wins = [50, 50, 60, 60, 90];
  const white = sideAccuracies(wins, 'w');
  assert.equal(white.w, 100);
  close(white.b, 37.01386, 'Black');
  // The same game from a position with Black to move, the board mirrored:
  // the sides change places.
  const mirrored = sideAccuracies(
    wins.map((w) => 100 - w),
    'b',
  );
  assert.equal(mirrored.b, 100);
  close(mirrored.w, 37.01386, 'White');
  // Without the evaluation at ply 1, White's first move and Black's first
  // are left out: White 100 from 60 -> 60, Black 25.77205 alone.
  const gap = sideAccuracies([50, undefined, 60, 60, 90], 'w');
  assert.equal(gap.w, 100);
  close(gap.b, A30, 'Black without its first move');
  // A move of accuracy 0 counts as 1 in the harmonic mean: White
  // (0 + 1 / (1 / 1)) / 2 = 0.5.
  assert.equal(sideAccuracies([100, 0, 0], 'w').w, 0.5);
  assert.deepEqual(sideAccuracies([50, undefined, 50], 'w'), { w: null, b: null }, 'no move with both evaluations');
});

test('win% is ceiled at ten pawns, and a mate sits at the ceiling', () => {
  assert.equal(winPercent({ pawns: 0 }), 50);
  // 50 + 50 * (2 / (1 + exp(-0.00368208 * 1000)) - 1) = 97.54474
  close(winPercent({ pawns: 10 }), 97.54474, 'ten pawns');
  for (const [evaluation, same] of [
    [{ pawns: 25 }, { pawns: 10 }],
    [{ mate: 3 }, { pawns: 10 }],
    [{ mate: -1 }, { pawns: -10 }],
  ])
    assert.equal(winPercent(evaluation), winPercent(same), JSON.stringify(evaluation));
});

test('a clean game scores higher than the same game with one blunder', () => {
  const clean = [0.2, 0.3, 0.1, 0.35, 0.2, 0.4, 0.3, 0.25, 0.5, 0.3, 0.45, 0.2, 0.4, 0.35, 0.3, 0.5, 0.45, 0.6, 0.5, 0.55, 0.4];
  // White's 11th move (ply 11) leaves a piece: the game goes on three pawns down.
  const blundered = clean.map((p, ply) => (ply >= 11 ? p - 3 : p));
  const a = gameAccuracy(
    clean.map((pawns) => ({ pawns })),
    'w',
  );
  const b = gameAccuracy(
    blundered.map((pawns) => ({ pawns })),
    'w',
  );
  assert.ok(a.w > 90 && b.w < a.w - 10, `White: clean ${a.w}, with the blunder ${b.w}`);
  close(b.b, a.b, 'Black played the same moves', 1);
});

test('key moments: the five biggest swings of White win%, in the order played', () => {
  const pawns = [0, 0.1, -3, -3, 2, 2.1, 2.1, 9, 9, -1, -1, 0.5, 0.5, 1.5];
  // White's win%: 50, 50.92, 24.89, 24.89, 67.62, 68.42, 68.42, 96.49, 96.49,
  // 40.90, 40.90, 54.59, 54.59, 63.47. The swings over 5 points: ply 2
  // (-26.03), 4 (+42.73), 7 (+28.07), 9 (-55.59), 11 (+13.69), 13 (+8.88);
  // the five biggest leave out ply 13.
  const evals = pawns.map((p) => ({ pawns: p }));
  const moments = keyMoments(evals);
  assert.deepEqual(
    moments.map((m) => m.ply),
    [2, 4, 7, 9, 11],
  );
  close(moments[3].before, 96.49016, 'before 5... ');
  close(moments[3].after, 40.89741, 'after');
  assert.deepEqual(
    keyMoments(evals, 2).map((m) => m.ply),
    [4, 9],
  );
  // A missing evaluation hides the moves next to it; small swings are none.
  evals[9] = undefined;
  assert.deepEqual(
    keyMoments(evals).map((m) => m.ply),
    [2, 4, 7, 11, 13],
  );
  assert.deepEqual(keyMoments([{ pawns: 0 }, { pawns: 0.2 }, { pawns: 0.1 }]), []);
});
