// The game record and what chess.js says about it: the start position, the
// main line's moves and the result, as plain data that PGN import and export
// share. chess.js decides legality, SAN, FEN and the drawn and won positions;
// nothing here knows a chess rule of its own.
import { Chess, DEFAULT_POSITION } from 'chess.js';

// The engine reads a command line of at most 8191 characters.
const MAX_COMMAND = 8000;

export { checkFen } from './rules.js';

// startFen null is the standard start, as a loaded PGN without SetUp gives it.
export function newRecord(startFen = null, headers = {}) {
  return { headers, startFen: startFen && startFen !== DEFAULT_POSITION ? startFen : null, moves: [], result: '*', comment: '' };
}

export function startOf(record) {
  return record.startFen || DEFAULT_POSITION;
}

export function fenAt(record, ply) {
  return ply === 0 ? startOf(record) : record.moves[ply - 1].fen;
}

// The first move's number, from the start position's move counter.
export function firstMoveNumber(record) {
  return Number(startOf(record).split(' ')[5]) || 1;
}

// The position after ply moves with the moves that led there, so that
// repetitions count. The record is replayed from its start each time.
export function chessAt(record, ply) {
  const chess = new Chess(startOf(record));
  for (const m of record.moves.slice(0, ply)) chess.move({ from: m.from, to: m.to, promotion: m.promotion });
  return chess;
}

// chess.js's verbose move for { from, to, promotion } in chess, or null.
export function findMove(chess, move) {
  return (
    chess
      .moves({ verbose: true })
      .find((m) => m.from === move.from && m.to === move.to && (m.promotion || undefined) === (move.promotion || undefined)) ||
    null
  );
}

// The record with the moves after ply replaced by move, if legal there; null
// otherwise. The result goes with the replaced moves.
export function playAt(record, ply, move) {
  const chess = chessAt(record, ply);
  const legal = findMove(chess, move);
  if (!legal) return null;
  chess.move({ from: legal.from, to: legal.to, promotion: legal.promotion });
  const entry = { san: legal.san, from: legal.from, to: legal.to, promotion: legal.promotion, fen: chess.fen(), comment: '', nags: [] };
  return { ...record, moves: [...record.moves.slice(0, ply), entry], result: '*' };
}

// The record cut to its first ply moves.
export function cutAt(record, ply) {
  return { ...record, moves: record.moves.slice(0, ply), result: '*' };
}

// How the position in chess ends the game by the rules, or null.
export function standardEnding(chess) {
  if (chess.isCheckmate()) {
    const winner = chess.turn() === 'w' ? 'Black' : 'White';
    return { result: winner === 'White' ? '1-0' : '0-1', reason: `${winner} wins by checkmate`, termination: 'normal' };
  }
  if (chess.isStalemate()) return { result: '1/2-1/2', reason: 'Draw by stalemate', termination: 'normal' };
  if (chess.isInsufficientMaterial()) return { result: '1/2-1/2', reason: 'Draw by insufficient material', termination: 'normal' };
  if (chess.isThreefoldRepetition()) return { result: '1/2-1/2', reason: 'Draw by threefold repetition', termination: 'normal' };
  if (chess.isDrawByFiftyMoves()) return { result: '1/2-1/2', reason: 'Draw by the fifty-move rule', termination: 'normal' };
  return null;
}

// { from: to[] } for the side to move, for the board's legal targets.
export function destinations(chess) {
  const dests = new Map();
  for (const m of chess.moves({ verbose: true })) {
    if (!dests.has(m.from)) dests.set(m.from, []);
    dests.get(m.from).push(m.to);
  }
  return dests;
}

export function isPromotion(chess, from, to) {
  return chess.moves({ verbose: true }).some((m) => m.from === from && m.to === to && m.promotion);
}

function lan(m) {
  return m.from + m.to + (m.promotion || '');
}

// A pawn move or a capture: no earlier position can recur after it.
function irreversible(m) {
  return /^[a-h]/.test(m.san) || m.san.includes('x');
}

// The "position" command for the engine at ply. A game too long for one
// command line starts from its last capture or pawn move instead: no earlier
// position can recur after it, so repetitions are still seen.
export function positionCommand(record, ply, limit = MAX_COMMAND) {
  const moves = record.moves.slice(0, ply);
  const text = (fen, list) =>
    (fen === DEFAULT_POSITION ? 'position startpos' : `position fen ${fen}`) +
    (list.length ? ' moves ' + list.map(lan).join(' ') : '');
  let command = text(startOf(record), moves);
  if (command.length <= limit) return command;
  let last = 0;
  moves.forEach((m, i) => {
    if (irreversible(m)) last = i + 1;
  });
  command = text(last === 0 ? startOf(record) : moves[last - 1].fen, moves.slice(last));
  return command.length <= limit ? command : `position fen ${fenAt(record, ply)}`;
}

// The SAN of a move the engine wrote ("g1f3" -> "Nf3") in the position fen,
// or the engine's text itself when it names no legal move there.
export function sanOf(fen, uci) {
  try {
    const m = new Chess(fen).moves({ verbose: true }).find((x) => lan(x) === uci);
    return m ? m.san : uci;
  } catch {
    return uci;
  }
}
