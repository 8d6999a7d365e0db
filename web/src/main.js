// The page: the controller, its views and the page's controls wired to the
// controller's actions. A handler reads what the player chose and calls an
// action; only the render draws.
import { createBoard } from './board.js';
import { createClock } from './clock.js';
import { createController } from './controller.js';
import { createEngine } from './engine.js';
import { plyAt } from './graph.js';
import { bindingFor } from './keys.js';
import { registerOffline } from './offline.js';
import { loadOpenings } from './openings.js';
import { MAX_PGN_BYTES } from './pgn.js';
import { checkFen } from './rules.js';
import { createSound } from './sound.js';
import { newId, openStore } from './store.js';
import { mainline } from './tree.js';
import { createView } from './view.js';

registerOffline();

/** @param {string} id */
const $ = (id) => /** @type {HTMLElement} */ (document.getElementById(id));
/** @param {string} id */
const field = (id) => /** @type {HTMLInputElement} */ (document.getElementById(id));
/** @param {string} id @param {(e: MouseEvent) => void} fn */
const onClick = (id, fn) => $(id).addEventListener('click', fn);

/** @type {(state: import('./controller.js').State) => void} */
let render = () => {};
const ctrl = createController({
  engine: createEngine,
  clock: createClock,
  render: (state) => render(state),
  store: () => openStore(),
  newId,
  sound: createSound(),
});
const board = createBoard($('board'), { onMove: (from, to) => ctrl.playMove(from, to) });
render = createView(board, ctrl);

function settings() {
  return { colour: field('colour').value, time: field('time').value, minutes: field('minutes').value, increment: field('increment').value };
}

// The board comes into view when a game starts or a move is chosen from a
// list below it, as on a phone, where the controls sit under the board.
function showBoard() {
  const box = $('board').getBoundingClientRect();
  if (box.top < 0 || box.bottom > window.innerHeight) $('board-area').scrollIntoView({ block: 'start' });
}

onClick('new-game', () => {
  ctrl.newGame(settings());
  showBoard();
});
onClick('flip', () => ctrl.flip());
onClick('takeback', () => ctrl.takeBack());
onClick('resign', () => ctrl.resign());
onClick('analyse', () => ctrl.toggleAnalysis());
onClick('stop', () => ctrl.stop());
onClick('resume', () => {
  ctrl.resume();
  showBoard();
});
const setFen = () => ctrl.setFen(checkFen(field('fen').value), settings());
onClick('set-fen', setFen);
field('fen').addEventListener('keydown', (e) => {
  if (e.key === 'Enter') setFen();
});
field('time').addEventListener('change', () => ctrl.chooseTime(field('time').value));
onClick('nav-first', () => ctrl.navigate('first'));
onClick('nav-prev', () => ctrl.navigate('prev'));
onClick('nav-next', () => ctrl.navigate('next'));
onClick('nav-last', () => ctrl.navigate('last'));

// The keys (keys.js); what they do beyond the controller's actions.
/** @type {import('./keys.js').KeyHost} */
const keyHost = {
  ctrl,
  focus: (id) => $(id).focus(),
  openLibrary() {
    $('library-box').scrollIntoView({ block: 'start' });
    const first = /** @type {HTMLElement | null} */ ($('library').querySelector('[data-game-id]'));
    (first || $('library-search')).focus({ preventScroll: true });
  },
  review: () => ctrl.review(Number(field('review-time').value)),
  leave: () => {
    const el = document.activeElement;
    if (el instanceof HTMLElement && el !== document.body) el.blur();
  },
};
document.addEventListener('keydown', (e) => {
  const binding = bindingFor({ key: e.key, ctrlKey: e.ctrlKey, altKey: e.altKey, metaKey: e.metaKey, target: /** @type {HTMLElement} */ (e.target) });
  if (!binding) return;
  // Also keeps '/' out of the move box it opens.
  e.preventDefault();
  binding.run(keyHost);
});
onClick('show-help', () => ctrl.showHelp(true));
onClick('help-close', () => ctrl.showHelp(false));
$('help').addEventListener('click', (e) => {
  if (e.target === $('help')) ctrl.showHelp(false);
});
$('key-moments').addEventListener('click', (e) => {
  const moment = /** @type {HTMLElement | null} */ (/** @type {HTMLElement} */ (e.target).closest('[data-ply]'));
  if (!moment) return;
  ctrl.goToPly(Number(moment.dataset.ply));
  showBoard();
});
field('player-name').addEventListener('input', () => ctrl.setPrefs({ playerName: field('player-name').value }));
field('sound').addEventListener('change', () => ctrl.setPrefs({ sound: field('sound').checked }));
field('move-input').addEventListener('keydown', (e) => {
  if (e.key !== 'Enter') return;
  ctrl.typeMove(field('move-input').value);
  if (!ctrl.state.moveMessage) field('move-input').value = '';
});
$('moves').addEventListener('click', (e) => {
  const move = /** @type {HTMLElement | null} */ (/** @type {HTMLElement} */ (e.target).closest('[data-node]'));
  if (!move) return;
  const path = move.dataset.path;
  ctrl.goTo(path ? path.split(' ') : []);
  showBoard();
});
onClick('eval-graph', (/** @type {MouseEvent} */ e) => {
  const box = $('eval-graph').getBoundingClientRect();
  const plies = mainline(ctrl.state.game.root).length - 1;
  if (box.width > 0) ctrl.goToPly(plyAt((e.clientX - box.left) / box.width, plies));
  showBoard();
});
onClick('promote', () => ctrl.promote());
onClick('delete-move', () => ctrl.deleteMove());
onClick('undo', () => ctrl.undo());
$('comment-input').addEventListener('input', () => ctrl.setComment(/** @type {HTMLTextAreaElement} */ ($('comment-input')).value));
$('nag').addEventListener('change', () => ctrl.setNag(field('nag').value));
onClick('review', () => ctrl.review(Number(field('review-time').value)));
onClick('cancel-review', () => ctrl.cancelReview());
onClick('practise', () => {
  ctrl.practise(field('practise-side').value, Number(field('practise-time').value));
  showBoard();
});
onClick('practise-all', () => {
  ctrl.practiseAll(field('practise-side').value, Number(field('practise-time').value));
  showBoard();
});
onClick('practise-show', () => ctrl.practiseShow());
onClick('practise-next', () => ctrl.practiseNext());
onClick('practise-stop', () => ctrl.practiseStop());
onClick('play-from-here', () => {
  ctrl.playFromHere(settings());
  showBoard();
});
onClick('load-pgn', () => ctrl.loadPgn(field('pgn-input').value));
// A file larger than the page reads is cut just past the limit, so that
// the reader refuses it without the whole file in memory.
field('pgn-file').addEventListener('change', async () => {
  const files = field('pgn-file').files;
  const file = files && files[0];
  if (!file) return;
  try {
    ctrl.loadPgn(await file.slice(0, MAX_PGN_BYTES + 1).text());
  } catch (e) {
    ctrl.setMessage(`The file ${file.name} could not be read (${e instanceof Error ? e.message : e}).`);
  }
  field('pgn-file').value = '';
});
onClick('restart', () => ctrl.restartEngine());
for (const button of $('promotion').querySelectorAll('button'))
  button.addEventListener('click', () => ctrl.choosePromotion(/** @type {HTMLElement} */ (button).dataset.piece || null));

