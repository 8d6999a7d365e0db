// Reading and writing PGN: the text structure here, every move and position through chess.js.
import { Chess, DEFAULT_POSITION } from 'chess.js';
import { checkFen } from './game.js';
import { NAGS, formatEval } from './review.js';

export const MAX_PGN_BYTES = 1 << 20;

const ROSTER = ['Event', 'Site', 'Date', 'Round', 'White', 'Black', 'Result'];
const UNKNOWN = { Date: '????.??.??' };
const RESULTS = ['1-0', '0-1', '1/2-1/2', '*'];
// The move suffixes that stand for NAGs 1 to 6.
const SUFFIXES = { '!': 1, '?': 2, '!!': 3, '??': 4, '!?': 5, '?!': 6 };
const QUALITY = Object.fromEntries(Object.entries(SUFFIXES).map(([mark, nag]) => [nag, mark]));
// What a move of SAN can look like, loosely: chess.js decides the rest.
const SAN = /^(?:[KQRBNP]?[a-h]?[1-8]?[x:-]?[a-h][1-8](?:=?[QRBNqrbn])?|O-O(?:-O)?)$/;
const WIDTH = 80;

class PgnError extends Error {}

// The tokens of PGN text in order. A '%' in the first column makes the line
// an escape for other programs; it is blanked so that line numbers still count.
function* tokens(source) {
  const text = source.replace(/^%.*$/gm, '');
  // Tokens come in order, so the line count only moves forward.
  let line = 1;
  let counted = 0;
  const lineAt = (pos) => {
    for (; counted < pos; counted++) if (text.charCodeAt(counted) === 10) line++;
    return line;
  };
  const fail = (pos, message) => {
    throw new PgnError(message.replace('LINE', `line ${lineAt(pos)}`));
  };
  const sticky = {
    space: /\s+/y,
    header: /\[\s*([A-Za-z0-9_]+)\s+"((?:[^"\\\n]|\\.)*)"\s*\]/y,
    result: /(?:1-0|0-1|1\/2-1\/2|\*)(?![\w/-])/y,
    number: /\d+(?:\s*\.+|(?=\s))/y,
    enPassant: /e\.p\./y,
    symbol: /[A-Za-z0-9][\w+#=:/-]*/y,
    suffix: /[!?]{1,2}/y,
    nag: /\$(\d+)/y,
  };
  const at = (name, pos) => {
    const re = sticky[name];
    re.lastIndex = pos;
    return re.exec(text);
  };
  let pos = 0;
  while (pos < text.length) {
    let m;
    const c = text[pos];
    if ((m = at('space', pos))) {
      pos += m[0].length;
    } else if (c === '{') {
      const end = text.indexOf('}', pos);
      if (end === -1) fail(pos, 'A comment opened with { on LINE is never closed.');
      yield { type: 'comment', text: text.slice(pos + 1, end) };
      pos = end + 1;
    } else if (c === ';') {
      const end = text.indexOf('\n', pos);
      yield { type: 'comment', text: text.slice(pos + 1, end === -1 ? text.length : end) };
      pos = end === -1 ? text.length : end;
    } else if (c === '[') {
      if (!(m = at('header', pos))) fail(pos, 'The header on LINE cannot be read: a header is [Name "value"].');
      yield { type: 'header', name: m[1], value: m[2].replace(/\\(.)/g, '$1') };
      pos += m[0].length;
    } else if (c === '(' || c === ')') {
      yield { type: c === '(' ? 'open' : 'close', line: lineAt(pos) };
      pos++;
    } else if (c === '}') {
      fail(pos, 'The } on LINE closes no comment.');
    } else if ((m = at('nag', pos))) {
      yield { type: 'nag', nag: Number(m[1]) };
      pos += m[0].length;
    } else if ((m = at('result', pos))) {
      yield { type: 'result', result: m[0] };
      pos += m[0].length;
    } else if ((m = at('number', pos)) || (m = at('enPassant', pos))) {
      pos += m[0].length;
    } else if ((m = at('symbol', pos))) {
      pos += m[0].length;
      const suffix = at('suffix', pos);
      if (suffix) pos += suffix[0].length;
      yield { type: 'move', text: m[0], suffix: suffix ? suffix[0] : '' };
    } else if ((m = at('suffix', pos))) {
      yield { type: 'suffix', suffix: m[0] };
      pos += m[0].length;
    } else {
      fail(pos, `The character ${JSON.stringify(c)} on LINE has no place in a PGN.`);
    }
  }
  yield { type: 'end' };
}

