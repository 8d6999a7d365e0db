// The page's keys: one table that both the key handler and the list in the help overlay are made from.

/** @typedef {ReturnType<typeof import('./controller.js').createController>} Controller */

/**
 * What a key may do besides calling the controller: the page's focus and
 * its scrolling, and the review time chosen on the page.
 * @typedef {object} KeyHost
 * @property {Controller} ctrl
 * @property {(id: string) => void} focus
 * @property {() => void} openLibrary
 * @property {() => void} review
 * @property {() => void} leave takes the focus from the element that has it
 */

/**
 * @typedef {object} Binding
 * @property {string} key KeyboardEvent.key
 * @property {string} label as the list shows the key
 * @property {string} does
 * @property {(host: KeyHost) => void} run
 * @property {boolean} [inTextBox] also while the focus is in a text box
 */

/** @type {Binding[]} */
export const KEYS = [
  { key: 'ArrowLeft', label: '←', does: 'Previous move', run: (h) => h.ctrl.navigate('prev') },
  { key: 'ArrowRight', label: '→', does: 'Next move, along the line on view', run: (h) => h.ctrl.navigate('next') },
  { key: 'ArrowUp', label: '↑', does: 'The move before this one at a branch', run: (h) => h.ctrl.navigate('up') },
  { key: 'ArrowDown', label: '↓', does: 'The move after this one at a branch', run: (h) => h.ctrl.navigate('down') },
  { key: 'Home', label: 'Home', does: 'First position', run: (h) => h.ctrl.navigate('first') },
  { key: 'End', label: 'End', does: 'Last position of the line', run: (h) => h.ctrl.navigate('last') },
  { key: 'f', label: 'f', does: 'Flip the board', run: (h) => h.ctrl.flip() },
  { key: ' ', label: 'Space', does: "Play the engine's best move (in analysis)", run: (h) => h.ctrl.playBest() },
  { key: 'n', label: 'n', does: 'Next inaccuracy, mistake or blunder of the review', run: (h) => h.ctrl.goToJudged(1) },
  { key: 'p', label: 'p', does: 'Previous inaccuracy, mistake or blunder', run: (h) => h.ctrl.goToJudged(-1) },
  { key: 'l', label: 'l', does: 'Open the library', run: (h) => h.openLibrary() },
  { key: 'r', label: 'r', does: 'Review the game', run: (h) => h.review() },
  { key: 'c', label: 'c', does: 'Comment on the move on view', run: (h) => h.focus('comment-input') },
  { key: '/', label: '/', does: 'Type a move', run: (h) => h.focus('move-input') },
  { key: '?', label: '?', does: 'Show or hide this list', run: (h) => h.ctrl.showHelp(!h.ctrl.state.help) },
  {
    key: 'Escape',
    label: 'Esc',
    does: 'Close this list, or leave a text box',
    inTextBox: true,
    run: (h) => (h.ctrl.state.help ? h.ctrl.showHelp(false) : h.leave()),
  },
];

// Inputs that take no typing: the keys work on them.
const NOT_TYPED = new Set(['checkbox', 'radio', 'button', 'submit', 'reset', 'file', 'range', 'color']);
// Controls that Space works itself.
const PRESSED = new Set(['BUTTON', 'SUMMARY', 'A']);

/**
 * @typedef {{ tagName?: string, type?: string, isContentEditable?: boolean } | null} Target
 */

/** @param {Target} el */
export function isTextBox(el) {
  if (!el) return false;
  if (el.isContentEditable || el.tagName === 'TEXTAREA' || el.tagName === 'SELECT') return true;
  return el.tagName === 'INPUT' && !NOT_TYPED.has(String(el.type).toLowerCase());
}

/**
 * The binding a key press calls: none with Ctrl, Alt or Meta, none but
 * Escape in a text box, and no Space on a button or a box to tick, which
 * Space presses.
 * @param {{ key: string, ctrlKey?: boolean, altKey?: boolean, metaKey?: boolean, target: Target }} event
 * @returns {Binding | null}
 */
export function bindingFor(event) {
  if (event.ctrlKey || event.altKey || event.metaKey) return null;
  const binding = KEYS.find((b) => b.key === event.key);
  if (!binding) return null;
  const el = event.target;
  if (isTextBox(el) && !binding.inTextBox) return null;
  if (binding.key === ' ' && el && (PRESSED.has(String(el.tagName)) || (el.tagName === 'INPUT' && NOT_TYPED.has(String(el.type).toLowerCase()))))
    return null;
  return binding;
}
