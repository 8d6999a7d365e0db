// Draws the page from the controller's state: the board, the clocks, the
// move tree, the opening's name, the engine's lines, the review, the library,
// the player's settings, the list of keys and the panel's texts and buttons. It reads the state and writes the page, and nothing
// else; what did not change is left as it is, so a redraw ten times a second
// costs little.
import { linesOn } from './ceval.js';
import { formatClock } from './clock.js';
import { NAMES, other } from './controller.js';
import { graphMarkup } from './graph.js';
import { countsText, recordCounts } from './practice-ctrl.js';
import { KEYS } from './keys.js';
import { openingText } from './openings.js';
import { inCheck, legalDests, turnOf } from './rules.js';
import { MARKS, clipPawns, formatEval, whiteEval } from './review.js';
import { isMainline, mainline, nodeAt, nodesAlong, samePath } from './tree.js';
import { formatCount, formatScore } from './uci.js';

/** @typedef {import('./controller.js').State} State */
/** @typedef {import('./types.js').TreeNode} TreeNode */
/** @typedef {import('./types.js').Path} Path */
/** @typedef {import('./review-ctrl.js').ReviewView} ReviewView */
/** @typedef {ReturnType<typeof import('./controller.js').createController>} Controller */
/** @typedef {ReturnType<typeof import('./board.js').createBoard>} Board */

/** @param {string} id */
const $ = (id) => /** @type {HTMLElement} */ (document.getElementById(id));
/** @param {string} id */
const input = (id) => /** @type {HTMLInputElement} */ (document.getElementById(id));
// The move marks of PGN's first six NAGs.
/** @type {Record<number, string>} */
const GLYPHS = { 1: '!', 2: '?', 3: '!!', 4: '??', 5: '!?', 6: '?!' };

/** @param {Element} el @param {string} text */
function setText(el, text) {
  if (el.textContent !== text) el.textContent = text;
}

const html = new WeakMap();
/** @param {Element} el @param {string} text */
function setHtml(el, text) {
  if (html.get(el) === text) return false;
  html.set(el, text);
  el.innerHTML = text;
  return true;
}

