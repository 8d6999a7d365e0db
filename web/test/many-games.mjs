// PGN texts of many games for the library's tests and measurements: short games of legal moves from a seeded generator, with chosen games spoiled.
import { Chess } from 'chessops/chess';
import { makeSanAndPlay } from 'chessops/san';

/** @typedef {'illegal' | 'fen' | 'variation' | 'comment'} Fault */

/**
 * A seeded generator of numbers in [0, 1) (mulberry32), so that a run's
 * games are the same every time.
 * @param {number} seed
 */
export function seeded(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

/**
 * Up to plies legal moves from the standard start, in SAN, each picked by
 * random among the legal ones; fewer when the game ends first.
 * @param {() => number} random
 * @param {number} plies
 * @returns {string[]}
 */
export function randomLine(random, plies) {
  const pos = Chess.default();
  /** @type {string[]} */
  const sans = [];
  while (sans.length < plies) {
    /** @type {import('chessops').NormalMove[]} */
    const moves = [];
    for (const [from, dests] of pos.allDests())
      for (const to of dests) {
        const last = to >> 3 === 0 || to >> 3 === 7;
        moves.push(pos.board.pawn.has(from) && last ? { from, to, promotion: 'queen' } : { from, to });
      }
    if (!moves.length) break;
    sans.push(makeSanAndPlay(pos, moves[Math.floor(random() * moves.length)]));
  }
  return sans;
}

/** @param {string[]} sans */
function movetext(sans) {
  return sans.map((san, i) => (i % 2 === 0 ? `${i / 2 + 1}. ${san}` : san)).join(' ');
}

/**
 * A PGN of count games, each with its own players and a line of plies[0]
 * to plies[1] plies. A game named in faults is spoiled: an illegal move after its line,
 * a start position with the side not to move in check, a variation or a
 * comment that is never closed (a comment left open takes the rest of the
 * text with it, so it belongs to the last game). good lists the numbers of
 * the games that read.
 * @param {number} count
 * @param {{ faults?: Record<number, Fault>, seed?: number, plies?: [number, number] }} [options]
 * @returns {{ text: string, good: number[] }}
 */
export function manyGames(count, { faults = {}, seed = 1, plies = [6, 30] } = {}) {
  const random = seeded(seed);
  /** @type {string[]} */
  const games = [];
  /** @type {number[]} */
  const good = [];
  for (let n = 1; n <= count; n++) {
    const fault = faults[n];
    const headers = [`[Event "Club night ${Math.ceil(n / 50)}"]`, `[Site "?"]`, `[Date "2025.${String((n % 12) + 1).padStart(2, '0')}.01"]`, `[Round "${n}"]`];
    headers.push(`[White "Player ${n}"]`, `[Black "Rival ${n % 17}"]`, '[Result "*"]');
    const sans = randomLine(random, plies[0] + Math.floor(random() * (plies[1] - plies[0] + 1)));
    let body = movetext(sans);
    if (fault === 'illegal') body = '1. e4 e5 2. Ke3 Nc6';
    else if (fault === 'fen') {
      headers.push('[SetUp "1"]', '[FEN "k6R/8/8/8/8/8/8/K7 w - - 0 1"]');
      body = '1. Kb2';
    } else if (fault === 'variation') body = `${movetext(sans.slice(0, 2))} (1... c5 2. Nf3`;
    else if (fault === 'comment') body = `${body} {a comment that is never closed`;
    games.push(`${headers.join('\n')}\n\n${body} *\n`);
    if (!fault) good.push(n);
  }
  return { text: games.join('\n'), good };
}
