// What the page asks of the rules, answered by chessops, with FENs at the
// boundary: a FEN given here is one that checkFen or play wrote, anything else throws.
import { Chess, IllegalSetup } from 'chessops/chess';
import { chessgroundDests } from 'chessops/compat';
import { InvalidFen, makeFen, parseFen } from 'chessops/fen';
import { makeSan, makeSanAndPlay, parseSan } from 'chessops/san';
import { charToRole, makeSquare, parseSquare, roleToChar } from 'chessops/util';
import { MAX_COMMAND } from './engine-facts.js';

/** The standard start position. */
// The colours as PGN's headers name them.
export const NAMES = { w: 'White', b: 'Black' };

export const START_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';


/**
 * A move as the board and the engine name it; promotion is q, r, b or n.
 * @typedef {{ from: string, to: string, promotion?: string }} Move
 */

/**
 * A move played: its id in UCI as the engine writes it, its SAN and the FEN after it.
 * @typedef {{ id: string, san: string, fen: string }} PlayedMove
 */

/**
 * How a position ends the game by the rules.
 * @typedef {{ result: '1-0' | '0-1' | '1/2-1/2', reason: string, termination: 'normal' }} Ending
 */

const FEN_FAULTS = {
  [InvalidFen.Fen]: 'it cannot be read',
  [InvalidFen.Board]: 'the board (the first field) cannot be read',
  [InvalidFen.Pockets]: 'the board (the first field) cannot be read',
  [InvalidFen.Turn]: 'the side to move must be w or b',
  [InvalidFen.Castling]: 'castling must be - or letters of KQkq',
  [InvalidFen.EpSquare]: 'the en passant square must be - or a square on the third or sixth rank',
  [InvalidFen.RemainingChecks]: 'it has a field too many',
  [InvalidFen.Halfmoves]: 'the halfmove clock must be a whole number',
  [InvalidFen.Fullmoves]: 'the move number must be a whole number',
  [IllegalSetup.Empty]: 'the board is empty',
  [IllegalSetup.Kings]: 'each side needs exactly one king',
  [IllegalSetup.PawnsOnBackrank]: 'a pawn stands on the first or last rank',
  [IllegalSetup.Variant]: 'it is no position of standard chess',
};

const invalid = (code) => ({ error: `This FEN is invalid: ${FEN_FAULTS[code] || code.toLowerCase()}.` });

/**
 * Checks a FEN the user typed, as the engine would take it: four to six
 * fields, standard chess only (chessops alone would also read variants'
 * pockets and Chess960 castling), at most 16 pieces a side, and the side not
 * to move not in check.
 * @param {string} text
 * @returns {{ fen: string } | { error: string }} the FEN in full six-field form, or a message for the user
 */
export function checkFen(text) {
  const fields = String(text).trim().split(/\s+/).filter(Boolean);
  if (fields.length === 0) return { error: 'Enter a FEN first.' };
  if (fields.length < 4 || fields.length > 6) return { error: 'A FEN has four to six fields separated by spaces.' };
  if (fields.length === 4) fields.push('0');
  if (fields.length === 5) fields.push('1');
  const [board, , castling, ep] = fields;
  if (!/^[pnbrqkPNBRQK1-8]+(?:\/[pnbrqkPNBRQK1-8]+){7}$/.test(board)) return invalid(InvalidFen.Board);
  if (!/^(?:-|K?Q?k?q?)$/.test(castling)) return invalid(InvalidFen.Castling);
  if (!/^(?:-|[a-h][36])$/.test(ep) || (ep !== '-' && (ep[1] === '6') !== (fields[1] === 'w'))) return invalid(InvalidFen.EpSquare);
  const parsed = parseFen(fields.join(' '));
  if (parsed.isErr) return invalid(parsed.error.message);
  const setup = parsed.unwrap();
  if (setup.board.white.size() > 16 || setup.board.black.size() > 16) return { error: 'This FEN has more than 16 pieces on one side.' };
  const pos = Chess.fromSetup(setup);
  if (pos.isErr) {
    if (pos.error.message === IllegalSetup.OppositeCheck) return { error: 'In this FEN the side not to move is in check.' };
    return invalid(pos.error.message);
  }
  return { fen: makeFen(pos.unwrap().toSetup()) };
}

// The position of a FEN this module or checkFen wrote; null for anything else.
function position(fen) {
  const setup = parseFen(String(fen));
  if (setup.isErr) return null;
  const pos = Chess.fromSetup(setup.unwrap());
  return pos.isErr ? null : pos.unwrap();
}