// The comment as the page keeps it: commands such as [%eval] and [%clk] are
// for programs, and line breaks inside braces are only wrapping.
function commentText(raw) {
  return raw
    .replace(/\[%[^\]]*\]/g, ' ')
    .replace(/\s+/g, ' ')
    .trim();
}

// "12. Nf3" or "12... Nf6": the move number and side of the position it is played from.
function moveLabel(chess, san) {
  return `${chess.moveNumber()}${chess.turn() === 'w' ? '.' : '...'} ${san}`;
}

function startOf(headers) {
  if (headers.SetUp === '0') return { fen: null };
  if (headers.FEN === undefined) {
    if (headers.SetUp === '1') return { error: 'The game says SetUp "1" but has no FEN header.' };
    return { fen: null };
  }
  const verdict = checkFen(headers.FEN);
  if (verdict.error) return { error: `The game's starting position cannot be set up. ${verdict.error}` };
  return { fen: verdict.fen === DEFAULT_POSITION ? null : verdict.fen };
}

function stop(message, extra = {}) {
  return { error: { message, ...extra } };
}

// Reads the first game from the token stream, up to its result or to the
// header that begins the next game (handed back as `next`).
function readGame(stream) {
  const headers = {};
  const moves = [];
  const comment = [];
  const open = []; // the line of each open variation, innermost last
  let variationsDropped = 0;
  let chess = null;
  let startFen = null;
  let lastLabel = null;
  const stopped = (message) => stop(lastLabel ? `${message}; reading stopped after move ${lastLabel}.` : `${message}.`);
  const setUp = () => {
    const start = startOf(headers);
    if (start.error) return start.error;
    startFen = start.fen;
    chess = new Chess(startFen || DEFAULT_POSITION);
    return null;
  };
  const done = (result, next) => {
    if (!moves.length && !Object.keys(headers).length)
      return stop('This text holds no PGN game: no headers and no moves.');
    const failed = chess ? null : setUp();
    if (failed) return stop(failed);
    if (!result) result = RESULTS.includes(headers.Result) ? headers.Result : '*';
    return { game: { headers, startFen, moves, result, comment: comment.join(' '), variationsDropped }, next };
  };

  for (;;) {
    let token;
    try {
      token = stream.next().value;
    } catch (e) {
      if (e instanceof PgnError) return stopped(e.message.replace(/\.$/, ''));
      throw e;
    }
    if (token.type === 'end') {
      if (open.length) return stopped(`The variation opened with ( on line ${open.pop()} is never closed`);
      return done(null, null);
    }
    if (token.type === 'header') {
      if (open.length) return stopped(`The variation opened with ( on line ${open.pop()} is never closed before the next game`);
      // Headers after moves begin the next game of a file that left out a result.
      if (moves.length) return done(null, token);
      headers[token.name] = token.value;
    } else if (token.type === 'result') {
      if (open.length) return stopped(`The variation opened with ( on line ${open.pop()} is never closed before the result`);
      return done(token.result, null);
    } else if (token.type === 'open') {
      variationsDropped++;
      open.push(token.line);
    } else if (token.type === 'close') {
      if (!open.length) return stopped(`The ) on line ${token.line} closes no variation`);
      open.pop();
    } else if (open.length) {
      // Inside a variation: its moves are left out unread.
    } else if (token.type === 'comment') {
      const said = commentText(token.text);
      const last = moves[moves.length - 1];
      if (!said) continue;
      if (last) last.comment = last.comment ? `${last.comment} ${said}` : said;
      else comment.push(said);
    } else if (token.type === 'nag' || token.type === 'suffix') {
      const nag = token.type === 'nag' ? token.nag : SUFFIXES[token.suffix];
      const last = moves[moves.length - 1];
      if (last && nag !== undefined && !last.nags.includes(nag)) last.nags.push(nag);
    } else {
      if (!chess) {
        const failed = setUp();
        if (failed) return stop(failed);
      }
      const label = moveLabel(chess, token.text + token.suffix);
      const ply = moves.length + 1;
      // chess.js refuses a check sign it would not write, and 0-0 or Pe4 as other programs write them.
      const san = token.text
        .replace(/[+#]+$/, '')
        .replace(/0/g, 'O')
        .replace(/^P(?=[a-h])/, '');
      if (!SAN.test(san)) {
        if (!moves.length && !Object.keys(headers).length)
          return stop('This text does not read as a PGN game: it has no headers and does not start with a move.');
        return stop(`Move ${label} cannot be read as a move.`, { ply, san: token.text });
      }
      let played;
      try {
        played = chess.move(san);
      } catch {
        return stop(`Move ${label} is illegal ${chess.isGameOver() ? 'after the end of the game' : 'in this position'}.`, { ply, san: token.text });
      }
      moves.push({
        san: played.san,
        from: played.from,
        to: played.to,
        promotion: played.promotion,
        fen: chess.fen(),
        comment: '',
        nags: token.suffix in SUFFIXES ? [SUFFIXES[token.suffix]] : [],
      });
      lastLabel = label;
    }
  }
}

// Counts the games in what follows the first; a fault there ends the count
// but not the first game, which has been read whole.
function countGames(stream, next) {
  let count = 0;
  let inGame = false;
  let moved = false;
  try {
    for (let token = next || stream.next().value; token && token.type !== 'end'; token = stream.next().value) {
      if (token.type === 'comment') continue;
      if (token.type === 'result') {
        inGame = false;
      } else if (!inGame || (token.type === 'header' && moved)) {
        count++;
        inGame = true;
        moved = false;
      }
      if (token.type === 'move') moved = true;
    }
  } catch (e) {
    if (!(e instanceof PgnError)) throw e;
  }
  return count;
}

export function parsePgn(text) {
  text = String(text ?? '').replace(/^\uFEFF/, '');
  if (text.length > MAX_PGN_BYTES || new TextEncoder().encode(text).length > MAX_PGN_BYTES)
    return stop('This PGN is larger than 1 MB, more than this page reads.');
  if (!text.trim()) return stop('The PGN is empty.');
  const stream = tokens(text);
  const first = readGame(stream);
  if (first.error) return first;
  return { game: first.game, count: 1 + countGames(stream, first.next) };
}

function quoted(value) {
  return `"${String(value).replace(/[\\"]/g, '\\$&').replace(/\s+/g, ' ')}"`;
}

// A comment's words for wrapping; a brace inside would end the comment early.
function commentWords(text) {
  return String(text).replace(/[{}]/g, '').split(/\s+/).filter(Boolean);
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

export function writePgn(game, review) {
  const headers = game.headers || {};
  const lines = ROSTER.map((name) => {
    const value = name === 'Result' ? game.result : (headers[name] ?? UNKNOWN[name] ?? '?');
    return `[${name} ${quoted(value)}]`;
  });
  if (game.startFen) lines.push(`[SetUp "1"]`, `[FEN ${quoted(game.startFen)}]`);
  for (const [name, value] of Object.entries(headers))
    if (!ROSTER.includes(name) && name !== 'SetUp' && name !== 'FEN') lines.push(`[${name} ${quoted(value)}]`);

  const start = new Chess(game.startFen || DEFAULT_POSITION);
  let number = start.moveNumber();
  let turn = start.turn();
  const words = [];
  const opening = commentWords(game.comment || '');
  if (opening.length) words.push('{', ...opening, '}');
  // A Black move needs its number again after anything that breaks the line of moves.
  let interrupted = true;
  game.moves.forEach((move, i) => {
    const ply = i + 1;
    if (turn === 'w') words.push(`${number}. ${move.san}`);
    else words.push(interrupted ? `${number}... ${move.san}` : move.san);
    // The review's judgement takes the place of any other mark of the move's quality.
    const judgement = review?.judged?.[i]?.judgement;
    let nags = move.nags || [];
    if (judgement) nags = [NAGS[judgement], ...nags.filter((n) => !(n in QUALITY))];
    words.push(...nags.map((n) => `$${n}`));
    const evaluation = review?.evals?.[ply];
    const said = commentWords(move.comment || '');
    if (evaluation) words.push('{', `[%eval ${formatEval(evaluation)}]`, ...said, '}');
    else if (said.length) words.push('{', ...said, '}');
    interrupted = nags.length > 0 || evaluation !== undefined || said.length > 0;
    if (turn === 'b') number++;
    turn = turn === 'w' ? 'b' : 'w';
  });
  words.push(game.result || '*');
  return `${lines.join('\n')}\n\n${wrap(words)}\n`;
}
