// PGN read and written through chessops, with the strict checks its parser skips by design and the cut into games.
import { Chess } from 'chessops/chess';
import { makeFen, parseFen } from 'chessops/fen';
import { ChildNode, Node, emptyHeaders, makeComment, makePgn, parseComment, parsePgn as parseTree, parseVariant } from 'chessops/pgn';
import { makeSanAndPlay, parseSan } from 'chessops/san';
import { NAGS } from './review.js';
import { START_FEN, checkFen, uciOf } from './rules.js';

/** @typedef {import('./types.js').TreeNode} TreeNode */
/** @typedef {import('./types.js').GameRecord} GameRecord */
/** @typedef {import('./types.js').ReadGame} ReadGame */
/** @typedef {import('./types.js').Evaluation} Evaluation */
/** @typedef {'inaccuracy' | 'mistake' | 'blunder'} Judgement */

/**
 * One game's part of a PGN text, as splitGames cuts it: plain data, so that
 * it can go to a worker.
 * @typedef {object} PgnPiece
 * @property {number} number the game's number in the text, from 1
 * @property {string} text the game's text, as chessops is to read it
 * @property {string} [fault] why the game cannot be read, naming its line
 * @property {string} [result] the game's termination marker, when it has one
 */

/** The largest PGN text read, in bytes of UTF-8. */
export const MAX_PGN_BYTES = 20 * 1024 * 1024;
/** The most games read from one text. */
export const MAX_GAMES = 10000;

const ROSTER = ['Event', 'Site', 'Date', 'Round', 'White', 'Black', 'Result'];
const UNKNOWN = { Date: '????.??.??' };
const RESULTS = ['1-0', '0-1', '1/2-1/2', '*'];
// The move marks !, ?, !!, ??, !? and ?! are NAGs 1 to 6.
const QUALITY = [1, 2, 3, 4, 5, 6];
// A move as chessops's tokenizer takes it whole, once check signs, a pawn's P
// and 0-0 are seen to; anything else chessops would skip without a word.
const SAN = /^(?:[KQRBN]?[a-h]?[1-8]?[x-]?[a-h][1-8](?:=?[QRBNqrbn])?|O-O(?:-O)?)$/;
const WIDTH = 80;

