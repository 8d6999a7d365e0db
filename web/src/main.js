// The page: the controller, its views and the page's controls wired to the
// controller's actions. A handler reads what the player chose and calls an
// action; only the render draws.
import { createBoard } from './board.js';
import { createClock } from './clock.js';
import { createController } from './controller.js';
import { createEngine } from './engine.js';
import { checkFen } from './game.js';
import { plyAt } from './graph.js';
import { registerOffline } from './offline.js';
import { MAX_PGN_BYTES } from './pgn.js';
import { createView } from './view.js';

registerOffline();

const $ = (id) => document.getElementById(id);

let render = () => {};
const ctrl = createController({ engine: createEngine, clock: createClock, render: (state) => render(state) });
const board = createBoard($('board'), { onMove: (from, to) => ctrl.playMove(from, to) });
render = createView(board, ctrl);

function settings() {
  return { colour: $('colour').value, time: $('time').value, minutes: $('minutes').value, increment: $('increment').value };
}

$('new-game').addEventListener('click', () => ctrl.newGame(settings()));
$('flip').addEventListener('click', () => ctrl.flip());
$('takeback').addEventListener('click', () => ctrl.takeBack());
$('resign').addEventListener('click', () => ctrl.resign());
$('analyse').addEventListener('click', () => ctrl.toggleAnalysis());
$('stop').addEventListener('click', () => ctrl.stop());
const setFen = () => ctrl.setFen(checkFen($('fen').value), settings());
$('set-fen').addEventListener('click', setFen);
$('fen').addEventListener('keydown', (e) => {
  if (e.key === 'Enter') setFen();
});
$('time').addEventListener('change', () => ctrl.chooseTime($('time').value));
$('nav-first').addEventListener('click', () => ctrl.navigate('first'));
$('nav-prev').addEventListener('click', () => ctrl.navigate('prev'));
$('nav-next').addEventListener('click', () => ctrl.navigate('next'));
$('nav-last').addEventListener('click', () => ctrl.navigate('last'));
const KEYS = { ArrowLeft: 'prev', ArrowRight: 'next', Home: 'first', End: 'last' };
document.addEventListener('keydown', (e) => {
  if (!KEYS[e.key] || e.altKey || e.ctrlKey || e.metaKey || /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName)) return;
  e.preventDefault();
  ctrl.navigate(KEYS[e.key]);
});
$('moves').addEventListener('click', (e) => {
  const move = e.target.closest('[data-ply]');
  if (move) ctrl.goToPly(Number(move.dataset.ply));
});
$('eval-graph').addEventListener('click', (e) => {
  const box = $('eval-graph').getBoundingClientRect();
  const review = ctrl.state.review;
  if (review && box.width > 0) ctrl.goToPly(plyAt((e.clientX - box.left) / box.width, review.total - 1));
});
$('replace-yes').addEventListener('click', () => ctrl.confirmReplace(true));
$('replace-no').addEventListener('click', () => ctrl.confirmReplace(false));
$('review').addEventListener('click', () => ctrl.review(Number($('review-time').value)));
$('cancel-review').addEventListener('click', () => ctrl.cancelReview());
$('play-from-here').addEventListener('click', () => ctrl.playFromHere(settings()));
$('load-pgn').addEventListener('click', () => ctrl.loadPgn($('pgn-input').value));
// A file larger than the page reads is cut just past the limit, so that
// the reader refuses it without the whole file in memory.
$('pgn-file').addEventListener('change', async () => {
  const file = $('pgn-file').files[0];
  if (!file) return;
  ctrl.loadPgn(await file.slice(0, MAX_PGN_BYTES + 1).text());
  $('pgn-file').value = '';
});
$('restart').addEventListener('click', () => ctrl.restartEngine());
for (const button of $('promotion').querySelectorAll('button'))
  button.addEventListener('click', () => ctrl.choosePromotion(button.dataset.piece || null));
$('copy-pgn').addEventListener('click', async () => {
  try {
    await navigator.clipboard.writeText($('pgn').value);
    ctrl.setMessage('PGN copied.');
  } catch {
    $('pgn').select();
    ctrl.setMessage(document.execCommand && document.execCommand('copy') ? 'PGN copied.' : 'Select the PGN and copy it.');
  }
});
$('download-pgn').addEventListener('click', () => {
  const blob = new Blob([$('pgn').value + '\n'], { type: 'application/x-chess-pgn' });
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = 'tarvik-game.pgn';
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
});

ctrl.start(settings());
