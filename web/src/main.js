// The page: the controller, its views and the page's controls wired to the
// controller's actions. A handler reads what the player chose and calls an
// action; only the render draws.
import { createBoard } from './board.js';
import { createClock } from './clock.js';
import { createController } from './controller.js';
import { createEngine } from './engine.js';
import { checkFen } from './game.js';
import { createView } from './view.js';

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
