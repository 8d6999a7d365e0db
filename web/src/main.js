// The page: a game against tarvik or an analysis of the board's position,
// with clocks, the move list, FEN set-up and PGN export. The engine is spoken
// to only in UCI lines; its moves are checked by the rules library first.
import { createBoard } from './board.js';
import { createClock, formatClock } from './clock.js';
import { createEngine } from './engine.js';
import { checkFen, createGame } from './game.js';
import { registerOffline } from './offline.js';
import { formatCount, formatScore, parseBestMove, parseInfo } from './uci.js';

registerOffline();

const $ = (id) => document.getElementById(id);
const NAMES = { w: 'White', b: 'Black' };
const ENGINE_NAME = 'tarvik';
const INFO_ROWS = 8;

const game = createGame();
let player = 'w';
let mode = 'play'; // 'play' or 'analyse'
let thinking = false; // the engine is choosing its move in play mode
let pendingPromotion = null;
let timeControl = { minutes: 3, increment: 2 };
let engineName = ENGINE_NAME;
let message = '';
let analysisStopped = false; // Stop was pressed in analysis mode

const board = createBoard($('board'), { onMove: humanMove });
const clock = createClock({ onTick: showClocks, onFlag: flagFell });
const engine = createEngine({ onLine: engineLine, onReady: engineReady, onFailure: engineFailed });

function other(color) {
  return color === 'w' ? 'b' : 'w';
}

// 1. Showing the state.

function showBoard() {
  const history = game.history();
  const last = history[history.length - 1];
  let who = null;
  if (!game.ending && !pendingPromotion) {
    if (mode === 'analyse') who = 'both';
    else if (game.turn() === player && !thinking) who = player;
  }
  board.show({
    fen: game.fen(),
    turn: game.turn(),
    who,
    dests: game.destinations(),
    lastMove: last ? [last.from, last.to] : null,
    check: game.chess.inCheck(),
  });
  $('board').dataset.fen = game.fen();
}

function showClocks() {
  const bottom = board.orientation;
  for (const [id, color] of [
    ['clock-bottom', bottom],
    ['clock-top', other(bottom)],
  ]) {
    const el = $(id);
    el.querySelector('.name').textContent = color === player ? `You (${NAMES[color]})` : `${engineName} (${NAMES[color]})`;
    el.querySelector('.time').textContent = formatClock(clock.left(color));
    el.classList.toggle('running', clock.running === color);
    el.classList.toggle('low', clock.left(color) < 10000);
    el.dataset.color = color;
  }
}

function showMoves() {
  const list = $('moves');
  list.textContent = '';
  const history = game.history();
  const firstBlack = history.length > 0 && history[0].color === 'b';
  let number = Number(game.startFen.split(' ')[5]) || 1;
  let row = null;
  history.forEach((m, i) => {
    if (m.color === 'w' || (i === 0 && firstBlack)) {
      row = document.createElement('li');
      row.value = number++;
      list.appendChild(row);
      if (m.color === 'b') row.appendChild(document.createElement('span')).textContent = '…';
    }
    const san = document.createElement('span');
    san.className = 'san';
    san.textContent = m.san;
    row.appendChild(san);
  });
  if (game.ending) {
    const result = document.createElement('li');
    result.className = 'result';
    result.textContent = game.ending.result;
    list.appendChild(result);
  }
  list.scrollTop = list.scrollHeight;
}

function headers() {
  const date = new Date();
  return {
    Event: mode === 'analyse' ? 'Analysis' : 'Casual game',
    Site: 'tarvik in the browser',
    Date: `${date.getFullYear()}.${String(date.getMonth() + 1).padStart(2, '0')}.${String(date.getDate()).padStart(2, '0')}`,
    White: player === 'w' ? 'You' : engineName,
    Black: player === 'b' ? 'You' : engineName,
    TimeControl: `${Math.round(timeControl.minutes * 60)}+${timeControl.increment}`,
  };
}

function showStatus() {
  let text;
  if (game.ending) text = `${game.ending.reason}. ${game.ending.result}`;
  else if (mode === 'analyse') text = engine.searching ? 'Analysing…' : 'Analysis: move either side.';
  else if (thinking) text = `${engineName} is thinking…`;
  else if (game.turn() === player) text = game.chess.inCheck() ? 'Your move: you are in check.' : 'Your move.';
  else text = `Waiting for ${engineName}…`;
  $('status').textContent = text;
  $('message').textContent = message;
  document.body.dataset.state = game.ending ? 'over' : mode === 'analyse' ? 'analyse' : thinking ? 'thinking' : 'playing';
  $('takeback').disabled = mode !== 'play' || !!game.ending || !canTakeBack();
  $('resign').disabled = mode !== 'play' || !!game.ending;
  $('analyse').textContent = mode === 'analyse' ? 'Back to the game' : 'Analyse';
  $('stop').disabled = !engine.searching || mode !== 'analyse';
  $('pgn').value = game.pgn(headers());
}

