// Draws the page from the controller's state: the board, the clocks, the
// move list, the engine's lines and the panel's texts and buttons. It reads
// the state and writes the page, and nothing else; what did not change is
// left as it is, so a redraw ten times a second costs little.
import { formatClock } from './clock.js';
import { NAMES, other } from './controller.js';
import { chessAt, destinations, fenAt, firstMoveNumber } from './game.js';
import { graphMarkup } from './graph.js';
import { MARKS, clipPawns, formatEval, whiteEval } from './review.js';
import { formatCount, formatScore } from './uci.js';

const $ = (id) => document.getElementById(id);
// The move marks of PGN's first six NAGs.
const GLYPHS = { 1: '!', 2: '?', 3: '!!', 4: '??', 5: '!?', 6: '?!' };

function setText(el, text) {
  if (el.textContent !== text) el.textContent = text;
}

const html = new WeakMap();
function setHtml(el, text) {
  if (html.get(el) === text) return false;
  html.set(el, text);
  el.innerHTML = text;
  return true;
}

function escape(text) {
  return String(text).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
}

// The review's results when they are of the game on the page.
function reviewOf(state) {
  return state.review && state.review.game === state.game ? state.review : null;
}

// The evaluation of the position on view: the review's, or the running
// analysis's newest line.
function evaluationOnView(state) {
  const review = reviewOf(state);
  if (review && review.evals[state.ply]) return review.evals[state.ply];
  if (state.mode !== 'analyse') return null;
  const fen = fenAt(state.game, state.ply);
  if (state.analysis.fen !== fen || state.analysis.ply !== state.ply) return null;
  const line = state.analysis.lines.find((l) => Number.isFinite(l.cp));
  return line ? whiteEval(line.cp, line.depth, fen.split(' ')[1]) : null;
}

function round1(v) {
  return (Math.round(v * 10) / 10).toFixed(1);
}

