// The board view: chessground, fed the position and the legal moves the game
// record allows, so it offers legal moves only.
import { Chessground } from 'chessground';

const COLOR = { w: 'white', b: 'black' };

export function createBoard(element, { onMove }) {
  const cg = Chessground(element, {
    coordinates: true,
    animation: { enabled: true, duration: 120 },
    highlight: { lastMove: true, check: true },
    movable: { free: false, showDests: true, events: { after: (from, to) => onMove(from, to) } },
    premovable: { enabled: false },
    draggable: { enabled: true, showGhost: true },
    selectable: { enabled: true },
  });
  return {
    // who: 'w', 'b', 'both' or null (nobody may move).
    show({ fen, turn, who, dests, lastMove, check }) {
      cg.set({
        fen,
        turnColor: COLOR[turn],
        movable: { color: who === 'both' ? 'both' : who ? COLOR[who] : undefined, dests: who ? dests : new Map() },
        lastMove: lastMove || undefined,
        check: check ? COLOR[turn] : false,
      });
      cg.selectSquare(null);
    },
    orient(color) {
      cg.set({ orientation: COLOR[color] });
    },
    flip() {
      cg.toggleOrientation();
    },
    get orientation() {
      return cg.state.orientation === 'white' ? 'w' : 'b';
    },
  };
}