/** @param {unknown} text */
function escape(text) {
  return String(text).replace(/[&<>"]/g, (c) => /** @type {Record<string, string>} */ ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
}

/** @param {number} v */
function round1(v) {
  return (Math.round(v * 10) / 10).toFixed(1);
}

/** The move number of a node's move, from its parent's FEN. @param {TreeNode} parent */
function moveNumber(parent) {
  return Number(parent.fen.split(' ')[5]) || 1;
}

/**
 * The move list: the main line in numbered rows, each variation in
 * parentheses after the move it replaces, nested variations inside it.
 * @param {State} state
 * @param {ReviewView | null} review
 */
function movesMarkup(state, review) {
  const root = state.game.root;
  const current = state.path.join(' ');
  /** @type {string[]} */
  const out = [];
  /** @param {TreeNode} node @param {Path} path @param {boolean} main */
  const move = (node, path, main) => {
    const judged = main && review ? review.judged[node.ply - 1] : null;
    const judgement = judged && judged.judgement;
    const mark = judgement ? MARKS[/** @type {keyof typeof MARKS} */ (judgement)] : node.nags.map((n) => GLYPHS[n] || '').join('');
    const key = path.join(' ');
    const practised = main ? state.practiceRecord.positions[node.ply] : undefined;
    const attrs =
      `class="san${key === current ? ' current' : ''}" data-node data-path="${escape(key)}" data-ply="${node.ply}" data-san="${escape(node.san)}"` +
      (main ? ' data-main' : '') +
      (key === current ? ' data-current' : '') +
      (judgement ? ` data-judgement="${judgement}"` : '') +
      (practised && practised.move === node.id ? ` data-practised="${practised.result}"` : '') +
      (judged && judged.book ? ' data-book' : '');
    let text = `<span ${attrs}>${escape(node.san)}${mark ? `<span class="mark">${mark}</span>` : ''}</span>`;
    // The preferred move would give a practice its answer.
    if (judged && judged.best && judgement && !state.practice) text += `<span class="best">best ${escape(judged.best)}</span>`;
    if (judged && judged.book) text += '<span class="book">book</span>';
    return text;
  };
  // A variation inline: numbers before White's moves and after a break;
  // the variations inside it follow the move they replace.
  /** @param {TreeNode} parent @param {TreeNode} node @param {Path} path */
  const line = (parent, node, path) => {
    /** @type {string[]} */
    const parts = [];
    let p = parent;
    let n = node;
    let q = path;
    let numbered = true;
    for (let head = true; ; head = false) {
      const white = turnOf(p.fen) === 'w';
      if (white || numbered) parts.push(`<span class="number">${moveNumber(p)}${white ? '.' : '…'}</span>`);
      parts.push(move(n, q, false));
      numbered = false;
      if (!head && p.children.length > 1) {
        for (const alt of p.children.slice(1)) parts.push(`<span class="line">(${line(p, alt, [...q.slice(0, -1), alt.id])})</span>`);
        numbered = true;
      }
      const next = n.children[0];
      if (!next) break;
      p = n;
      n = next;
      q = [...q, next.id];
    }
    return parts.join(' ');
  };
  const nodes = mainline(root);
  let open = false;
  let path = /** @type {Path} */ ([]);
  for (let i = 1; i < nodes.length; i++) {
    const parent = nodes[i - 1];
    const node = nodes[i];
    path = [...path, node.id];
    const white = turnOf(parent.fen) === 'w';
    if (white || !open) {
      if (open) out.push('</li>');
      out.push(`<li value="${moveNumber(parent)}">`);
      open = true;
      if (!white) out.push('<span class="skip">…</span>');
    }
    out.push(move(node, path, true));
    const alternatives = parent.children.slice(1);
    if (alternatives.length) {
      out.push('</li>');
      for (const alt of alternatives) out.push(`<li class="lines"><span class="line">(${line(parent, alt, [...path.slice(0, -1), alt.id])})</span></li>`);
      open = false;
      // Black's move after a break in the row is shown with its number.
      if (white && node.children.length) {
        out.push(`<li value="${moveNumber(parent)}"><span class="skip">…</span>`);
        open = true;
      }
    }
  }
  if (open) out.push('</li>');
  if (state.ending) out.push(`<li class="result">${escape(state.ending.result)}</li>`);
  return out.join('');
}

/**
 * @param {Board} board
 * @param {Controller} ctrl
 */
export function createView(board, ctrl) {
  /** @type {{ key: string | null, game: unknown, openings: unknown }} */
  let pgnFor = { key: null, game: null, openings: null };
  /** @type {unknown} */
  let lastPromotion = null;
  /** @type {{ fen: string | null, dests: Map<string, string[]>, check: boolean }} */
  let boardRules = { fen: null, dests: new Map(), check: false };

  /** The legal moves and check of the position on view, found once per position. @param {string} fen */
  function rulesOf(fen) {
    if (boardRules.fen !== fen) boardRules = { fen, dests: legalDests(fen), check: inCheck(fen) };
    return boardRules;
  }

  /** @param {State} state */
  function nodeOnView(state) {
    return /** @type {TreeNode} */ (nodeAt(state.game.root, state.path));
  }

  /**
   * The evaluation of the position on view: the review's, or the running
   * analysis's newest line.
   * @param {State} state
   */
  function evaluationOnView(state) {
    const node = nodeOnView(state);
    if (node.eval) return node.eval;
    if (state.mode !== 'analyse') return null;
    const line = linesOn(state.ceval.analysis, node.fen, state.path).find((l) => Number.isFinite(l.cp));
    return line ? whiteEval(/** @type {number} */ (line.cp), line.depth, turnOf(node.fen)) : null;
  }

  /** @param {State} state */
  function drawBoard(state) {
    const node = nodeOnView(state);
    // While practising, a try or the move shown stands on the board.
    const shown = ctrl.practiceBoard();
    const fen = shown ? shown.fen : node.fen;
    const turn = turnOf(fen);
    const { dests, check } = rulesOf(fen);
    /** @type {'w' | 'b' | 'both' | null} */
    let who = null;
    if (ctrl.canMove()) who = state.practice ? state.practice.items[state.practice.index].color : state.mode === 'analyse' ? 'both' : state.play.player;
    // While practising, no engine line gives the answer away.
    const lines = state.practice ? [] : linesOn(state.ceval.analysis, fen, state.path);
    const best = state.mode === 'analyse' && lines[0] && lines[0].pv && lines[0].pv[0];
    board.show({
      fen,
      turn,
      who,
      dests,
      lastMove: shown ? shown.lastMove : node.id ? [node.id.slice(0, 2), node.id.slice(2, 4)] : null,
      check,
      orientation: state.orientation,
      arrows: best ? [{ from: best.slice(0, 2), to: best.slice(2, 4) }] : [],
    });
    $('board').dataset.fen = fen;
    $('board').dataset.ply = String(shown ? node.ply + 1 : node.ply);
  }

  /**
   * A loaded game's clock for color at the position on view: the [%clk] of
   * that side's last move up to there.
   * @param {State} state
   * @param {'w' | 'b'} color
   */
  function recordedClock(state, color) {
    const nodes = nodesAlong(state.game.root, state.path) || [];
    for (let i = nodes.length - 1; i > 0; i--) {
      if (turnOf(nodes[i - 1].fen) !== color) continue;
      const clock = nodes[i].clock;
      if (clock !== undefined) return clock;
    }
    return undefined;
  }

  /** @param {State} state */
  function drawClocks(state) {
    for (const [id, color] of /** @type {[string, 'w' | 'b'][]} */ ([
      ['clock-bottom', state.orientation],
      ['clock-top', other(state.orientation)],
    ])) {
      const el = $(id);
      // A loaded game names its players and shows its recorded clocks.
      const imported = state.source === 'import';
      const who = imported ? state.game.headers[NAMES[color]] || '?' : color === state.play.player ? 'You' : state.ceval.name;
      setText(/** @type {Element} */ (el.querySelector('.name')), `${who} (${NAMES[color]})`);
      const recorded = imported ? recordedClock(state, color) : undefined;
      const ms = imported ? (recorded === undefined ? undefined : recorded * 1000) : state.clock[color];
      setText(/** @type {Element} */ (el.querySelector('.time')), ms === undefined ? '' : formatClock(ms));
      el.classList.toggle('running', !imported && state.clock.running === color);
      el.classList.toggle('low', ms !== undefined && ms < 10000);
      el.dataset.color = color;
    }
  }

  /** @param {State} state @param {ReviewView | null} review */
  function drawMoves(state, review) {
    const list = $('moves');
    const plies = String(mainline(state.game.root).length - 1);
    const changedLength = list.dataset.plies !== plies;
    list.dataset.plies = plies;
    if (setHtml(list, movesMarkup(state, review))) {
      // The newest move stays in sight as a game goes on; the move on view
      // when going through it.
      const current = /** @type {HTMLElement | null} */ (list.querySelector('.current'));
      if (changedLength && String(state.path.length) === plies && isMainline(state.game.root, state.path)) list.scrollTop = list.scrollHeight;
      else if (current && (current.offsetTop < list.scrollTop || current.offsetTop > list.scrollTop + list.clientHeight - 20))
        list.scrollTop = current.offsetTop - list.clientHeight / 2;
    }
    const node = nodeOnView(state);
    const comment = /** @type {HTMLTextAreaElement} */ ($('comment-input'));
    // The box the player types in is theirs until they leave it.
    if (document.activeElement !== comment && comment.value !== node.comment) comment.value = node.comment;
    const nag = /** @type {HTMLSelectElement} */ ($('nag'));
    const glyph = node.nags.map((n) => GLYPHS[n]).find(Boolean) || '';
    if (nag.value !== glyph) nag.value = glyph;
    nag.disabled = state.path.length === 0;
    /** @type {HTMLButtonElement} */ ($('promote')).disabled = !ctrl.canPromote();
    /** @type {HTMLButtonElement} */ ($('delete-move')).disabled = !ctrl.canDelete();
    /** @type {HTMLButtonElement} */ ($('undo')).disabled = !state.canUndo;
    const moveMessage = $('move-message');
    setText(moveMessage, state.moveMessage ? state.moveMessage.text : '');
  }

  /** @param {State} state */
  function status(state) {
    const practice = state.practice;
    if (practice) {
      if (practice.status === 'loading') return 'Opening the next game…';
      const item = practice.items[practice.index];
      const where = `Position ${practice.index + 1} of ${practice.items.length}: ${NAMES[item.color]} played ${item.playedSan} here.`;
      if (practice.status === 'judging') return `${where} Checking your move…`;
      if (practice.status === 'shown') return `${where} The engine's move: ${item.best}.`;
      return where;
    }
    const run = state.review.run;
    if (run) return `Reviewing: position ${Math.min(run.next + 1, run.fens.length)} of ${run.fens.length}…`;
    if (state.mode === 'analyse') return state.ceval.searching ? 'Analysing…' : 'Analysis: move either side.';
    if (state.ending) return `${state.ending.reason}. ${state.ending.result}`;
    if (state.play.paused) return 'Game paused: Resume goes on with it.';
    if (state.ceval.job) return `${state.ceval.name} is thinking…`;
    const live = mainline(state.game.root)[state.play.plies];
    if (turnOf(live.fen) === state.play.player)
      return state.path.length === state.play.plies && rulesOf(live.fen).check && samePath(state.path, mainline(state.game.root).slice(1, state.play.plies + 1).map((n) => n.id))
        ? 'Your move: you are in check.'
        : 'Your move.';
    return `Waiting for ${state.ceval.name}…`;
  }

  /** @param {State} state */
  function pageState(state) {
    if (state.practice) return 'practise';
    if (state.review.run) return 'review';
    if (state.mode === 'analyse') return 'analyse';
    if (state.ending) return 'over';
    if (state.play.paused) return 'paused';
    if (state.ceval.job && state.ceval.job.kind === 'move') return 'thinking';
    return 'playing';
  }

  /** @param {State} state */
  function drawPanel(state) {
    setText($('status'), status(state));
    setText($('message'), state.message);
    document.body.dataset.state = pageState(state);
    /** @type {HTMLButtonElement} */ ($('takeback')).disabled = !ctrl.canTakeBack();
    /** @type {HTMLButtonElement} */ ($('resign')).disabled = state.mode !== 'play' || !!state.ending || state.play.paused;
    $('resume').hidden = !state.play.paused;
    setText($('analyse'), state.mode === 'analyse' ? 'Back to the game' : 'Analyse');
    // A loaded game is not played here: "Play from here" starts one.
    /** @type {HTMLButtonElement} */ ($('analyse')).disabled = state.source === 'import';
    const job = state.ceval.job;
    /** @type {HTMLButtonElement} */ ($('stop')).disabled = !(state.mode === 'analyse' && job && job.kind === 'analyse');
    $('custom-time').hidden = !state.customTime;
    const node = nodeOnView(state);
    for (const id of ['nav-first', 'nav-prev']) /** @type {HTMLButtonElement} */ ($(id)).disabled = state.path.length === 0;
    for (const id of ['nav-next', 'nav-last']) /** @type {HTMLButtonElement} */ ($(id)).disabled = node.children.length === 0;
    $('promotion').hidden = !state.promotion;
    if (state.promotion && !lastPromotion) /** @type {HTMLElement} */ ($('promotion').querySelector('button')).focus();
    lastPromotion = state.promotion;

    const error = state.ceval.error;
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
    if (key !== pgnFor.key || state.game !== pgnFor.game || ctrl.openings() !== pgnFor.openings) {
      pgnFor = { key, game: state.game, openings: ctrl.openings() };
      /** @type {HTMLTextAreaElement} */ ($('pgn')).value = ctrl.exportPgn();
    }
  }

  /** @param {State} state @param {ReviewView | null} review */
  function drawReview(state, review) {
    const run = state.review.run;
    /** @type {HTMLButtonElement} */ ($('review')).disabled = !ctrl.canReview();
    $('review-running').hidden = !run;
    $('cancel-review').hidden = !run;
    const progress = /** @type {HTMLProgressElement} */ ($('review-progress'));
    if (run) {
      progress.max = run.fens.length;
      progress.value = run.next;
    }
    const graph = $('eval-graph');
    const onMain = isMainline(state.game.root, state.path);
    graph.toggleAttribute('hidden', !review);
    if (review) setHtml(graph, graphMarkup(review.evals, review.judged, onMain ? state.path.length : -1));
    const summary = $('summary');
    summary.hidden = !review;
    if (review) {
      const rows = /** @type {('w' | 'b')[]} */ (['w', 'b']).map((c) => {
        const s = review.summary[c];
        const accuracy = review.accuracy[c];
        return (
          `<tr><td>${NAMES[c]}</td><td>${s.inaccuracy}</td><td>${s.mistake}</td><td>${s.blunder}</td><td>${round1(s.averageLoss)}%</td>` +
          `<td id="accuracy-${NAMES[c].toLowerCase()}">${accuracy === null ? '–' : `${round1(accuracy)}%`}</td></tr>`
        );
      });
      setHtml($('summary-body'), rows.join(''));
    }
    drawMoments(state, review, onMain);
    const evaluation = evaluationOnView(state);
    const bar = $('eval-bar');
    bar.classList.toggle('idle', !evaluation);
    bar.classList.toggle('black-below', state.orientation === 'b');
    const share = evaluation ? (clipPawns(evaluation) + 10) / 20 : 0.5;
    $('eval-fill').style.height = `${Math.round(share * 1000) / 10}%`;
    setText($('eval-text'), evaluation ? formatEval(evaluation) : '');
    bar.title = evaluation ? `White's advantage: ${formatEval(evaluation)}` : "White's advantage in pawns";
    const h = state.game.headers;
    const players = state.source === 'import' ? `${h.White || '?'} – ${h.Black || '?'}, ${h.Result || '*'}` : '';
    setText($('players'), state.loadNote ? `${players} (${state.loadNote})` : players);
    setText($('opening'), openingText(ctrl.openingOnView()));
    const importing = state.library.importing;
    const reading = /** @type {HTMLProgressElement} */ ($('import-progress'));
    reading.hidden = !importing;
    if (importing) {
      reading.max = importing.total;
      reading.value = importing.done;
    }
    const pgnMessage = $('pgn-message');
    setText(pgnMessage, importing ? `Reading game ${importing.done} of ${importing.total}…` : state.pgnMessage ? state.pgnMessage.text : '');
    pgnMessage.className = state.pgnMessage && state.pgnMessage.error ? 'error' : '';
  }

  /**
   * The key moments: each move with its number and White's chance before
   * and after it.
   * @param {State} state
   * @param {ReviewView | null} review
   * @param {boolean} onMain
   */
  function drawMoments(state, review, onMain) {
    const box = $('key-moments');
    box.hidden = !review || !review.moments.length;
    if (box.hidden || !review) return;
    const nodes = mainline(state.game.root);
    const items = review.moments.map(({ ply, before, after }) => {
      const parent = nodes[ply - 1];
      const move = `${moveNumber(parent)}${turnOf(parent.fen) === 'w' ? '.' : '…'} ${nodes[ply].san}`;
      const current = onMain && state.path.length === ply ? ' class="current"' : '';
      return (
        `<li><button type="button" data-ply="${ply}"${current}><span class="move">${escape(move)}</span> ` +
        `<span class="swing">White ${Math.round(before)}% → ${Math.round(after)}%</span></button></li>`
      );
    });
    setHtml($('key-moments-list'), items.join(''));
  }

  /** @param {State} state */
  function drawPrefs(state) {
    const name = input('player-name');
    if (document.activeElement !== name && name.value !== state.prefs.playerName) name.value = state.prefs.playerName;
    input('sound').checked = state.prefs.sound;
  }

  let helpOpen = false;
  /** @param {State} state */
  function drawHelp(state) {
    setHtml($('help-keys'), KEYS.map((k) => `<tr data-key="${escape(k.key)}"><th><kbd>${escape(k.label)}</kbd></th><td>${escape(k.does)}</td></tr>`).join(''));
    $('help').hidden = !state.help;
    if (state.help && !helpOpen) $('help-close').focus();
    helpOpen = state.help;
  }

  /** @param {State} state */
  function drawPractice(state) {
    const run = state.practice;
    /** @type {HTMLButtonElement} */ ($('practise')).disabled = !ctrl.canPractise();
    /** @type {HTMLButtonElement} */ ($('practise-all')).disabled = !!run || !!state.review.run || state.library.status !== 'ready';
    $('practise-running').hidden = !run;
    setText($('practise-prompt'), ctrl.practicePrompt());
    $('practise-prompt').dataset.status = run ? run.status : '';
    /** @type {HTMLButtonElement} */ ($('practise-show')).disabled = !run || (run.status !== 'find' && run.status !== 'wrong');
    /** @type {HTMLButtonElement} */ ($('practise-next')).disabled = !run || run.status === 'judging';
    setText($('practise-next'), run && run.index + 1 >= run.items.length ? 'Finish' : 'Next position');
    // The practice just ended, or this game's practice as stored with it.
    const counts = run ? run.counts : state.practiceDone || recordCounts(state.practiceRecord, mainline(state.game.root));
    const summary = $('practise-summary');
    summary.hidden = !counts;
    const lead = run ? 'This practice so far' : state.practiceDone ? 'Practice done' : 'Practised in this game';
    setText(summary, counts ? `${lead}: ${countsText(counts)}` : '');
  }

  /** @param {State} state */
  function drawInfo(state) {
    const node = nodeOnView(state);
    const lines = state.practice ? [] : state.mode === 'play' ? state.ceval.analysis.lines : linesOn(state.ceval.analysis, node.fen, state.path);
    const rows = lines.map(
      (info) =>
        '<tr>' +
        // A depth done within the clock's resolution has no speed to show.
        [info.depth, formatScore(info.cp, info.turn, state.play.player), formatCount(info.nodes), info.time ? formatCount(info.nps) : '', info.san]
          .map((t) => `<td>${escape(t)}</td>`)
          .join('') +
        '</tr>',
    );
    setHtml($('info-body'), rows.join(''));
  }

  /** @param {State} state */
  function drawLibrary(state) {
    const lib = state.library;
    setText($('storage-message'), lib.message);
    const rows = lib.items.map((g) => {
      const open = g.id === state.gameId ? ' class="open"' : '';
      const moves = Math.ceil(g.plies / 2);
      return (
        `<li data-game-id="${escape(g.id)}"${open} tabindex="0">` +
        `<span class="players">${escape(g.white || '?')} – ${escape(g.black || '?')}</span> ` +
        `<span class="result">${escape(g.result || '*')}</span> ` +
        `<span class="date">${escape(g.date || '')}</span> ` +
        `<span class="plies">${moves} move${moves === 1 ? '' : 's'}</span>` +
        (g.source === 'setup' ? ' <span class="setup">from a position</span>' : '') +
        (g.opening ? ` <span class="opening">${escape(g.opening)}</span>` : '') +
        (g.reviewed ? ' <span class="reviewed">reviewed</span>' : '') +
        '</li>'
      );
    });
    setHtml($('library'), rows.join(''));
    const from = lib.total ? lib.offset + 1 : 0;
    setText($('library-count'), `${from}–${lib.offset + lib.items.length} of ${lib.total}`);
    /** @type {HTMLButtonElement} */ ($('library-prev')).disabled = lib.offset === 0;
    /** @type {HTMLButtonElement} */ ($('library-next')).disabled = lib.offset + lib.items.length >= lib.total;
    /** @type {HTMLButtonElement} */ ($('library-delete')).disabled = lib.status !== 'ready' || !state.gameId;
    const h = state.game.headers;
    for (const name of ['White', 'Black', 'Event', 'Date', 'Result']) {
      const field = input(`header-${name.toLowerCase()}`);
      if (document.activeElement !== field && field.value !== (h[name] || '')) field.value = h[name] || '';
    }
  }

  /** @param {State} state */
  return function render(state) {
    const review = ctrl.reviewOnView();
    drawBoard(state);
    drawClocks(state);
    drawMoves(state, review);
    drawPanel(state);
    drawInfo(state);
    drawReview(state, review);
    drawPractice(state);
    drawLibrary(state);
    drawPrefs(state);
    drawHelp(state);
  };
}
