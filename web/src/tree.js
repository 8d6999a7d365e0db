// The game tree: positions reached by moves, each node with its children in
// order (the first continues the line). A change returns a new root that
// shares every node off the changed path, so a stored or drawn tree is never
// changed under its reader.

/** @typedef {import('./types.js').TreeNode} TreeNode */
/** @typedef {import('./types.js').Path} Path */

/**
 * @param {string} fen
 * @returns {TreeNode}
 */
export function rootNode(fen) {
  return { id: '', ply: 0, san: '', fen, children: [], comment: '', commands: '', nags: [] };
}

/**
 * @param {number} ply
 * @param {{ id: string, san: string, fen: string }} move
 * @returns {TreeNode}
 */
export function moveNode(ply, { id, san, fen }) {
  return { id, ply, san, fen, children: [], comment: '', commands: '', nags: [] };
}

/**
 * The nodes from the root to path's end, or null when path leaves the tree.
 * @param {TreeNode} root
 * @param {Path} path
 * @returns {TreeNode[] | null}
 */
export function nodesAlong(root, path) {
  const nodes = [root];
  let node = root;
  for (const id of path) {
    const next = node.children.find((c) => c.id === id);
    if (!next) return null;
    nodes.push(next);
    node = next;
  }
  return nodes;
}

/**
 * @param {TreeNode} root
 * @param {Path} path
 * @returns {TreeNode | null}
 */
export function nodeAt(root, path) {
  const nodes = nodesAlong(root, path);
  return nodes ? nodes[nodes.length - 1] : null;
}

/**
 * The root and the first children after it.
 * @param {TreeNode} root
 * @returns {TreeNode[]}
 */
export function mainline(root) {
  const nodes = [root];
  for (let n = root; n.children.length; n = n.children[0]) nodes.push(n.children[0]);
  return nodes;
}

/**
 * The path of the main line's first plies moves.
 * @param {TreeNode} root
 * @param {number} [plies]
 * @returns {Path}
 */
export function mainlinePath(root, plies = Infinity) {
  return mainline(root)
    .slice(1, plies + 1)
    .map((n) => n.id);
}

/**
 * @param {TreeNode} root
 * @param {Path} path
 */
export function isMainline(root, path) {
  let node = root;
  for (const id of path) {
    if (!node.children.length || node.children[0].id !== id) return false;
    node = node.children[0];
  }
  return true;
}

/**
 * path followed on by the first children to the end of its line.
 * @param {TreeNode} root
 * @param {Path} path
 * @returns {Path}
 */
export function lineEnd(root, path) {
  const end = [...path];
  let node = nodeAt(root, path);
  while (node && node.children.length) {
    node = node.children[0];
    end.push(node.id);
  }
  return end;
}

/**
 * The tree with the node at path replaced by change(node); null when path
 * leaves the tree.
 * @param {TreeNode} root
 * @param {Path} path
 * @param {(node: TreeNode) => TreeNode} change
 * @returns {TreeNode | null}
 */
export function updateAt(root, path, change) {
  if (path.length === 0) return change(root);
  const index = root.children.findIndex((c) => c.id === path[0]);
  if (index < 0) return null;
  const child = updateAt(root.children[index], path.slice(1), change);
  if (!child) return null;
  const children = root.children.slice();
  children[index] = child;
  return { ...root, children };
}

/**
 * Adds child under the node at path, at index (the end by default), unless a
 * child with its id is there already. Returns the new root and the child's
 * path.
 * @param {TreeNode} root
 * @param {Path} path
 * @param {TreeNode} child
 * @param {number} [index]
 * @returns {{ root: TreeNode, path: Path } | null}
 */
export function addChild(root, path, child, index) {
  const parent = nodeAt(root, path);
  if (!parent) return null;
  const to = [...path, child.id];
  if (parent.children.some((c) => c.id === child.id)) return { root, path: to };
  const updated = updateAt(root, path, (n) => {
    const children = n.children.slice();
    children.splice(index === undefined ? children.length : index, 0, child);
    return { ...n, children };
  });
  return updated && { root: updated, path: to };
}

/**
 * Makes the node at path the main line: at every node on the way it becomes
 * the first child, the others keep their order.
 * @param {TreeNode} root
 * @param {Path} path
 * @returns {TreeNode}
 */
export function promote(root, path) {
  if (path.length === 0) return root;
  const index = root.children.findIndex((c) => c.id === path[0]);
  if (index < 0) return root;
  const first = promote(root.children[index], path.slice(1));
  return { ...root, children: [first, ...root.children.filter((_, i) => i !== index)] };
}

/**
 * Removes the node at path with everything after it. Returns the new root
 * and what an undo needs; null for the root or a path off the tree.
 * @param {TreeNode} root
 * @param {Path} path
 * @returns {{ root: TreeNode, removed: { parent: Path, index: number, node: TreeNode } } | null}
 */
export function deleteAt(root, path) {
  if (path.length === 0) return null;
  const parentPath = path.slice(0, -1);
  const parent = nodeAt(root, parentPath);
  const index = parent ? parent.children.findIndex((c) => c.id === path[path.length - 1]) : -1;
  if (!parent || index < 0) return null;
  const node = parent.children[index];
  const updated = updateAt(root, parentPath, (n) => ({ ...n, children: n.children.filter((_, i) => i !== index) }));
  return updated && { root: updated, removed: { parent: parentPath, index, node } };
}

/**
 * The sibling of the node at path offset places along (wrapping), for
 * choosing among the moves at a branch.
 * @param {TreeNode} root
 * @param {Path} path
 * @param {number} offset
 * @returns {Path}
 */
export function siblingPath(root, path, offset) {
  if (path.length === 0) return path;
  const parent = nodeAt(root, path.slice(0, -1));
  if (!parent || parent.children.length < 2) return path;
  const index = parent.children.findIndex((c) => c.id === path[path.length - 1]);
  const n = parent.children.length;
  return [...path.slice(0, -1), parent.children[(((index + offset) % n) + n) % n].id];
}

/**
 * @param {Path} a
 * @param {Path} b
 */
export function samePath(a, b) {
  return a.length === b.length && a.every((id, i) => id === b[i]);
}

/**
 * Every node of the tree, depth first in PGN order.
 * @param {TreeNode} root
 * @param {(node: TreeNode, path: Path) => void} visit
 */
export function walk(root, visit) {
  /** @param {TreeNode} node @param {Path} path */
  const go = (node, path) => {
    visit(node, path);
    for (const c of node.children) go(c, [...path, c.id]);
  };
  go(root, []);
}