export function createView(board, ctrl) {
  let pgnFor = { key: null, game: null };
  let lastPromotion = null;
  let boardChess = { key: null };

  // The rules library's view of the position on view, made once per position.
  function positionOnView(state) {
    const key = `${state.ply} ${fenAt(state.game, state.ply)}`;
    if (boardChess.key !== key || boardChess.game !== state.game) {
      const chess = chessAt(state.game, state.ply);
      boardChess = { key, game: state.game, chess, dests: destinations(chess), check: chess.inCheck() };
    }
    return boardChess;
  }

  function drawBoard(state) {
    const fen = fenAt(state.game, state.ply);
    const turn = fen.split(' ')[1];
    const { dests, check } = positionOnView(state);
    let who = null;
    if (ctrl.canMove()) who = state.mode === 'analyse' ? 'both' : state.player;
    const last = state.game.moves[state.ply - 1];
    const lines = state.analysis.fen === fen && state.analysis.ply === state.ply ? state.analysis.lines : [];
    const best = state.mode === 'analyse' && lines[0] && lines[0].pv && lines[0].pv[0];
    board.show({
      fen,
      turn,
      who,
      dests,
      lastMove: last ? [last.from, last.to] : null,
      check,
      orientation: state.orientation,
      arrows: best ? [{ from: best.slice(0, 2), to: best.slice(2, 4) }] : [],
    });
    $('board').dataset.fen = fen;
    $('board').dataset.ply = String(state.ply);
  }

  function drawClocks(state) {
    for (const [id, color] of [
      ['clock-bottom', state.orientation],
      ['clock-top', other(state.orientation)],
    ]) {
      const el = $(id);
      // A loaded game names its players and was not timed here.
      const imported = state.source === 'import';
      const who = imported ? state.game.headers[NAMES[color]] || '?' : color === state.player ? 'You' : state.engine.name;
      setText(el.querySelector('.name'), `${who} (${NAMES[color]})`);
      setText(el.querySelector('.time'), imported ? '' : formatClock(state.clock[color]));
      el.classList.toggle('running', state.clock.running === color);
      el.classList.toggle('low', state.clock[color] < 10000);
      el.dataset.color = color;
    }
  }

  function drawMoves(state) {
    const { moves } = state.game;
    const review = reviewOf(state);
    const parts = [];
    let number = firstMoveNumber(state.game);
    const firstTurn = fenAt(state.game, 0).split(' ')[1];
    moves.forEach((m, i) => {
      const color = i % 2 === 0 ? firstTurn : other(firstTurn);
      if (color === 'w' || i === 0) {
        if (i > 0) parts.push('</li>');
        parts.push(`<li value="${number++}">`);
        if (color === 'b') parts.push('<span>…</span>');
      }
      const ply = i + 1;
      const judged = review && review.judged[i];
      const judgement = judged && judged.judgement;
      const current = ply === state.ply ? ' current' : '';
      // The review's mark, or else the marks the game was loaded with.
      const mark = judgement ? MARKS[judgement] : (m.nags || []).map((n) => GLYPHS[n] || '').join('');
      parts.push(
        `<span class="san${current}" data-ply="${ply}"${judgement ? ` data-judgement="${judgement}"` : ''}>` +
          `${escape(m.san)}${mark ? `<span class="mark">${mark}</span>` : ''}</span>`,
      );
      if (judged && judged.best && judgement) parts.push(`<span class="best">best ${escape(judged.best)}</span>`);
    });
    if (moves.length) parts.push('</li>');
    if (state.ending) parts.push(`<li class="result">${escape(state.ending.result)}</li>`);
    const comment = state.ply === 0 ? state.game.comment : moves[state.ply - 1].comment;
    setText($('comment'), comment || '');
    const list = $('moves');
    const changedLength = list.dataset.plies !== String(moves.length);
    list.dataset.plies = String(moves.length);
    if (setHtml(list, parts.join(''))) {
      // The newest move stays in sight as a game goes on; the move on view
      // when going through it.
      const current = list.querySelector('.current');
      if (changedLength && state.ply === moves.length) list.scrollTop = list.scrollHeight;
      else if (current && (current.offsetTop < list.scrollTop || current.offsetTop > list.scrollTop + list.clientHeight - 20))
        list.scrollTop = current.offsetTop - list.clientHeight / 2;
    }
  }

  function status(state) {
    const turn = fenAt(state.game, state.game.moves.length).split(' ')[1];
    const r = state.review;
    if (r && r.running) return `Reviewing: position ${Math.min(r.next + 1, r.total)} of ${r.total}…`;
    if (state.mode === 'analyse') return state.engine.searching ? 'Analysing…' : 'Analysis: move either side.';
    if (state.ending) return `${state.ending.reason}. ${state.ending.result}`;
    if (state.job) return `${state.engine.name} is thinking…`;
    if (turn === state.player) return positionOnView(state).check && state.ply === state.game.moves.length ? 'Your move: you are in check.' : 'Your move.';
    return `Waiting for ${state.engine.name}…`;
  }

  function drawPanel(state) {
    setText($('status'), status(state));
    setText($('message'), state.message);
    const running = state.review && state.review.running;
    document.body.dataset.state = running
      ? 'review'
      : state.mode === 'analyse'
        ? 'analyse'
        : state.ending
          ? 'over'
          : state.job && state.job.kind === 'move'
            ? 'thinking'
            : 'playing';
    $('takeback').disabled = !ctrl.canTakeBack();
    $('resign').disabled = state.mode !== 'play' || !!state.ending;
    setText($('analyse'), state.mode === 'analyse' ? 'Back to the game' : 'Analyse');
    // A loaded game is not played here: "Play from here" starts one.
    $('analyse').disabled = state.source === 'import';
    $('stop').disabled = !(state.mode === 'analyse' && state.job && state.job.kind === 'analyse');
    $('custom-time').hidden = !state.customTime;
    const plies = state.game.moves.length;
    $('nav-first').disabled = $('nav-prev').disabled = state.ply === 0;
    $('nav-next').disabled = $('nav-last').disabled = state.ply === plies;
    $('replace').hidden = !state.replace;
    if (state.replace)
      setText(
        $('replace-text'),
        state.replace.dropped > 0
          ? `Replace the ${state.replace.dropped === 1 ? 'move' : `${state.replace.dropped} moves`} after this position with ${state.replace.move.san}?`
          : `Play ${state.replace.move.san} and drop the game's result?`,
      );
    $('promotion').hidden = !state.promotion;
    if (state.promotion && !lastPromotion) $('promotion').querySelector('button').focus();
    lastPromotion = state.promotion;

    const error = state.engine.error;
    $('engine-error').hidden = !error;
    if (error) {
      let text = error;
      if (location.protocol === 'file:')
        text +=
          ' If this browser does not run workers for pages opened from a file, serve the folder instead' +
          ' (python3 -m http.server in it) and open http://localhost:8000/.';
      setText($('engine-error-text'), text);
    }
    const fenMessage = $('fen-message');
    setText(fenMessage, state.fenMessage ? state.fenMessage.text : '');
    fenMessage.className = state.fenMessage && state.fenMessage.error ? 'error' : '';

    const headers = ctrl.headers();
    const key = JSON.stringify(headers);
    if (key !== pgnFor.key || state.game !== pgnFor.game || state.review !== pgnFor.review || (state.review && state.review.running) !== pgnFor.running) {
      pgnFor = { key, game: state.game, review: state.review, running: state.review && state.review.running };
      $('pgn').value = ctrl.exportPgn();
    }
  }

  function drawReview(state) {
    const r = state.review;
    const review = reviewOf(state);
    $('review').disabled = !ctrl.canReview();
    $('review-running').hidden = !r;
    $('cancel-review').hidden = !(r && r.running);
    const progress = $('review-progress');
    if (r) {
      progress.max = r.total;
      progress.value = r.running ? r.next : r.total;
    }
    const graph = $('eval-graph');
    graph.toggleAttribute('hidden', !review);
    if (review) setHtml(graph, graphMarkup(review.evals, review.judged, state.ply));
    const summary = $('summary');
    summary.hidden = !(review && review.summary);
    if (review && review.summary) {
      const rows = ['w', 'b'].map((c) => {
        const s = review.summary[c];
        return `<tr><td>${NAMES[c]}</td><td>${s.inaccuracy}</td><td>${s.mistake}</td><td>${s.blunder}</td><td>${round1(s.averageLoss)}%</td></tr>`;
      });
      setHtml($('summary-body'), rows.join(''));
    }
    const evaluation = evaluationOnView(state);
    const bar = $('eval-bar');
    bar.classList.toggle('idle', !evaluation);
    bar.classList.toggle('black-below', state.orientation === 'b');
    const share = evaluation ? (clipPawns(evaluation) + 10) / 20 : 0.5;
    $('eval-fill').style.height = `${Math.round(share * 1000) / 10}%`;
    setText($('eval-text'), evaluation ? formatEval(evaluation) : '');
    bar.title = evaluation ? `White's advantage: ${formatEval(evaluation)}` : "White's advantage in pawns";
    const h = state.game.headers;
    const players = state.source === 'import' ? `${h.White || '?'} – ${h.Black || '?'}, ${state.game.result}` : '';
    setText($('players'), state.loadNote ? `${players} (${state.loadNote})` : players);
    const pgnMessage = $('pgn-message');
    setText(pgnMessage, state.pgnMessage ? state.pgnMessage.text : '');
    pgnMessage.className = state.pgnMessage && state.pgnMessage.error ? 'error' : '';
  }

  function drawInfo(state) {
    const fen = fenAt(state.game, state.ply);
    const lines = state.mode === 'play' || (state.analysis.fen === fen && state.analysis.ply === state.ply) ? state.analysis.lines : [];
    const rows = lines.map(
      (info) =>
        '<tr>' +
        [info.depth, formatScore(info.cp, info.turn, state.player), formatCount(info.nodes), formatCount(info.nps), info.san]
          .map((t) => `<td>${escape(t)}</td>`)
          .join('') +
        '</tr>',
    );
    setHtml($('info-body'), rows.join(''));
  }

  return function render(state) {
    drawBoard(state);
    drawClocks(state);
    drawMoves(state);
    drawPanel(state);
    drawInfo(state);
    drawReview(state);
  };
}