const TOKENS = {
  space: /\s+/y,
  // A header as chessops reads it: one line, and only \" and \\ escaped.
  header: /\[([A-Za-z0-9][A-Za-z0-9_+#=:-]*)[ \t]+"((?:[^"\\\n]|\\["\\])*)"\]/y,
  result: /(?:1-0|0-1|1\/2-1\/2|\*)(?![\w/-])/y,
  number: /\d+(?:\s*\.+|(?=\s))/y,
  enPassant: /e\.p\./y,
  symbol: /[A-Za-z0-9][\w+#=:/-]*/y,
  suffix: /[!?]{1,2}/y,
  nag: /\$\d{1,4}(?!\d)/y,
};

// The first ply of a game from its FEN header, for move numbers in messages.
function firstPly(game) {
  if (!game.fen || game.setUp === '0') return 0;
  const [, turn, , , , full] = game.fen.trim().split(/\s+/);
  return Math.max(0, (Number(full) || 1) - 1) * 2 + (turn === 'b' ? 1 : 0);
}

/**
 * Cuts a PGN text into its games and checks what chessops reads past by
 * design: comments and variations that are never closed, stray closing
 * braces and parentheses, broken headers, text that is no move. A game ends
 * at its termination marker, or where headers follow its moves; a comment
 * between a marker and the next headers belongs to no game. A game with
 * such a fault is kept with the fault, so that the others can still be read.
 * Read the pieces with readPiece: in slices, or in a worker, with progress.
 * @param {string} source
 * @returns {{ pieces: PgnPiece[], error?: string }} error when the text is refused whole
 */
export function splitGames(source) {
  const refused = (error) => ({ pieces: [], error });
  source = String(source ?? '').replace(/^\uFEFF/, '');
  if (source.length > MAX_PGN_BYTES || (source.length * 3 > MAX_PGN_BYTES && new TextEncoder().encode(source).length > MAX_PGN_BYTES))
    return refused('This PGN is larger than 20 MB, more than this page reads.');
  if (!source.trim()) return refused('The PGN is empty.');
  // A '%' in the first column makes the line an escape for other programs:
  // blanked in place, so that offsets and line numbers still hold.
  const text = source.replace(/^%.*$/gm, (line) => ' '.repeat(line.length));

  // Tokens come in order, so the line count only moves forward.
  let line = 1;
  let counted = 0;
  const lineAt = (pos) => {
    for (; counted < pos; counted++) if (text.charCodeAt(counted) === 10) line++;
    return line;
  };

  /** @type {PgnPiece[]} */
  const pieces = [];
  /**
   * The game being cut: where it starts, the edits chessops needs, what it
   * has had so far, its first fault, and the variations open in it with the
   * plies played in each.
   * @type {{ start: number, edits: Array<[number, number, string]>, headers: boolean, body: boolean, moved: boolean,
   *   fault: string, result: string, fen: string, setUp: string, last: string, lines: Array<{ ply: number, line: number }> } | null}
   */
  let game = null;
  // Comments read while no game is open: the start of the next game, unless headers begin it.
  let loose = -1;
  /** @type {Array<[number, number, string]>} */
  let looseEdits = [];
  const begin = (pos, byHeader) => {
    game = {
      start: byHeader || loose < 0 ? pos : loose,
      edits: byHeader ? [] : looseEdits,
      headers: byHeader,
      body: !byHeader,
      moved: false,
      fault: '',
      result: '',
      fen: '',
      setUp: '',
      last: '',
      lines: [{ ply: 0, line: 0 }],
    };
    loose = -1;
    looseEdits = [];
  };
  const fault = (message) => {
    if (!game.fault) game.fault = game.last ? `${message}; reading stopped after move ${game.last}.` : `${message}.`;
  };
  const unclosed = (where) => {
    if (game.lines.length > 1) fault(`The variation opened with ( on line ${game.lines[game.lines.length - 1].line} is never closed${where}`);
  };
  const finish = (end) => {
    let body = '';
    let from = game.start;
    for (const [at, to, replacement] of game.edits) {
      body += text.slice(from, at) + replacement;
      from = to;
    }
    // chessops ends a game at a blank line; here only the marker or the next headers do.
    body = (body + text.slice(from, end)).replace(/\n\s*\n/g, '\n');
    pieces.push({ number: pieces.length + 1, text: body, ...(game.fault ? { fault: game.fault } : {}), ...(game.result ? { result: game.result } : {}) });
    game = null;
  };
  const at = (name, pos) => {
    const re = TOKENS[name];
    re.lastIndex = pos;
    return re.exec(text);
  };
  const label = (word) => {
    const ply = firstPly(game) + game.lines[game.lines.length - 1].ply;
    return `${Math.floor(ply / 2) + 1}${ply % 2 ? '...' : '.'} ${word}`;
  };

  let pos = 0;
  while (pos < text.length) {
    if (pieces.length > MAX_GAMES) return refused(`This PGN holds more than ${MAX_GAMES.toLocaleString('en')} games, more than this page reads.`);
    let m;
    const c = text[pos];
    if ((m = at('space', pos))) {
      pos += m[0].length;
      continue;
    }
    if (c === '{' || c === ';') {
      const close = c === '{' ? text.indexOf('}', pos) : text.indexOf('\n', pos);
      const end = close === -1 ? text.length : c === '{' ? close + 1 : close;
      if (game && game.headers && !game.body) game.body = true;
      if (c === '{' && close === -1) {
        if (!game) begin(pos, false);
        fault(`A comment opened with { on line ${lineAt(pos)} is never closed`);
      } else if (c === ';') {
        // chessops drops rest-of-line comments; as a brace comment it keeps them.
        /** @type {[number, number, string]} */
        const edit = [pos, end, `{${text.slice(pos + 1, end).replace(/\}/g, '')}}`];
        if (game) game.edits.push(edit);
        else looseEdits.push(edit);
      }
      if (!game && loose < 0) loose = pos;
      pos = end;
      continue;
    }
    if (c === '[') {
      m = at('header', pos);
      if (game && game.body && m) {
        unclosed(' before the next game');
        finish(pos);
      }
      if (!game) begin(pos, true);
      if (!m) {
        fault(`The header on line ${lineAt(pos)} cannot be read: a header is [Name "value"]`);
        const end = text.indexOf('\n', pos);
        pos = end === -1 ? text.length : end;
        continue;
      }
      if (m[1] === 'FEN') game.fen = m[2];
      if (m[1] === 'SetUp') game.setUp = m[2];
      pos += m[0].length;
      continue;
    }
    if ((m = at('result', pos))) {
      if (game) {
        unclosed(' before the result');
        game.result = m[0];
        finish(pos + m[0].length);
      } else {
        loose = -1;
        looseEdits = [];
      }
      pos += m[0].length;
      continue;
    }
    if (!game) begin(pos, false);
    game.body = true;
    const lines = game.lines;
    if (c === '(') {
      lines.push({ ply: Math.max(0, lines[lines.length - 1].ply - 1), line: lineAt(pos) });
      pos++;
    } else if (c === ')') {
      if (lines.length > 1) lines.pop();
      else fault(`The ) on line ${lineAt(pos)} closes no variation`);
      pos++;
    } else if (c === '}') {
      fault(`The } on line ${lineAt(pos)} closes no comment`);
      pos++;
    } else if ((m = at('nag', pos)) || (m = at('number', pos)) || (m = at('enPassant', pos))) {
      pos += m[0].length;
    } else if ((m = at('symbol', pos))) {
      pos += m[0].length;
      const suffix = at('suffix', pos);
      if (suffix) pos += suffix[0].length;
      const word = m[0] + (suffix ? suffix[0] : '');
      const san = m[0]
        .replace(/[+#]+$/, '')
        .replace(/^[0O]-[0O](?:-[0O])?$/, (castling) => castling.replace(/0/g, 'O'))
        .replace(/^P(?=[a-h])/, '');
      if (SAN.test(san)) {
        if (lines.length === 1) game.last = label(word);
        lines[lines.length - 1].ply++;
        game.moved = true;
      } else if (!game.headers && !game.moved) {
        if (!game.fault) game.fault = 'This text does not read as a PGN game: it has no headers and does not start with a move.';
      } else if (!game.fault) {
        game.fault = `Move ${label(word)} cannot be read as a move.`;
      }
    } else if ((m = at('suffix', pos))) {
      pos += m[0].length;
    } else {
      fault(`The character ${JSON.stringify(c)} on line ${lineAt(pos)} has no place in a PGN`);
      pos++;
    }
  }
  if (game) {
    unclosed('');
    finish(text.length);
  }
  if (pieces.length > MAX_GAMES) return refused(`This PGN holds more than ${MAX_GAMES.toLocaleString('en')} games, more than this page reads.`);
  if (!pieces.length) return refused('This text holds no PGN game: no headers and no moves.');
  return { pieces };
}

/**
 * Why a PGN text cannot be read whole, or null: refused as a whole (empty,
 * too large, too many games), or the first game with a fault in its text.
 * @param {string} text
 * @returns {string | null}
 */
export function checkPgnText(text) {
  const { pieces, error } = splitGames(text);
  if (error) return error;
  const bad = pieces.find((piece) => piece.fault);
  if (!bad) return null;
  return pieces.length > 1 ? `Game ${bad.number}: ${bad.fault}` : bad.fault;
}

class ReadError extends Error {}

function startOf(headers) {
  if (parseVariant(headers.Variant) !== 'chess') return { error: `The game is ${headers.Variant}, a variant this page does not play.` };
  if (headers.SetUp === '0' || (headers.FEN === undefined && headers.SetUp !== '1')) return { fen: START_FEN };
  if (headers.FEN === undefined) return { error: 'The game says SetUp "1" but has no FEN header.' };
  const verdict = checkFen(headers.FEN);
  if ('error' in verdict) return { error: `The game's starting position cannot be set up. ${verdict.error}` };
  return verdict;
}

/** @returns {TreeNode} */
function treeNode(id, ply, san, fen) {
  return { id, ply, san, fen, children: [], comment: '', commands: '', nags: [] };
}

const squash = (text) => text.replace(/\s+/g, ' ').trim();

// Spreads comments over the node: [%clk] and [%eval] through chessops, the
// engine's preferred move of a review, other commands verbatim, and the text.
function takeComments(node, comments, pos) {
  const texts = [node.comment];
  const commands = [node.commands];
  for (const raw of comments) {
    const text = raw.replace(/\[%[^\]]*\]/g, (found) => {
      const command = squash(found);
      const name = /^\[%(\w+)/.exec(command)?.[1];
      const parsed = parseComment(command);
      const best = name === 'best' && /^\[%best (\S+)\]$/.exec(command);
      const move = best && parseSan(pos, best[1]);
      if (name === 'clk' && parsed.clock !== undefined && node.ply > 0) node.clock = parsed.clock;
      else if (name === 'eval' && parsed.evaluation) {
        const e = parsed.evaluation;
        node.eval = 'mate' in e ? { mate: e.mate } : { pawns: e.pawns };
      } else if (move) node.best = makeSanAndPlay(pos.clone(), move);
      else commands.push(command);
      return ' ';
    });
    texts.push(text);
  }
  node.comment = squash(texts.join(' '));
  node.commands = commands.filter(Boolean).join(' ');
}

// Plays a chessops move node from pos (which it changes) as a child of parent;
// a move already there takes the comments and variations of its repeat.
// origins maps each tree node to the chessops node it was made from.
function playNode(pos, source, parent, origins) {
  const data = source.data;
  const move = parseSan(pos, data.san);
  if (!move || !('from' in move)) {
    const where = pos.hasDests() ? 'in this position' : 'after the end of the game';
    throw new ReadError(`Move ${pos.fullmoves}${pos.turn === 'white' ? '.' : '...'} ${data.san} is illegal ${where}.`);
  }
  const id = uciOf(pos, move);
  const san = makeSanAndPlay(pos, move);
  let node = parent.children.find((child) => child.id === id);
  if (!node) {
    node = treeNode(id, parent.ply + 1, san, makeFen(pos.toSetup()));
    parent.children.push(node);
    origins.set(node, source);
  }
  for (const nag of data.nags || []) if (!node.nags.includes(nag)) node.nags.push(nag);
  if (data.startingComments?.length) node.startComment = squash([node.startComment || '', ...data.startingComments].join(' '));
  takeComments(node, data.comments || [], pos);
  return node;
}

// Plays a line and, after each of its moves, the variations on that move,
// in the order the text has them. A repeat of a move merged into it may have
// given the node children before its own line's next move: that one goes first.
function playLine(source, node, pos, origins) {
  while (source.children.length) {
    const [main, ...others] = source.children;
    const before = others.length ? pos.clone() : null;
    const next = playNode(pos, main, node, origins);
    if (origins.get(node) === source && node.children[0] !== next) node.children = [next, ...node.children.filter((c) => c !== next)];
    for (const other of others) {
      const branch = before.clone();
      playLine(other, playNode(branch, other, node, origins), branch, origins);
    }
    source = main;
    node = next;
  }
}

/**
 * @param {PgnPiece} piece
 * @returns {{ game: GameRecord } | { error: string }}
 */
function readText(piece) {
  if (piece.fault) return { error: piece.fault };
  const parsed = parseTree(piece.text, emptyHeaders);
  if (parsed.length !== 1) return { error: 'The game cannot be read.' };
  const [source] = parsed;
  /** @type {Record<string, string>} */
  const headers = Object.fromEntries(source.headers);
  headers.Result = piece.result || (RESULTS.includes(headers.Result) ? headers.Result : '*');
  const start = startOf(headers);
  if ('error' in start) return { error: start.error };
  const pos = Chess.fromSetup(parseFen(start.fen).unwrap()).unwrap();
  const root = treeNode('', 0, '', start.fen);
  try {
    takeComments(root, source.comments || [], pos);
    playLine(source.moves, root, pos, new WeakMap([[root, source.moves]]));
  } catch (e) {
    if (e instanceof ReadError) return { error: e.message };
    throw e;
  }
  return { game: { headers, root } };
}

/**
 * Reads one game that splitGames cut: its headers in the text's order, the
 * start from SetUp and FEN, every move of the main line and the variations
 * through the rules, comments, NAGs, clocks, evaluations and a review's
 * preferred moves. The error names the game and where reading stopped.
 * @param {PgnPiece} piece
 * @returns {ReadGame}
 */
export function readPiece(piece) {
  const read = readText(piece);
  if ('error' in read) return { error: `Game ${piece.number}: ${read.error}`, number: piece.number };
  return { game: read.game, number: piece.number };
}

/**
 * Reads every game of a PGN text. onGame is told after each game, for a
 * progress bar; a caller that must stay responsive uses splitGames and
 * readPiece in slices, or calls this in a worker.
 * @param {string} text
 * @param {{ onGame?: (index: number, total: number) => void }} [options]
 * @returns {{ games: ReadGame[], error?: string }} error when the text is refused whole
 */
export function readGames(text, { onGame } = {}) {
  const { pieces, error } = splitGames(text);
  if (error) return { games: [], error };
  return {
    games: pieces.map((piece, index) => {
      const read = readPiece(piece);
      if (onGame) onGame(index, pieces.length);
      return read;
    }),
  };
}

/**
 * Reads the first game of a PGN text.
 * @param {string} text
 * @returns {{ game: GameRecord, count: number } | { error: string }} count: the games in the text
 */
export function readGame(text) {
  const { pieces, error } = splitGames(text);
  if (error) return { error };
  const read = readText(pieces[0]);
  return 'error' in read ? read : { game: read.game, count: pieces.length };
}

// The comment chessops writes for a node: commands first, the text last.
function commentOf(node, root) {
  const parts = [];
  if (node.eval) {
    const e = node.eval;
    parts.push(makeComment({ evaluation: 'mate' in e ? { mate: e.mate } : { pawns: Number(e.pawns.toFixed(2)) || 0 } }));
  }
  if (!root && node.clock !== undefined) parts.push(makeComment({ clock: node.clock }));
  parts.push(node.commands || '');
  if (node.best) parts.push(`[%best ${node.best}]`);
  parts.push(node.comment || '');
  const text = squash(parts.join(' '));
  return text ? [text] : [];
}

// Breaks the movetext between words at 80 columns. A line must not start
// with '%', which would make it an escape line: such a word takes the words
// before it, back to one that may start a line, onto the new line.
function wrap(words) {
  const lines = [];
  let line = [];
  let length = 0;
  for (const word of words) {
    if (line.length && length + 1 + word.length > WIDTH) {
      let cut = line.length;
      if (word[0] === '%') while (cut > 0 && line[cut - 1][0] === '%') cut--;
      if (word[0] !== '%' || cut > 1) {
        if (word[0] === '%') cut--;
        lines.push(line.slice(0, cut).join(' '));
        line = line.slice(cut);
        length = line.join(' ').length;
      }
    }
    length += (line.length ? 1 : 0) + word.length;
    line.push(word);
  }
  if (line.length) lines.push(line.join(' '));
  return lines.join('\n');
}

/**
 * Writes a game as PGN: headers in roster order (SetUp and FEN after it when
 * the start is not the standard one), then the whole tree with variations,
 * comments, NAGs, [%clk], [%eval], other commands verbatim, and a review's
 * preferred move as [%best SAN] on the position it was preferred in.
 * judgements (by main-line ply) put the review's NAG on those moves in place
 * of any other mark of the move's quality. opening, the named opening the
 * moves reach, is written as the ECO and Opening headers of a game that has
 * neither.
 * @param {GameRecord} game
 * @param {{ judgements?: Record<number, Judgement | null> | Map<number, Judgement | null>, opening?: import('./openings.js').Opening | null }} [options]
 * @returns {string}
 */
export function writeGame(game, { judgements, opening } = {}) {
  const given = game.headers || {};
  const headers = new Map();
  for (const name of ROSTER) {
    const value = name === 'Result' ? (RESULTS.includes(given.Result) ? given.Result : '*') : (given[name] ?? UNKNOWN[name] ?? '?');
    headers.set(name, squash(String(value)));
  }
  if (game.root.fen !== START_FEN) headers.set('SetUp', '1').set('FEN', game.root.fen);
  for (const [name, value] of Object.entries(given))
    if (!headers.has(name) && name !== 'SetUp' && name !== 'FEN') headers.set(name, squash(String(value)));
  if (opening && given.ECO === undefined && given.Opening === undefined) headers.set('ECO', opening.eco).set('Opening', opening.name);

  const judgementAt = (ply) => (judgements instanceof Map ? judgements.get(ply) : judgements?.[ply]);
  const mainLine = new Set();
  for (let node = game.root.children[0]; node; node = node.children[0]) mainLine.add(node);

  const moves = new Node();
  /** @type {Array<[TreeNode, Node<import('chessops/pgn').PgnNodeData>]>} */
  const stack = [[game.root, moves]];
  while (stack.length) {
    const [from, into] = stack.pop();
    for (const child of from.children) {
      const judgement = mainLine.has(child) ? judgementAt(child.ply) : null;
      const nags = judgement ? [NAGS[judgement], ...child.nags.filter((n) => !QUALITY.includes(n))] : child.nags;
      const out = new ChildNode({
        san: child.san,
        nags,
        comments: commentOf(child, false),
        startingComments: child.startComment ? [squash(child.startComment)] : [],
      });
      into.children.push(out);
      stack.push([child, out]);
    }
  }
  const pgn = makePgn({ headers, comments: commentOf(game.root, true), moves });
  const cut = pgn.indexOf('\n\n') + 2;
  // A move number stays on the line of its move.
  const words = [];
  for (const word of pgn.slice(cut).split(/\s+/).filter(Boolean)) {
    if (words.length && /^\d+\.+$/.test(words[words.length - 1])) words[words.length - 1] += ` ${word}`;
    else words.push(word);
  }
  return `${pgn.slice(0, cut)}${wrap(words)}\n`;
}