/** @param {string} text @param {string} done */
async function copy(text, done) {
  try {
    await navigator.clipboard.writeText(text);
    ctrl.setMessage(done);
  } catch {
    ctrl.setMessage(`Copy it from here: ${text}`);
  }
}
onClick('copy-pgn', async () => {
  try {
    await navigator.clipboard.writeText(field('pgn').value);
    ctrl.setMessage('PGN copied.');
  } catch {
    field('pgn').select();
    ctrl.setMessage(document.execCommand && document.execCommand('copy') ? 'PGN copied.' : 'Select the PGN and copy it.');
  }
});
/** @param {string} text @param {string} name */
function download(text, name) {
  const blob = new Blob([text + '\n'], { type: 'application/x-chess-pgn' });
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}
onClick('download-pgn', () => download(field('pgn').value, 'tarvik-game.pgn'));
const fenOnView = () => /** @type {HTMLElement} */ ($('board')).dataset.fen || '';
onClick('copy-fen', () => copy(fenOnView(), 'FEN copied.'));
onClick('copy-link', () => {
  const url = new URL(location.href);
  url.hash = `fen=${encodeURIComponent(fenOnView())}`;
  copy(url.href, 'Link copied.');
});

// The library.
field('library-search').addEventListener('input', () => ctrl.showLibrary({ search: field('library-search').value }));
field('library-sort').addEventListener('change', () =>
  ctrl.showLibrary({ sort: field('library-sort').value === 'date-asc' ? 'date-asc' : 'date-desc' }),
);
onClick('library-prev', () => ctrl.showLibrary({ offset: Math.max(0, ctrl.state.library.offset - ctrl.state.library.items.length || 0) }));
onClick('library-next', () => ctrl.showLibrary({ offset: ctrl.state.library.offset + ctrl.state.library.items.length }));
/** @param {Event} e */
function openFromList(e) {
  const item = /** @type {HTMLElement | null} */ (/** @type {HTMLElement} */ (e.target).closest('[data-game-id]'));
  if (!item) return;
  ctrl.openLibraryGame(/** @type {string} */ (item.dataset.gameId)).then(showBoard);
}
$('library').addEventListener('click', openFromList);
$('library').addEventListener('keydown', (e) => {
  if (e.key === 'Enter') openFromList(e);
});
onClick('library-delete', () => ctrl.deleteGame());
onClick('library-export', async () => download(await ctrl.exportLibrary(), 'tarvik-library.pgn'));
for (const name of /** @type {const} */ (['White', 'Black', 'Event', 'Date', 'Result'])) {
  const box = field(`header-${name.toLowerCase()}`);
  box.addEventListener('change', () => ctrl.editHeaders({ [name]: box.value }));
}
// A page being left saves its clocks as they stand.
document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'hidden') ctrl.saveNow();
});
window.addEventListener('pagehide', () => ctrl.saveNow());

ctrl.start(settings());
// The opening names come once the board plays: the page works without them.
loadOpenings(document).then((table) => {
  if (table) ctrl.setOpenings(table);
});
ctrl.startLibrary().then(() => {
  // An address with #fen=… sets that position up once, then is cleared, so a
  // reload opens the library's game.
  const shared = /^#fen=(.*)$/.exec(location.hash);
  if (!shared) return;
  history.replaceState(null, '', location.pathname + location.search);
  let fen = '';
  try {
    fen = decodeURIComponent(shared[1]);
  } catch {
    fen = shared[1];
  }
  field('fen').value = fen;
  ctrl.setFen(checkFen(fen), settings());
});
