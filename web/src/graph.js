// The review's evaluation graph as SVG markup: White's advantage over the
// plies, clipped at ten pawns, White's share shaded below the line, each
// judged move marked in its colour, and the ply on view as an upright line.
import { clipPawns } from './review.js';

export const WIDTH = 600;
export const HEIGHT = 120;

export function graphX(ply, plies) {
  return plies > 0 ? (ply / plies) * WIDTH : 0;
}

function graphY(evaluation) {
  return HEIGHT / 2 - (clipPawns(evaluation) / 10) * (HEIGHT / 2 - 4);
}

// The ply nearest to a click at fraction (0 to 1) of the graph's width.
export function plyAt(fraction, plies) {
  return Math.max(0, Math.min(plies, Math.round(fraction * plies)));
}

const round = (v) => Math.round(v * 10) / 10;

// evals[i]: the evaluation after i plies, undefined where there is none.
export function graphMarkup(evals, judged, ply) {
  const plies = evals.length - 1;
  const points = [];
  evals.forEach((e, i) => {
    if (e) points.push([round(graphX(i, plies)), round(graphY(e))]);
  });
  const parts = [`<line class="axis" x1="0" y1="${HEIGHT / 2}" x2="${WIDTH}" y2="${HEIGHT / 2}"/>`];
  if (points.length) {
    const line = points.map(([x, y]) => `${x},${y}`).join(' ');
    parts.unshift(`<polygon class="white" points="${points[0][0]},${HEIGHT} ${line} ${points.at(-1)[0]},${HEIGHT}"/>`);
    parts.push(`<polyline class="line" points="${line}"/>`);
  }
  for (const m of judged) {
    if (!m.judgement || !evals[m.ply]) continue;
    const x = round(graphX(m.ply, plies));
    const y = round(graphY(evals[m.ply]));
    parts.push(`<rect class="${m.judgement}" data-ply="${m.ply}" x="${round(x - 3)}" y="${round(y - 6)}" width="6" height="12"/>`);
  }
  const x = round(graphX(ply, plies));
  parts.push(`<line class="here" x1="${x}" y1="0" x2="${x}" y2="${HEIGHT}"/>`);
  return parts.join('');
}
