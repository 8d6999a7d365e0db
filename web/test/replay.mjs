// The browser tests' referee: legal moves, replays and PGN trees straight from chessops, never through the page's own rules.
import { Chess, castlingSide } from 'chessops/chess';
import { makeFen, parseFen } from 'chessops/fen';
import { parsePgn, startingPosition } from 'chessops/pgn';
import { makeSan, parseSan } from 'chessops/san';
import { makeUci, squareRank } from 'chessops/util';

/** @typedef {import('chessops/chess').Position} Position */
/** @typedef {import('chessops/types').NormalMove} NormalMove */

/**
 * A legal move as a person plays it on the board: castling is the king's
 * two-square move.
 * @typedef {object} LegalMove
 * @property {string} from
 * @property {string} to
 * @property {string} [promotion] q, r, b or n
 * @property {string} uci
 * @property {string} san
 * @property {string} after the FEN after the move
 */

/**
 * A position of a PGN's tree, replayed.
 * @typedef {object} Replayed
 * @property {string} san '' at the start
 * @property {string} fen
 * @property {number} ply
 * @property {Replayed[]} children the main line first
 */

/** @param {string} fen */
function position(fen) {
  return Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
}

/** @param {Position} pos */
const fenOf = (pos) => makeFen(pos.toSetup());

/** The standard start position. */
export const START = fenOf(Chess.default());

/** The first four fields of a FEN: the position without its counters. @param {string} fen */
export const key = (fen) => fen.split(' ').slice(0, 4).join(' ');

/**
 * Every legal move in fen.
 * @param {string} fen
 * @returns {LegalMove[]}
 */
export function legalMoves(fen) {
  const pos = position(fen);
  /** @type {LegalMove[]} */
  const moves = [];
  for (const [from, dests] of pos.allDests()) {
    const pawn = pos.board.get(from)?.role === 'pawn';
    for (const to of dests) {
      const last = pawn && (squareRank(to) === 0 || squareRank(to) === 7);
      for (const promotion of last ? /** @type {const} */ (['queen', 'rook', 'bishop', 'knight']) : [undefined]) {
        /** @type {NormalMove} */
        const move = { from, to, promotion };
        const after = pos.clone();
        const san = makeSan(pos, move);
        after.play(move);
        // The king goes two squares, not onto its rook.
        const side = castlingSide(pos, move);
        const uci = makeUci({ ...move, to: side ? from + (side === 'h' ? 2 : -2) : to });
        moves.push({ from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4], uci, san, after: fenOf(after) });
      }
    }
  }
  return moves;
}

/**
 * The legal move m (UCI) in fen; null when it is not legal there.
 * @param {string} fen
 * @param {string} m
 */
export function legalMove(fen, m) {
  return legalMoves(fen).find((x) => x.uci === m) || null;
}

/**
 * The move m (UCI) if it is legal in fen, else the first legal move there.
 * @param {string} m
 * @param {string} fen
 */
export function legalOr(m, fen) {
  return legalMove(fen, m) || legalMoves(fen)[0];
}

/**
 * Whether to follows from from by one legal move.
 * @param {string} from
 * @param {string} to
 */
export function oneMoveApart(from, to) {
  return legalMoves(from).some((m) => key(m.after) === key(to));
}

/**
 * The first game of a PGN replayed by the rules, variations included; throws
 * at a move that is not legal.
 * @param {string} pgn
 */
export function readPgn(pgn) {
  const [game] = parsePgn(pgn);
  if (!game) throw new Error('no game in the text');
  const start = startingPosition(game.headers).unwrap();
  /**
   * @param {Position} pos
   * @param {import('chessops/pgn').Node<import('chessops/pgn').PgnNodeData>} node
   * @param {Replayed} into
   */
  const replay = (pos, node, into) => {
    for (const child of node.children) {
      const after = pos.clone();
      const move = parseSan(after, child.data.san);
      if (!move) throw new Error(`${child.data.san} is not legal in ${fenOf(pos)}`);
      after.play(move);
      /** @type {Replayed} */
      const next = { san: makeSan(pos, move), fen: fenOf(after), ply: into.ply + 1, children: [] };
      into.children.push(next);
      replay(after, child, next);
    }
  };
  /** @type {Replayed} */
  const root = { san: '', fen: fenOf(start), ply: 0, children: [] };
  replay(start, game.moves, root);
  /** @type {Replayed[]} */
  const mainline = [root];
  for (let n = root; n.children.length; n = n.children[0]) mainline.push(n.children[0]);
  return { headers: game.headers, root, mainline, fens: mainline.map((n) => n.fen), sans: mainline.slice(1).map((n) => n.san) };
}

/**
 * The FEN after the first ply moves of a PGN's main line.
 * @param {string} pgn
 * @param {number} ply
 */
export function replayTo(pgn, ply) {
  const { fens } = readPgn(pgn);
  if (ply >= fens.length) throw new Error(`the game has ${fens.length - 1} plies, not ${ply}`);
  return fens[ply];
}

