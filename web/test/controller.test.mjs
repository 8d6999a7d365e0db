// The controller without a browser: a scripted engine and a clock the test
// moves by hand. An action goes in; the state and the engine's commands come
// out.
//   node --test test/controller.test.mjs
import 'fake-indexeddb/auto';
import assert from 'node:assert/strict';
import test from 'node:test';
import { readGame } from '../src/pgn.js';
import { openStore } from '../src/store.js';
import { mainline } from '../src/tree.js';
import { answerReview, line, playLine, sans, setUp } from './fakes.mjs';

test('a move, the engine thinks with both clocks, its checked answer is played', () => {
  const { ctrl, engine, clock, state, renders } = setUp();
  const before = renders();
  ctrl.playMove('e2', 'e4');
  assert.equal(renders(), before + 1, 'one render for one action');
  assert.equal(state.ceval.job.kind, 'move');
  assert.equal(engine.last('position'), 'position startpos moves e2e4');
  assert.equal(engine.last('go'), 'go wtime 182000 btime 180000 winc 2000 binc 2000');
  // Moves of the side the engine plays are refused while it thinks.
  ctrl.playMove('e7', 'e5');
  assert.equal(sans(state), 'e4');
  engine.say('info depth 3 score cp -2400 nps 100 nodes 10 time 1 pv e7e5');
  assert.equal(state.ceval.analysis.lines[0].san, 'e5');
  engine.say('bestmove e7e5');
  assert.equal(sans(state), 'e4 e5');
  assert.equal(state.path.length, 2);
  assert.equal(state.ceval.job, null);
  assert.deepEqual(clock.log.slice(-2), ['moved w', 'moved b']);
  assert.equal(ctrl.headers().Black, 'tarvik 19.0.0');
  assert.equal(ctrl.headers().Date, '2026.01.05');
});

test('a reply that is not a legal move is reported, not played, and not asked for again', () => {
  const { ctrl, engine, state, clock } = setUp();
  ctrl.playMove('g1', 'f3');
  const sent = engine.sent.length;
  engine.say('bestmove e7e4');
  assert.match(state.message, /not a legal move/);
  assert.equal(sans(state), 'Nf3');
  assert.equal(clock.running, null);
  ctrl.playMove('a2', 'a3');
  assert.equal(engine.sent.length, sent, 'no new search after a refused reply');
  // Taking the move back lets the engine answer again.
  ctrl.takeBack();
  ctrl.playMove('d2', 'd4');
  assert.equal(engine.last('position'), 'position startpos moves d2d4');
});

test('take-back ends a search still thinking, or removes the answer too', () => {
  for (const [answered, plies] of [
    [false, 2],
    [true, 2],
  ]) {
    const { ctrl, engine, state } = setUp();
    ctrl.playMove('e2', 'e4');
    engine.say('bestmove e7e5');
    ctrl.playMove('d2', 'd4');
    if (answered) engine.say('bestmove d7d5');
    const starts = engine.starts;
    ctrl.takeBack();
    assert.equal(line(state).length, plies, `answered ${answered}`);
    assert.equal(state.path.length, plies);
    assert.equal(engine.starts, answered ? starts : starts + 1, 'a thinking worker is replaced');
    assert.equal(state.ceval.job, null);
  }
});

test('the player as Black: the engine opens, and take-back needs a move of the player', () => {
  const { ctrl, engine, state } = setUp({ colour: 'b', time: '1+0' });
  assert.equal(state.orientation, 'b');
  assert.equal(engine.last('go'), 'go wtime 60000 btime 60000 winc 0 binc 0');
  assert.equal(ctrl.canTakeBack(), false);
  engine.say('bestmove e2e4');
  assert.equal(ctrl.canTakeBack(), false);
  ctrl.playMove('c7', 'c5');
  engine.say('bestmove g1f3');
  ctrl.takeBack();
  assert.equal(sans(state), 'e4');
});