function positionOf(fen) {
  const pos = position(fen);
  if (!pos) throw new Error(`not a position: ${fen}`);
  return pos;
}

const fenOf = (pos) => makeFen(pos.toSetup());

/**
 * @param {string} fen
 * @returns {'w' | 'b'}
 */
export function turnOf(fen) {
  return String(fen).split(' ')[1] === 'b' ? 'b' : 'w';
}

/**
 * The legal targets of each piece of the side to move, for the board; castling
 * is offered both as the king's two-square move and onto its rook.
 * @param {string} fen
 * @returns {Map<string, string[]>}
 */
export function legalDests(fen) {
  return chessgroundDests(positionOf(fen));
}

/**
 * The chessops move for a move of the board or the engine, if legal. chessops
 * plays castling as the king taking its own rook; the board and the engine
 * send its two-square move, and nothing else onto an own piece is legal.
 * @param {import('chessops/chess').Position} pos
 * @param {Move} move
 * @returns {import('chessops/types').NormalMove | null}
 */
function legalMove(pos, { from, to, promotion }) {
  const fromSquare = parseSquare(from);
  let toSquare = parseSquare(to);
  if (fromSquare === undefined || toSquare === undefined) return null;
  const role = promotion ? charToRole(promotion) : undefined;
  if (promotion && (!role || role === 'pawn' || role === 'king')) return null;
  if (pos.board.king.has(fromSquare) && Math.abs(toSquare - fromSquare) === 2) {
    const rook = pos.castles.rook[pos.turn][toSquare > fromSquare ? 'h' : 'a'];
    if (rook === undefined) return null;
    toSquare = rook;
  }
  const move = { from: fromSquare, to: toSquare, promotion: role };
  return pos.dests(fromSquare).has(toSquare) && pos.isLegal(move) ? move : null;
}

/**
 * A chessops move in UCI as the engine writes it: castling as the king's
 * two-square move, not the king taking its rook.
 * @param {import('chessops/chess').Position} pos the position it is played from
 * @param {import('chessops/types').NormalMove} move
 * @returns {string}
 */
export function uciOf(pos, move) {
  let to = move.to;
  if (pos.board.king.has(move.from) && pos.board[pos.turn].has(to)) to = move.from + (to > move.from ? 2 : -2);
  return makeSquare(move.from) + makeSquare(to) + (move.promotion ? roleToChar(move.promotion) : '');
}

/**
 * @param {string} fen
 * @param {string} from
 * @param {string} to
 * @returns {boolean} whether a pawn's move from there to there promotes
 */
export function isPromotion(fen, from, to) {
  const pos = positionOf(fen);
  return legalMove(pos, { from, to, promotion: 'q' }) !== null;
}

/**
 * Plays a move if it is legal: a king onto its own rook, or its two-square
 * move, is castling.
 * @param {string} fen
 * @param {Move} move
 * @returns {PlayedMove | null}
 */
export function play(fen, move) {
  const pos = positionOf(fen);
  const legal = legalMove(pos, move);
  if (!legal) return null;
  const id = uciOf(pos, legal);
  const san = makeSanAndPlay(pos, legal);
  return { id, san, fen: fenOf(pos) };
}

/**
 * Reads a move typed in SAN (marks, check signs and 0-0 allowed, a piece
 * letter in lower case too) or in UCI.
 * @param {string} fen
 * @param {string} text
 * @returns {Move | { error: string }}
 */
