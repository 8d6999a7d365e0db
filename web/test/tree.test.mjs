// The game tree: adding lines, promoting, deleting and undoing, and that no
// change reaches a tree a reader already holds.
//   node --test test/tree.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { play, START_FEN } from '../src/rules.js';
import { addChild, deleteAt, isMainline, lineEnd, mainline, mainlinePath, moveNode, nodeAt, promote, rootNode, siblingPath } from '../src/tree.js';

// A tree from lines of UCI moves, each line from the root, added in order.
function treeOf(...lines) {
  let root = rootNode(START_FEN);
  for (const line of lines) {
    /** @type {string[]} */
    let path = [];
    for (const uci of line.split(' ')) {
      const parent = nodeAt(root, path);
      const move = play(parent.fen, { from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4] });
      assert.ok(move, `${uci} is legal after ${path.join(' ')}`);
      ({ root, path } = addChild(root, path, moveNode(path.length + 1, move)));
    }
  }
  return root;
}
const sans = (root) =>
  mainline(root)
    .slice(1)
    .map((n) => n.san)
    .join(' ');

test('lines share their common moves; the first line added is the main line', () => {
  const root = treeOf('e2e4 e7e5 g1f3', 'e2e4 c7c5', 'd2d4');
  assert.equal(sans(root), 'e4 e5 Nf3');
  assert.deepEqual(
    root.children.map((c) => c.san),
    ['e4', 'd4'],
  );
  assert.deepEqual(
    root.children[0].children.map((c) => c.san),
    ['e5', 'c5'],
  );
  assert.equal(nodeAt(root, ['e2e4', 'c7c5']).ply, 2);
  assert.equal(nodeAt(root, ['e2e4', 'c7c6']), null);
  assert.equal(isMainline(root, ['e2e4', 'e7e5']), true);
  assert.equal(isMainline(root, ['e2e4', 'c7c5']), false);
  assert.deepEqual(lineEnd(root, ['e2e4']), ['e2e4', 'e7e5', 'g1f3']);
  assert.deepEqual(mainlinePath(root, 2), ['e2e4', 'e7e5']);
});

test('a move already in the tree is not added twice', () => {
  const root = treeOf('e2e4 e7e5');
  const again = addChild(root, ['e2e4'], { ...nodeAt(root, ['e2e4', 'e7e5']), children: [] });
  assert.equal(again.root, root, 'the same tree comes back');
  assert.deepEqual(again.path, ['e2e4', 'e7e5']);
});

test('promote makes a line the main line at every branch on its way', () => {
  const root = treeOf('e2e4 e7e5 g1f3 b8c6', 'e2e4 e7e5 f2f4', 'd2d4 d7d5');
  const promoted = promote(root, ['e2e4', 'e7e5', 'f2f4']);
  assert.equal(sans(promoted), 'e4 e5 f4');
  assert.deepEqual(
    nodeAt(promoted, ['e2e4', 'e7e5']).children.map((c) => c.san),
    ['f4', 'Nf3'],
    'the old main move becomes the first variation',
  );
  const deep = promote(root, ['d2d4', 'd7d5']);
  assert.equal(sans(deep), 'd4 d5');
  assert.equal(sans(root), 'e4 e5 Nf3 Nc6', 'the tree held before is unchanged');
});

test('delete removes a move with what follows, and the removed part goes back where it was', () => {
  const root = treeOf('e2e4 e7e5 g1f3', 'e2e4 c7c5', 'e2e4 e7e6');
  const cut = deleteAt(root, ['e2e4', 'c7c5']);
  assert.deepEqual(
    nodeAt(cut.root, ['e2e4']).children.map((c) => c.san),
    ['e5', 'e6'],
  );
  assert.deepEqual(cut.removed.parent, ['e2e4']);
  const back = addChild(cut.root, cut.removed.parent, cut.removed.node, cut.removed.index);
  assert.deepEqual(back.root, root, 'undo gives the same tree, order included');
  assert.equal(deleteAt(root, []), null, 'the start position stays');
  assert.equal(deleteAt(root, ['a2a3']), null);
  const main = deleteAt(root, ['e2e4', 'e7e5']);
  assert.equal(sans(main.root), 'e4 c5', 'deleting the main move makes the next line main');
});

test('up and down walk the moves at a branch, wrapping', () => {
  const root = treeOf('e2e4 e7e5', 'e2e4 c7c5', 'e2e4 e7e6');
  assert.deepEqual(siblingPath(root, ['e2e4', 'e7e5'], 1), ['e2e4', 'c7c5']);
  assert.deepEqual(siblingPath(root, ['e2e4', 'e7e5'], -1), ['e2e4', 'e7e6']);
  assert.deepEqual(siblingPath(root, ['e2e4'], 1), ['e2e4'], 'no branch, no change');
});
