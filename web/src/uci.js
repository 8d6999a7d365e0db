// Reading the engine's output: its "info" lines and its scores. The engine
// prints its scores unscaled, UNITS_PER_PAWN to a pawn, and a mate as
// MATE_SCORE; the page shows pawns from the player's side.
import { MATE_SCORE, UNITS_PER_PAWN } from './engine-facts.js';

export { MATE_SCORE, UNITS_PER_PAWN };

// "info depth 6 score cp 192 nps 1473521 nodes 293107 time 198 pv b1c3" ->
// { depth: 6, cp: 192, nps: 1473521, nodes: 293107, time: 198, pv: 'b1c3' }
export function parseInfo(line) {
  const words = line.trim().split(/\s+/);
  if (words[0] !== 'info') return null;
  const info = {};
  for (let i = 1; i < words.length; i++) {
    const word = words[i];
    if (word === 'score' && words[i + 1] === 'cp') {
      info.cp = Number(words[i + 2]);
      i += 2;
    } else if (word === 'pv') {
      info.pv = words.slice(i + 1);
      break;
    } else if (['depth', 'nps', 'nodes', 'time'].includes(word)) {
      info[word] = Number(words[++i]);
    }
  }
  return Number.isFinite(info.depth) ? info : null;
}

// The score as the player sees it: cp is from the side to move's view.
export function formatScore(cp, sideToMove, player) {
  if (!Number.isFinite(cp)) return '';
  const own = sideToMove === player ? cp : -cp;
  if (Math.abs(own) >= MATE_SCORE) return own > 0 ? '+mate' : '-mate';
  const pawns = own / UNITS_PER_PAWN;
  return (pawns > 0 ? '+' : pawns < 0 ? '-' : '') + Math.abs(pawns).toFixed(2);
}

export function formatCount(n) {
  if (!Number.isFinite(n)) return '';
  if (n >= 1e6) return `${(n / 1e6).toFixed(1)}M`;
  if (n >= 1e4) return `${Math.round(n / 1e3)}k`;
  return String(n);
}

// "bestmove e7e8q" -> { from: 'e7', to: 'e8', promotion: 'q' }; null when the
// text is no move.
export function parseBestMove(line) {
  const m = /^bestmove\s+([a-h][1-8])([a-h][1-8])([qrbn]?)\s*$/.exec(line.trim());
  if (!m) return null;
  return { from: m[1], to: m[2], promotion: m[3] || undefined };
}