function showAll() {
  showBoard();
  showClocks();
  showMoves();
  showStatus();
}

// 2. The engine.

function engineReady() {
  $('engine-error').hidden = true;
  // In analysis mode a stopped search stays stopped until the next move.
  if (mode === 'analyse') {
    if (!analysisStopped) analyse();
  }
  else if (!game.ending && game.turn() !== player) think();
  showStatus();
}

function engineFailed(reason) {
  thinking = false;
  let text = `The engine is not running: ${reason}.`;
  if (location.protocol === 'file:')
    text +=
      ' If this browser does not run workers for pages opened from a file, serve the folder instead' +
      ' (python3 -m http.server in it) and open http://localhost:8000/.';
  $('engine-error-text').textContent = text;
  $('engine-error').hidden = false;
  showAll();
}

function engineLine(line) {
  if (line.startsWith('id name ')) {
    engineName = line.slice(8).split(' ').slice(0, 2).join(' ');
    showClocks();
    return;
  }
  const info = parseInfo(line);
  if (info) return showInfo(info);
  if (line.startsWith('bestmove')) {
    if (mode === 'play' && thinking) engineMove(line);
    else showStatus();
  }
}

function think() {
  if (!engine.ready || game.ending || mode !== 'play') return;
  thinking = true;
  clearInfo();
  engine.send(game.positionCommand());
  const inc = clock.increment;
  engine.send(`go wtime ${Math.floor(clock.left('w'))} btime ${Math.floor(clock.left('b'))} winc ${inc} binc ${inc}`);
  showBoard();
  showStatus();
}

function engineMove(line) {
  thinking = false;
  const move = parseBestMove(line);
  const played = move && game.play(move);
  if (!played) {
    message = `The engine answered "${line}", which is not a legal move here; it was not played.`;
    console.error(message);
    clock.stop();
    showAll();
    return;
  }
  afterMove(played.color);
}

function analyse() {
  clearInfo();
  if (!engine.ready || game.ending) return showStatus();
  engine.send(game.positionCommand());
  engine.send('go');
  showStatus();
}

// Stop, in analysis mode: the search ends with its worker, and the fresh one
// waits for the next move before it searches again.
function stopSearch() {
  if (!engine.searching) return;
  analysisStopped = true;
  engine.stop();
}

// 3. Moves.

function humanMove(from, to) {
  if (mode === 'play' && (game.turn() !== player || thinking)) return showBoard();
  if (game.isPromotion(from, to)) {
    pendingPromotion = { from, to };
    $('promotion').hidden = false;
    $('promotion').querySelector('button').focus();
    showBoard();
    return;
  }
  playHuman({ from, to });
}

function playHuman(move) {
  const played = game.play(move);
  if (!played) return showBoard();
  message = '';
  afterMove(played.color);
}

function afterMove(mover) {
  if (mode === 'play') {
    if (game.ending) clock.stop();
    else clock.moved(mover);
    if (!game.ending && game.turn() !== player) think();
  } else {
    // A search of the old position ends with its worker; the new one
    // analyses the board once it has started.
    analysisStopped = false;
    if (engine.searching) engine.stop();
    else analyse();
  }
  showAll();
}

function choosePromotion(piece) {
  const move = pendingPromotion;
  pendingPromotion = null;
  $('promotion').hidden = true;
  if (piece && move) playHuman({ ...move, promotion: piece });
  else showBoard();
}

function canTakeBack() {
  const history = game.history();
  return history.some((m) => m.color === player);
}

// Back to the player's last move: the engine's answer goes too, or a search
// still choosing it is ended.
function takeBack() {
  if (mode !== 'play' || game.ending || !canTakeBack()) return;
  if (thinking) {
    thinking = false;
    engine.stop();
  }
  const history = game.history();
  let plies = 0;
  for (let i = history.length - 1; i >= 0; i--) {
    plies++;
    if (history[i].color === player) break;
  }
  game.undo(plies);
  message = '';
  clock.run(player);
  clearInfo();
  showAll();
}

function flagFell(color) {
  if (mode !== 'play' || game.ending) return;
  if (thinking) {
    thinking = false;
    engine.stop();
  }
  const winner = other(color);
  game.finish(winner === 'w' ? '1-0' : '0-1', `${NAMES[color]} lost on time`, 'time forfeit');
  showAll();
}