test('analysis follows the board; Stop holds until the next move', () => {
  const { ctrl, engine, state } = setUp();
  ctrl.toggleAnalysis();
  assert.equal(state.mode, 'analyse');
  assert.equal(engine.last('go'), 'go');
  // A move ends the old search with its worker; the new worker analyses.
  ctrl.playMove('e2', 'e4');
  assert.equal(state.ceval.job, null);
  engine.boot();
  assert.equal(engine.last('position'), 'position startpos moves e2e4');
  engine.say('info depth 5 score cp 480 nps 100 nodes 10 time 1 pv g8f6');
  ctrl.stop();
  assert.equal(state.ceval.job, null);
  engine.boot();
  assert.equal(engine.sent.at(-1), '(new worker)', 'nothing searched after Stop');
  const sent = engine.sent.length;
  ctrl.playMove('e7', 'e5');
  assert.equal(engine.sent.length, sent + 2);
  assert.equal(engine.last('position'), 'position startpos moves e2e4 e7e5');
  // Back to the game: analysis moves are not the game's, so it goes on from
  // its start, and the player's move there is the game's first.
  ctrl.toggleAnalysis();
  engine.boot();
  assert.equal(state.mode, 'play');
  assert.deepEqual(state.path, []);
  assert.equal(state.ceval.job, null, 'the player is to move');
  ctrl.playMove('e2', 'e4');
  assert.equal(engine.last('position'), 'position startpos moves e2e4');
  assert.equal(state.ceval.job.kind, 'move');
});

test('flag fall, resignation and mate end the game with their result', () => {
  /** @type {[string, (s: ReturnType<typeof setUp>) => void, string, string, string][]} */
  const cases = [
    ['flag', (s) => s.clock.fall('w'), '0-1', 'White lost on time', 'time forfeit'],
    ['resign', (s) => s.ctrl.resign(), '0-1', 'White resigns', 'normal'],
    [
      'mate',
      (s) => {
        s.ctrl.playMove('f2', 'f3');
        s.engine.say('bestmove e7e5');
        s.ctrl.playMove('g2', 'g4');
        s.engine.say('bestmove d8h4');
      },
      '0-1',
      'Black wins by checkmate',
      'normal',
    ],
  ];
  for (const [name, end, result, reason, termination] of cases) {
    const s = setUp();
    end(s);
    assert.deepEqual(s.state.ending, { result, reason, termination }, name);
    assert.equal(s.state.game.headers.Result, result, name);
    assert.equal(s.ctrl.headers().Termination, termination, name);
    assert.equal(s.state.ceval.job, null, name);
    s.ctrl.playMove('a2', 'a3');
    assert.equal(line(s.state).at(-1)?.san ?? null, name === 'mate' ? 'Qh4#' : null, `${name}: no move after the end`);
  }
});

test('a promotion waits for the piece; Cancel plays nothing', () => {
  const { ctrl, engine, state } = setUp({ colour: 'w', time: '15+10' });
  ctrl.setFen({ fen: '8/P7/8/8/8/8/6kp/K7 w - - 0 1' }, { colour: 'w', time: '15+10' });
  assert.equal(state.game.root.fen, '8/P7/8/8/8/8/6kp/K7 w - - 0 1');
  assert.match(ctrl.exportPgn(), /\[SetUp "1"\]\n\[FEN "8\/P7\/8\/8\/8\/8\/6kp\/K7 w - - 0 1"\]/);
  ctrl.playMove('a7', 'a8');
  assert.deepEqual(state.promotion, { from: 'a7', to: 'a8' });
  assert.equal(ctrl.canMove(), false);
  ctrl.choosePromotion(null);
  assert.equal(line(state).length, 0);
  ctrl.playMove('a7', 'a8');
  ctrl.choosePromotion('n');
  assert.equal(sans(state), 'a8=N');
  assert.equal(engine.last('position'), 'position fen 8/P7/8/8/8/8/6kp/K7 w - - 0 1 moves a7a8n');
  ctrl.setFen({ error: 'A FEN has four to six fields separated by spaces.' }, { colour: 'w', time: '15+10' });
  assert.equal(state.fenMessage.error, true);
  assert.equal(sans(state), 'a8=N', 'a refused FEN leaves the game');
  // A position already mated is a game already over.
  ctrl.setFen({ fen: 'k7/1Q6/1K6/8/8/8/8/8 b - - 0 1' }, { colour: 'b', time: '15+10' });
  assert.equal(state.ending.reason, 'White wins by checkmate');
  assert.equal(state.ceval.job, null);
});

