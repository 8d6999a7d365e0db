// The game record: the start position, the moves played and how the game
// ended. chess.js decides legality, SAN, FEN, PGN and the drawn and won
// positions; nothing here knows a chess rule of its own.
import { Chess, DEFAULT_POSITION, validateFen } from 'chess.js';

// The engine reads a command line of at most 8191 characters.
const MAX_COMMAND = 8000;

// Checks a FEN the user typed. Returns { fen } in chess.js's full form or
// { error } with a message for the user. Beyond what chess.js checks, the
// engine refuses positions it could not search: more than 16 pieces a side,
// or the side not to move in check.
export function checkFen(text) {
  const fields = String(text).trim().split(/\s+/).filter(Boolean);
  if (fields.length === 0) return { error: 'Enter a FEN first.' };
  if (fields.length < 4 || fields.length > 6) return { error: 'A FEN has four to six fields separated by spaces.' };
  if (fields.length === 4) fields.push('0');
  if (fields.length === 5) fields.push('1');
  const fen = fields.join(' ');
  const verdict = validateFen(fen);
  if (!verdict.ok) return { error: verdict.error.replace(/^Invalid FEN: /, 'This FEN is invalid: ') + '.' };
  let chess;
  try {
    chess = new Chess(fen);
  } catch (e) {
    return { error: `This FEN is invalid: ${e.message}.` };
  }
  const counts = { w: 0, b: 0 };
  for (const row of chess.board()) for (const square of row) if (square) counts[square.color]++;
  if (counts.w > 16 || counts.b > 16) return { error: 'This FEN has more than 16 pieces on one side.' };
  const other = fields.slice();
  other[1] = other[1] === 'w' ? 'b' : 'w';
  other[3] = '-';
  try {
    if (new Chess(other.join(' '), { skipValidation: true }).inCheck())
      return { error: 'In this FEN the side not to move is in check.' };
  } catch (e) {
    return { error: `This FEN is invalid: ${e.message}.` };
  }
  return { fen: chess.fen() };
}

export function createGame() {
  let chess = new Chess();
  let startFen = DEFAULT_POSITION;
  let ending = null;

  function standardEnding() {
    if (chess.isCheckmate()) {
      const winner = chess.turn() === 'w' ? 'Black' : 'White';
      return { result: winner === 'White' ? '1-0' : '0-1', reason: `${winner} wins by checkmate`, termination: 'normal' };
    }
    if (chess.isStalemate()) return { result: '1/2-1/2', reason: 'Draw by stalemate', termination: 'normal' };
    if (chess.isInsufficientMaterial())
      return { result: '1/2-1/2', reason: 'Draw by insufficient material', termination: 'normal' };
    if (chess.isThreefoldRepetition())
      return { result: '1/2-1/2', reason: 'Draw by threefold repetition', termination: 'normal' };
    if (chess.isDrawByFiftyMoves()) return { result: '1/2-1/2', reason: 'Draw by the fifty-move rule', termination: 'normal' };
    return null;
  }

  return {
    // Starts afresh from fen (already checked) or the standard position.
    reset(fen) {
      startFen = fen || DEFAULT_POSITION;
      chess = new Chess(startFen);
      ending = null;
    },
    // Plays { from, to, promotion } if legal; returns the move or null.
    play(move) {
      if (ending) return null;
      const legal = chess
        .moves({ verbose: true })
        .find((m) => m.from === move.from && m.to === move.to && (m.promotion || undefined) === (move.promotion || undefined));
      if (!legal) return null;
      const played = chess.move({ from: legal.from, to: legal.to, promotion: legal.promotion });
      ending = standardEnding();
      return played;
    },
    undo(plies) {
      for (let i = 0; i < plies && chess.history().length > 0; i++) chess.undo();
      ending = null;
    },
    // Ends the game from outside the board: a flag fall or a resignation.
    finish(result, reason, termination) {
      if (!ending) ending = { result, reason, termination };
    },
    get ending() {
      return ending;
    },
    get chess() {
      return chess;
    },
    get startFen() {
      return startFen;
    },
    turn() {
      return chess.turn();
    },
    fen() {
      return chess.fen();
    },
    plies() {
      return chess.history().length;
    },
    history() {
      return chess.history({ verbose: true });
    },
    // { from: to[] } for the side to move, for the board's legal targets.
    destinations() {
      const dests = new Map();
      for (const m of chess.moves({ verbose: true })) {
        if (!dests.has(m.from)) dests.set(m.from, []);
        dests.get(m.from).push(m.to);
      }
      return dests;
    },
    isPromotion(from, to) {
      return chess.moves({ verbose: true }).some((m) => m.from === from && m.to === to && m.promotion);
    },
    // The "position" command for the engine. A game too long for one command
    // line starts from its last capture or pawn move instead: no earlier
    // position can recur after it, so repetitions are still seen.
    positionCommand(limit = MAX_COMMAND) {
      const moves = chess.history({ verbose: true });
      const text = (fen, list) =>
        (fen === DEFAULT_POSITION ? 'position startpos' : `position fen ${fen}`) +
        (list.length ? ' moves ' + list.map((m) => m.lan).join(' ') : '');
      let command = text(startFen, moves);
      if (command.length <= limit) return command;
      let last = 0;
      moves.forEach((m, i) => {
        if (m.piece === 'p' || m.captured) last = i + 1;
      });
      command = text(last === 0 ? startFen : moves[last - 1].after, moves.slice(last));
      return command.length <= limit ? command : `position fen ${chess.fen()}`;
    },
    pgn(headers) {
      const record = new Chess(startFen);
      for (const m of chess.history({ verbose: true })) record.move({ from: m.from, to: m.to, promotion: m.promotion });
      for (const [key, value] of Object.entries(headers)) record.setHeader(key, value);
      record.setHeader('Result', ending ? ending.result : '*');
      if (ending) record.setHeader('Termination', ending.termination);
      if (startFen !== DEFAULT_POSITION) {
        record.setHeader('SetUp', '1');
        record.setHeader('FEN', startFen);
      }
      return record.pgn({ maxWidth: 80 });
    },
  };
}