function resign() {
  if (mode !== 'play' || game.ending) return;
  if (thinking) {
    thinking = false;
    engine.stop();
  }
  clock.stop();
  game.finish(player === 'w' ? '0-1' : '1-0', `${NAMES[player]} resigns`, 'normal');
  showAll();
}

// 4. Games and modes.

function readTimeControl() {
  const preset = $('time').value;
  if (preset === 'custom') {
    const minutes = Number($('minutes').value);
    const increment = Number($('increment').value);
    if (!(minutes > 0 && minutes <= 600) || !(increment >= 0 && increment <= 600)) return null;
    return { minutes, increment };
  }
  const [minutes, increment] = preset.split('+').map(Number);
  return { minutes, increment };
}

function newGame(fen) {
  const tc = readTimeControl();
  if (!tc) {
    message = 'Give the minutes (more than 0) and the increment in seconds (0 or more).';
    return showStatus();
  }
  timeControl = tc;
  if (engine.searching) engine.stop();
  thinking = false;
  pendingPromotion = null;
  $('promotion').hidden = true;
  mode = 'play';
  const choice = $('colour').value;
  player = choice === 'random' ? (Math.random() < 0.5 ? 'w' : 'b') : choice;
  game.reset(fen);
  board.orient(player);
  message = '';
  clearInfo();
  engine.send('ucinewgame');
  clock.reset(timeControl.minutes * 60000, timeControl.increment * 1000);
  clock.run(game.turn());
  if (game.turn() !== player) think();
  showAll();
}

function setUpFen() {
  const checked = checkFen($('fen').value);
  if (checked.error) {
    $('fen-message').textContent = `${checked.error} The game goes on unchanged.`;
    $('fen-message').className = 'error';
    return;
  }
  $('fen-message').textContent = 'Position set up.';
  $('fen-message').className = '';
  newGame(checked.fen);
}

function toggleAnalysis() {
  if (mode === 'play') {
    if (thinking) {
      thinking = false;
      engine.stop();
    }
    mode = 'analyse';
    clock.stop();
    analysisStopped = false;
    if (engine.ready && !engine.searching) analyse();
  } else {
    mode = 'play';
    analysisStopped = false;
    if (engine.searching) engine.stop();
    if (!game.ending) {
      clock.run(game.turn());
      if (game.turn() !== player) think();
    }
  }
  showAll();
}

// 5. The engine's lines.

function clearInfo() {
  $('info-body').textContent = '';
}

function showInfo(info) {
  const tbody = $('info-body');
  const row = document.createElement('tr');
  const best = info.pv && info.pv[0];
  let san = best || '';
  if (best) {
    const m = game.chess.moves({ verbose: true }).find((x) => x.lan === best);
    san = m ? m.san : best;
  }
  for (const text of [
    info.depth,
    formatScore(info.cp, game.turn(), player),
    formatCount(info.nodes),
    formatCount(info.nps),
    san,
  ]) {
    row.appendChild(document.createElement('td')).textContent = String(text);
  }
  tbody.insertBefore(row, tbody.firstChild);
  while (tbody.children.length > INFO_ROWS) tbody.removeChild(tbody.lastChild);
}

// 6. Controls.

$('new-game').addEventListener('click', () => newGame());
$('flip').addEventListener('click', () => {
  board.flip();
  showClocks();
});
$('takeback').addEventListener('click', takeBack);
$('resign').addEventListener('click', resign);
$('analyse').addEventListener('click', toggleAnalysis);
$('stop').addEventListener('click', () => {
  stopSearch();
  showStatus();
});
$('set-fen').addEventListener('click', setUpFen);
$('fen').addEventListener('keydown', (e) => {
  if (e.key === 'Enter') setUpFen();
});
$('time').addEventListener('change', () => {
  $('custom-time').hidden = $('time').value !== 'custom';
});
$('restart').addEventListener('click', () => {
  message = '';
  engine.start();
});
for (const button of $('promotion').querySelectorAll('button'))
  button.addEventListener('click', () => choosePromotion(button.dataset.piece || null));
$('copy-pgn').addEventListener('click', async () => {
  try {
    await navigator.clipboard.writeText($('pgn').value);
    message = 'PGN copied.';
  } catch {
    $('pgn').select();
    message = document.execCommand && document.execCommand('copy') ? 'PGN copied.' : 'Select the PGN and copy it.';
  }
  showStatus();
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

newGame();
engine.start();