test('a worker that fails is reported; the restarted one answers the waiting move', () => {
  const { ctrl, engine, state } = setUp();
  ctrl.playMove('e2', 'e4');
  engine.fail('the engine stopped (killed)');
  assert.match(state.ceval.error, /not running: the engine stopped \(killed\)/);
  assert.equal(state.ceval.job, null);
  ctrl.restartEngine();
  engine.boot();
  assert.equal(state.ceval.error, null);
  assert.equal(state.ceval.job.kind, 'move');
  assert.equal(engine.last('position'), 'position startpos moves e2e4');
});

test('custom time controls are checked before a game starts', () => {
  const { ctrl, state } = setUp();
  ctrl.playMove('e2', 'e4');
  ctrl.newGame({ colour: 'w', time: 'custom', minutes: '0', increment: '1' });
  assert.match(state.message, /minutes/);
  assert.equal(sans(state), 'e4');
  ctrl.newGame({ colour: 'random', time: 'custom', minutes: '0.5', increment: '3' });
  assert.equal(state.play.player, 'b');
  assert.equal(ctrl.headers().TimeControl, '30+3');
});

test('the exported PGN carries the result, the clock and the end, and replays', () => {
  const s = setUp({ colour: 'w', time: '1+0' });
  s.ctrl.playMove('f2', 'f3');
  s.engine.say('bestmove e7e5');
  s.ctrl.playMove('g2', 'g4');
  s.engine.say('bestmove d8h4');
  const pgn = s.ctrl.exportPgn();
  assert.match(pgn, /\[Result "0-1"\]/);
  assert.match(pgn, /\[TimeControl "60\+0"\]/);
  assert.match(pgn, /\[Termination "normal"\]/);
  assert.match(pgn, /Qh4# \{\s*\[%clk 0:01:00\] \} 0-1\n$/);
  const read = readGame(pgn);
  assert.ok('game' in read, 'the export reads back');
  assert.equal(mainline(read.game.root).at(-1).fen, line(s.state).at(-1).fen);
  assert.match(pgn, /f3 \{ \[%clk 0:01:00\] \}/, 'each move with its clock');
});

test('looking back in a game: the clock and the engine go on, no move from the past', () => {
  const s = setUp();
  playLine(s, 'e2e4 e7e5 g1f3 b8c6');
  const { ctrl, state, engine } = s;
  for (const [where, ply] of /** @type {['first' | 'prev' | 'next' | 'last', number][]} */ ([
    ['first', 0],
    ['prev', 0],
    ['next', 1],
    ['last', 4],
    ['next', 4],
    ['prev', 3],
  ])) {
    ctrl.navigate(where);
    assert.equal(state.path.length, ply, where);
  }
  ctrl.goToPly(99);
  assert.equal(state.path.length, 4);
  ctrl.goToPly(2);
  assert.equal(ctrl.canMove(), false);
  ctrl.playMove('d2', 'd4');
  assert.equal(line(state).length, 4, 'no move from a past position');
  ctrl.goToPly(4);
  ctrl.playMove('f1', 'b5');
  ctrl.goToPly(1);
  assert.equal(state.ceval.job.kind, 'move', 'the engine thinks on while the player looks back');
  assert.equal(s.clock.running, 'b');
  engine.say('bestmove a7a6');
  assert.equal(state.path.length, 6, 'the engine move brings the view back');
});

test('in analysis a move from an earlier position adds a variation; promote, delete and undo act on the move on view', () => {
  const s = setUp();
  const { ctrl, state, engine } = s;
  ctrl.loadPgn('1. e4 e5 2. Nf3 Nc6 *');
  engine.boot();
  assert.equal(engine.last('position'), 'position startpos');
  // The game's own next move is a step forward.
  ctrl.playMove('e2', 'e4');
  assert.equal(state.path.length, 1);
  ctrl.playMove('c7', 'c5');
  assert.deepEqual(state.path, ['e2e4', 'c7c5']);
  assert.equal(sans(state), 'e4 e5 Nf3 Nc6', 'the main line stays');
  engine.boot();
  assert.equal(engine.last('position'), 'position startpos moves e2e4 c7c5');
  ctrl.typeMove('Nf3');
  assert.deepEqual(state.path, ['e2e4', 'c7c5', 'g1f3']);
  // ↑ and ↓ choose among the moves at the branch, → follows the line on view.
  ctrl.goTo(['e2e4', 'c7c5']);
  ctrl.navigate('down');
  assert.deepEqual(state.path, ['e2e4', 'e7e5']);
  ctrl.navigate('up');
  ctrl.navigate('next');
  assert.deepEqual(state.path, ['e2e4', 'c7c5', 'g1f3']);
  ctrl.typeMove('Ke3');
  assert.match(state.moveMessage.text, /Ke3/);
  assert.deepEqual(state.path, ['e2e4', 'c7c5', 'g1f3'], 'an illegal typed move changes nothing');
  ctrl.promote();
  assert.equal(sans(state), 'e4 c5 Nf3');
  ctrl.goTo(['e2e4', 'c7c5']);
  ctrl.deleteMove();
  assert.equal(sans(state), 'e4 e5 Nf3 Nc6', 'the deleted line goes with everything after it');
  assert.deepEqual(state.path, ['e2e4']);
  ctrl.undo();
  assert.equal(sans(state), 'e4 c5 Nf3', 'undo puts it back where it was');
  assert.deepEqual(state.path, ['e2e4', 'c7c5']);
  assert.match(ctrl.exportPgn(), /1\. e4 c5 \( 1\.\.\. e5 2\. Nf3 Nc6 \) 2\. Nf3/);
  // Comments and marks belong to the move on view.
  ctrl.setComment('the Sicilian');
  ctrl.setNag('!?');
  assert.match(ctrl.exportPgn(), /c5 \$5 \{ the Sicilian \}/);
});

test('analysis during a game against the engine never rewrites the game', () => {
  const s = setUp();
  playLine(s, 'e2e4 e7e5');
  const { ctrl, state, engine } = s;
  ctrl.toggleAnalysis();
  ctrl.goToPly(1);
  ctrl.playMove('c7', 'c5');
  assert.equal(ctrl.canPromote(), false, 'the button says so before the message');
  ctrl.promote();
  assert.match(state.message, /game's own moves/);
  ctrl.goToPly(2);
  ctrl.playMove('d2', 'd4');
  ctrl.goTo(['e2e4', 'e7e5']);
  assert.equal(ctrl.canDelete(), false);
  ctrl.deleteMove();
  assert.match(state.message, /Take back/);
  ctrl.goTo(['e2e4', 'e7e5', 'd2d4']);
  assert.equal(ctrl.canDelete(), true, 'a move past the game is analysis');
  assert.equal(sans(state), 'e4 e5 d4', 'an analysis move past the game continues the line');
  ctrl.toggleAnalysis();
  engine.boot();
  assert.deepEqual(state.path, ['e2e4', 'e7e5'], 'back to the game where it stands');
  ctrl.playMove('g1', 'f3');
  assert.equal(sans(state), 'e4 e5 Nf3', 'the game move goes first, the analysis move beside it');
  assert.deepEqual(
    mainline(state.game.root)[2].children.map((c) => c.san),
    ['Nf3', 'd4'],
  );
  assert.deepEqual(
    mainline(state.game.root)[1].children.map((c) => c.san),
    ['e5', 'c5'],
  );
  assert.equal(state.ceval.job.kind, 'move');
});

test('a review searches each position in turn and judges the moves', () => {
  const s = setUp();
  playLine(s, 'e2e4 e7e5 g1f3 d8h4 f3h4');
  const { ctrl, state } = s;
  assert.equal(ctrl.canReview(), false, 'not during a game');
  ctrl.toggleAnalysis();
  ctrl.review(100);
  assert.equal(state.review.run.fens.length, 6);
  // Black to move after 3. Nf3: level; after 3... Qh4 White wins the queen.
  const asked = answerReview(s, [0, 0, 0, 0, 21600, -21600], (i) => ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f3h4', 'g7g6'][i]);
  assert.equal(asked[0], 'position startpos');
  assert.equal(asked[5], 'position startpos moves e2e4 e7e5 g1f3 d8h4 f3h4');
  assert.equal(state.review.run, null);
  const r = ctrl.reviewOnView();
  assert.deepEqual(r.evals[4], { pawns: 9 });
  assert.deepEqual(
    r.judged.map((m) => m.judgement),
    [null, null, null, 'blunder', null],
  );
  assert.equal(r.judged[3].best, 'Nc6');
  assert.equal(r.summary.b.blunder, 1);
  const pgn = ctrl.exportPgn();
  assert.match(pgn, /Qh4 \$4 \{ \[%eval\s+9\.00\]\s+\[%clk 0:03:04\] \}/);
  assert.match(pgn, /Nf3 \{ \[%eval 0\.00\] \[%clk 0:03:04\]\s+\[%best Nc6\] \}/, 'the preferred move before the blunder');
  assert.equal(pgn.match(/%best/g).length, 1, 'and no other');
});

test('a review scores a mate by the depth it was found at, and a mated end without a search', () => {
  const s = setUp();
  playLine(s, 'f2f3 e7e5 g2g4');
  s.ctrl.toggleAnalysis();
  s.ctrl.playMove('d8', 'h4');
  s.engine.boot();
  s.ctrl.review();
  // Position 3: Black to move mates in one, first seen at depth 1.
  const positions = answerReview(s, [0, 0, 0, 2147483647]);
  assert.equal(positions.length, 4, 'the mated position is not searched');
  const r = s.ctrl.reviewOnView();
  assert.deepEqual(r.evals[3], { mate: -1 });
  assert.deepEqual(r.evals[4], { mate: -1 });
  assert.equal(r.judged[2].judgement, 'blunder', '2. g4 walks into mate');
});

test('Cancel ends the review with its worker; the analysis goes on', () => {
  const s = setUp();
  playLine(s, 'e2e4 e7e5');
  s.ctrl.toggleAnalysis();
  s.ctrl.review();
  s.engine.boot();
  assert.equal(s.state.ceval.job.kind, 'review');
  const starts = s.engine.starts;
  s.engine.say('bestmove e2e4');
  assert.equal(s.state.review.run.next, 1);
  s.ctrl.cancelReview();
  assert.equal(s.state.review.run, null);
  assert.equal(s.ctrl.reviewOnView(), null, 'nothing of a cancelled review is kept');
  assert.equal(s.engine.starts, starts + 1);
  s.engine.boot();
  assert.equal(s.engine.last('go'), 'go');
});

test('a PGN loads into the record the page plays; a bad one leaves the game', () => {
  const s = setUp();
  playLine(s, 'e2e4 e7e5');
  const { ctrl, state } = s;
  ctrl.loadPgn('1. e4 e5 2. Ke3 *');
  assert.match(state.pgnMessage.text, /Ke3/);
  assert.equal(state.pgnMessage.error, true);
  assert.equal(state.source, 'page');
  assert.equal(sans(state), 'e4 e5');
  ctrl.loadPgn('[White "Ann"]\n[Black "Ben"]\n[Result "0-1"]\n\n1. d4 (1. c4) d5 2. c4 0-1\n\n[White "X"]\n\n1. e4 *\n\n[White "Y"]\n\n1. e4 e5 2. Ke2 Ke7 3. Qh5 *\n');
  assert.match(state.pgnMessage.text, /^2 games loaded, 1 skipped \(.*Game 3.*Qh5/);
  assert.equal(state.source, 'import');
  assert.equal(state.mode, 'analyse');
  assert.equal(state.path.length, 0);
  assert.equal(sans(state), 'd4 d5 c4');
  assert.equal(state.ending.result, '0-1');
  assert.match(state.loadNote, /first of the 2 games/);
  assert.deepEqual(state.game.root.children.map((c) => c.san), ['d4', 'c4'], 'the variation is kept');
  assert.equal(ctrl.headers().White, 'Ann');
  ctrl.editHeaders({ White: ' Anna ', Result: '1/2-1/2' });
  assert.match(ctrl.exportPgn(), /\[White "Anna"\][^]*\[Result "1\/2-1\/2"\][^]*c4 1\/2-1\/2\n$/);
  assert.equal(state.ending.result, '1/2-1/2');
  assert.equal(ctrl.canReview(), true);
  ctrl.goToPly(2);
  ctrl.playFromHere({ colour: 'b', time: '5+0' });
  s.engine.boot();
  assert.equal(state.source, 'setup');
  assert.equal(state.game.root.fen, 'rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w KQkq - 0 2');
  assert.equal(state.play.player, 'b');
  assert.equal(state.ceval.job.kind, 'move');
});

// A reviewed game read from PGN: 2. Nf3 and 2... Nc6 are mistakes (about 29
// and 25 points lost), 3... Qh4 a blunder.
const JUDGED = `[White "Ann"]
[Black "Ben"]

{ [%eval 0.2] } 1. e4 { [%eval 0.2] } e5 { [%eval 0.2] } 2. Nf3 { [%eval -3] } Nc6 { [%eval 0] }
3. Bc4 { [%eval 0] } Qh4 { [%eval 9] } 4. Nxh4 { [%eval 9] } *`;

test('n and p go to the next and previous judged move of the main line, from the ply on view', () => {
  const { ctrl, state } = setUp();
  ctrl.goToJudged(1);
  assert.deepEqual(state.path, [], 'nothing without a review');
  ctrl.loadPgn(JUDGED);
  assert.deepEqual(
    ctrl.reviewOnView().judged.filter((m) => m.judgement).map((m) => m.ply),
    [3, 4, 6],
  );
  /** @type {[1 | -1, number][]} */
  const steps = [
    [1, 3],
    [1, 4],
    [1, 6],
    [1, 6],
    [-1, 4],
    [-1, 3],
    [-1, 3],
  ];
  for (const [direction, ply] of steps) {
    ctrl.goToJudged(direction);
    assert.equal(state.path.length, ply, `${direction} to ply ${ply}`);
  }
  // From a variation at ply 5: the main line's judged moves after and before it.
  ctrl.goToPly(4);
  ctrl.playMove('a2', 'a3');
  assert.equal(state.path.length, 5);
  ctrl.goToJudged(1);
  assert.deepEqual(state.path, mainline(state.game.root).slice(1, 7).map((n) => n.id));
  ctrl.goToPly(5);
  ctrl.playMove('a2', 'a3');
  ctrl.goToJudged(-1);
  assert.equal(state.path.length, 4);
});

test("Space plays the first move of the engine's line for the position on view, in analysis only", () => {
  const s = setUp();
  const { ctrl, state, engine } = s;
  ctrl.playBest();
  assert.equal(line(state).length, 0, 'not during a game');
  ctrl.toggleAnalysis();
  ctrl.playBest();
  assert.equal(line(state).length, 0, 'no line yet');
  engine.say('info depth 3 score cp 40 nps 1 nodes 1 time 1 pv d2d4 d7d5');
  engine.say('info depth 4 score cp 30 nps 1 nodes 1 time 1 pv e2e4 e7e5');
  ctrl.playBest();
  assert.equal(sans(state), 'e4', "the newest line's first move");
  engine.boot();
  engine.say('info depth 2 score cp 0 nps 1 nodes 1 time 1 pv e7e5');
  ctrl.navigate('first');
  ctrl.playBest();
  assert.deepEqual(state.path, [], "the lines of another position are not this one's");
  // A promotion comes with its piece.
  ctrl.setFen({ fen: '8/P7/8/8/8/8/6kp/K7 w - - 0 1' }, { colour: 'w', time: '15+10' });
  ctrl.toggleAnalysis();
  engine.boot();
  engine.say('info depth 5 score cp 2000 nps 1 nodes 1 time 1 pv a7a8q');
  ctrl.playBest();
  assert.equal(sans(state), 'a8=Q+');
  assert.equal(state.promotion, null);
});

test('sounds for moves made on the board, typed and by the engine, when the player wants them', () => {
  /** @type {string[]} */
  const heard = [];
  const s = setUp(undefined, { sound: (kind) => heard.push(kind) });
  const { ctrl, engine } = s;
  ctrl.playMove('e2', 'e4');
  assert.deepEqual(heard, [], 'off by default');
  ctrl.setPrefs({ sound: true });
  engine.say('bestmove d7d5');
  ctrl.typeMove('exd5');
  engine.say('bestmove g8f6');
  assert.deepEqual(heard, ['move', 'capture', 'move']);
  ctrl.navigate('first');
  ctrl.navigate('last');
  ctrl.loadPgn('1. e4 e5 2. Nf3 Nc6 *');
  ctrl.navigate('last');
  ctrl.goToPly(2);
  assert.equal(heard.length, 3, 'going through moves and loading are silent');
  ctrl.setPrefs({ sound: false });
  ctrl.playMove('g1', 'f3');
  assert.equal(heard.length, 3);
});

test("the player's name: their side of a loaded game faces them, and a new game names them", () => {
  const { ctrl, state } = setUp();
  assert.deepEqual(state.prefs, { playerName: '', sound: false });
  ctrl.setPrefs({ playerName: '  ben ' });
  ctrl.setPrefs({ sound: true });
  assert.deepEqual(state.prefs, { playerName: '  ben ', sound: true });
  for (const [headers, orientation] of [
    ['[White "Ann"]\n[Black "Ben"]', 'b'],
    ['[White "BEN"]\n[Black "Ann"]', 'w'],
    ['[White "Ann"]\n[Black "Benjamin"]', 'w'],
  ]) {
    ctrl.loadPgn(`${headers}\n\n1. e4 e5 *`);
    assert.equal(state.orientation, orientation, headers);
  }
  ctrl.newGame({ colour: 'b', time: '3+2' });
  assert.deepEqual([ctrl.headers().White, ctrl.headers().Black], ['tarvik 19.0.0', 'ben']);
  ctrl.setPrefs({ playerName: ' ' });
  ctrl.newGame({ colour: 'w', time: '3+2' });
  assert.equal(ctrl.headers().White, 'You');
});

test("the player's settings are kept in the library and read when it opens", async () => {
  const factory = new IDBFactory();
  const store = () => openStore({ indexedDB: factory });
  const first = setUp(undefined, { store });
  await first.ctrl.startLibrary();
  first.ctrl.setPrefs({ playerName: 'Ben', sound: true });
  const kept = await store();
  assert.ok(!('error' in kept));
  // The write goes on in the background: another connection sees it once done.
  /** @type {any} */
  let read = null;
  for (let i = 0; i < 100 && !(read && read.sound); i++) {
    await new Promise((resolve) => setTimeout(resolve, 10));
    read = await kept.settings();
  }
  assert.deepEqual(read, { playerName: 'Ben', sound: true });
  const second = setUp(undefined, { store });
  assert.deepEqual(second.state.prefs, { playerName: '', sound: false });
  await second.ctrl.startLibrary();
  assert.deepEqual(second.state.prefs, { playerName: 'Ben', sound: true });
  second.ctrl.loadPgn('[White "Ann"]\n[Black "Ben"]\n\n1. d4 *');
  assert.equal(second.state.orientation, 'b');
  // Without a library they last as long as the page.
  const none = setUp();
  none.ctrl.setPrefs({ playerName: 'Ben' });
  assert.equal(none.state.prefs.playerName, 'Ben');
});