export function readMove(fen, text) {
  const typed = String(text).trim();
  if (!typed) return { error: 'Type a move first.' };
  const pos = positionOf(fen);
  const uci = uciMove(typed.toLowerCase());
  if (uci) {
    const legal = legalMove(pos, uci);
    if (legal) return uciMove(uciOf(pos, legal));
    return { error: `${typed} is not a legal move here.` };
  }
  const san = typed.replace(/[!?]+$/, '').replace(/[+#]+$/, '').replace(/^0-0(-0)?$/, (m) => m.replace(/0/g, 'O'));
  for (const candidate of [san, san.replace(/^[nrqk](?=[a-h1-8x])/, (c) => c.toUpperCase())]) {
    const move = parseSan(pos, candidate);
    if (move && 'from' in move) return uciMove(uciOf(pos, move));
  }
  if (/^O-O(-O)?$/.test(san)) return { error: `${typed} is not a legal move here.` };
  const shape = /^([NBRQK])?([a-h])?([1-8])?[-x]?([a-h][1-8])(?:=?[NBRQ])?$/.exec(san);
  if (!shape) return { error: `${typed} cannot be read as a move: type it as Nf3 or g1f3.` };
  // parseSan says only "no"; an ambiguous move is one that several pieces can make.
  const [, piece, file, rank, target] = shape;
  const to = parseSquare(target);
  let pieces = 0;
  for (const from of pos.board.pieces(pos.turn, piece ? charToRole(piece) : 'pawn')) {
    const name = makeSquare(from);
    if ((!file || name[0] === file) && (!rank || name[1] === rank) && pos.dests(from).has(to)) pieces++;
  }
  if (pieces > 1) return { error: `${typed} is ambiguous here: name the file or rank it comes from.` };
  return { error: `${typed} is not a legal move here.` };
}

/**
 * The SAN of a move the engine wrote ("g1f3" -> "Nf3"), or the engine's text
 * itself when it names no legal move in the position.
 * @param {string} fen
 * @param {string} uci
 * @returns {string}
 */
export function sanOf(fen, uci) {
  const pos = position(fen);
  const move = uciMove(uci);
  const legal = pos && move && legalMove(pos, move);
  return legal ? makeSan(pos, legal) : uci;
}

/**
 * Reads a move in the engine's form, "e2e4" or "e7e8q".
 * @param {string} text
 * @returns {Move | null}
 */
export function uciMove(text) {
  const m = /^([a-h][1-8])([a-h][1-8])([qrbn])?$/.exec(String(text).trim());
  return m ? { from: m[1], to: m[2], promotion: m[3] } : null;
}

/**
 * How the last position of a line ends the game by the rules. A position
 * repeats when the first four fields of its FEN do.
 * @param {string[]} fens the positions of the line from its start
 * @returns {Ending | null}
 */
export function ending(fens) {
  if (!fens.length) return null;
  const last = fens[fens.length - 1];
  const pos = positionOf(last);
  if (pos.isCheckmate()) {
    const winner = pos.turn === 'white' ? 'Black' : 'White';
    return { result: winner === 'White' ? '1-0' : '0-1', reason: `${winner} wins by checkmate`, termination: 'normal' };
  }
  const draw = (reason) => ({ result: /** @type {'1/2-1/2'} */ ('1/2-1/2'), reason, termination: /** @type {'normal'} */ ('normal') });
  if (pos.isStalemate()) return draw('Draw by stalemate');
  if (pos.isInsufficientMaterial()) return draw('Draw by insufficient material');
  const key = (fen) => fen.split(' ', 4).join(' ');
  const here = key(last);
  if (fens.filter((fen) => key(fen) === here).length >= 3) return draw('Draw by threefold repetition');
  if (pos.halfmoves >= 100) return draw('Draw by the fifty-move rule');
  return null;
}

/**
 * @param {string} fen
 * @returns {boolean} whether the side to move has a legal move
 */
export function hasMoves(fen) {
  return positionOf(fen).hasDests();
}

/**
 * @param {string} fen
 * @returns {boolean}
 */
export function inCheck(fen) {
  return positionOf(fen).isCheck();
}

/**
 * @param {string} fen
 * @returns {boolean}
 */
export function isCheckmate(fen) {
  return positionOf(fen).isCheckmate();
}

// A pawn move or a capture: no earlier position can recur after it.
const irreversible = (move) => /^[a-h]/.test(move.san) || move.san.includes('x');

/**
 * The "position" command for the position after moves. A line too long for
 * one command starts from its last capture or pawn move instead, so that
 * every position that could still recur is in it; failing that, from the
 * last position alone.
 * @param {string} startFen
 * @param {PlayedMove[]} moves
 * @param {number} [limit]
 * @returns {string}
 */
export function positionCommand(startFen, moves, limit = MAX_COMMAND) {
  const text = (fen, list) =>
    (fen === START_FEN ? 'position startpos' : `position fen ${fen}`) + (list.length ? ' moves ' + list.map((m) => m.id).join(' ') : '');
  let command = text(startFen, moves);
  if (command.length <= limit) return command;
  let last = 0;
  moves.forEach((m, i) => {
    if (irreversible(m)) last = i + 1;
  });
  command = text(last === 0 ? startFen : moves[last - 1].fen, moves.slice(last));
  return command.length <= limit ? command : `position fen ${moves.length ? moves[moves.length - 1].fen : startFen}`;
}
