// The board view: chessground, fed the position on view and the legal moves
// the rules library allows there, so it offers legal moves only. It is set
// again only when what it shows changes, so a redraw never drops a piece the
// player has picked up.
import { Chessground } from 'chessground';

const COLOR = { w: 'white', b: 'black' };

export function createBoard(element, { onMove }) {
  // A move the page refuses or holds back (a promotion not chosen yet) is
  // undone by the next drawing, which sets the board afresh.
  function moved(from, to) {
    shown = null;
    onMove(from, to);
  }
  const cg = Chessground(element, {
    coordinates: true,
    animation: { enabled: true, duration: 120 },
    highlight: { lastMove: true, check: true },
    movable: { free: false, showDests: true, events: { after: moved } },
    premovable: { enabled: false },
    draggable: { enabled: true, showGhost: true },
    selectable: { enabled: true },
  });
  let shown = null;
  let shapes = '';
  return {
    // who: 'w', 'b', 'both' or null (nobody may move); dests from
    // game.destinations(); arrows [{ from, to }] drawn over the board.
    show({ fen, turn, who, dests, lastMove, check, orientation, arrows = [] }) {
      const key = JSON.stringify([fen, who, lastMove, check, orientation, dests ? [...dests] : null]);
      if (key !== shown) {
        shown = key;
        cg.set({
          fen,
          orientation: COLOR[orientation],
          turnColor: COLOR[turn],
          movable: { color: who === 'both' ? 'both' : who ? COLOR[who] : undefined, dests: who ? dests : new Map() },
          lastMove: lastMove || undefined,
          check: check ? COLOR[turn] : false,
        });
        cg.selectSquare(null);
      }
      const arrowKey = JSON.stringify(arrows);
      if (arrowKey !== shapes) {
        shapes = arrowKey;
        cg.setAutoShapes(arrows.map((a) => ({ orig: a.from, dest: a.to, brush: a.brush || 'paleBlue' })));
      }
    },
  };
}
