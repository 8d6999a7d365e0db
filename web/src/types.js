// The page's data, as plain records: the game tree, a stored game and the
// evaluations they carry. Everything here survives structuredClone, so the
// same records go to IndexedDB, through the PGN writer and into the view.
export {};

/** @typedef {'w' | 'b'} Color */

/**
 * An evaluation from White's side: pawns, or a mate in n moves (negative when
 * Black mates).
 * @typedef {{ pawns: number } | { mate: number }} Evaluation
 */

/**
 * One position of the game tree. The root is the start position (id '', ply
 * 0, san ''); every other node is the position after its move. children[0]
 * continues the main line, the others are variations in the order they were
 * added.
 * @typedef {object} TreeNode
 * @property {string} id the move in UCI as the engine writes it (castling
 *   e1g1, not the king taking its rook); '' at the root. Unique among siblings.
 * @property {number} ply plies from the start position
 * @property {string} san the move in SAN ('' at the root)
 * @property {string} fen the position after the move, in full six-field FEN
 * @property {TreeNode[]} children
 * @property {string} comment the comment after the move (at the root: before
 *   the first move), free text without its [%…] commands
 * @property {string} commands the comment's [%…] commands other than %clk and
 *   %eval, verbatim, kept for the export ('' when none)
 * @property {string} [startComment] a comment before the move, as PGN allows
 *   at the start of a variation
 * @property {number[]} nags
 * @property {number} [clock] the mover's clock after the move, in seconds
 * @property {Evaluation} [eval] the position's evaluation ([%eval])
 * @property {string} [best] the engine's preferred move here, in SAN, from a
 *   review: the move the next main-line move is judged against
 */

/**
 * A path names a node by the ids of the moves from the root: [] is the root.
 * @typedef {string[]} Path
 */

/**
 * A game as the page keeps it and the library stores it.
 * @typedef {object} GameRecord
 * @property {Record<string, string>} headers PGN headers in their order, as
 *   read or as the page wrote them (Result included)
 * @property {TreeNode} root its fen is the start position
 */

/**
 * What reading one game of a PGN gives.
 * @typedef {{ game: GameRecord, number: number } | { error: string, number: number }} ReadGame
 */
