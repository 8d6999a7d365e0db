// The page's copy of the engine's numbers against the engine's C++ sources: each definition read from its line, each use the page's figure relies on found as written.
//   node --test test/engine-facts.test.mjs
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { fileURLToPath } from 'node:url';
import * as facts from '../src/engine-facts.js';

const ENGINE_ROOT = path.join(path.dirname(fileURLToPath(import.meta.url)), '../..');

// The captures of pattern, which must match one whole line of file.
function line(file, pattern, what = 'the definition') {
  const text = fs.readFileSync(path.join(ENGINE_ROOT, file), 'utf8');
  const found = new RegExp(`^${pattern.source}$`, 'm').exec(text);
  assert.ok(found, `${file} has no line matching /${pattern.source}/ (${what}): the engine changed; check web/src/engine-facts.js against it and update this test`);
  return found.slice(1);
}
const number = (file, pattern) => Number(line(file, pattern)[0]);

test('each number is the one the engine defines', () => {
  for (const [name, file, pattern, page] of /** @type {[string, string, RegExp, number][]} */ ([
    ['PHASE_MAX', 'src/eval/eval.h', /constexpr uint32_t PHASE_MAX = (\d+);/, facts.PHASE_MAX],
    ['SCORE_INF', 'src/search/search.h', /constexpr int SCORE_INF = (\d+);/, facts.MATE_SCORE],
    ['DEPTH_BUDGET_DIVISOR', 'src/search/search.h', /constexpr uint32_t DEPTH_BUDGET_DIVISOR = (\d+);/, facts.DEPTH_BUDGET_DIVISOR],
    ['1 / BUDGET_CLOCK_SHARE', 'src/uci/uci.h', /constexpr double BUDGET_CLOCK_SHARE = (\d+\.\d+);/, 1 / facts.BUDGET_DIVISOR],
    ['LINE_SIZE', 'src/uci/uci.h', /constexpr int LINE_SIZE = (\d+);/, facts.LINE_SIZE],
  ]))
    assert.equal(page, number(file, pattern), `${name} in ${file}: the page's copy differs`);
});

test('the engine uses them as the page reads them', () => {
  for (const [what, file, patterns] of /** @type {[string, string, RegExp[]][]} */ ([
    [
      'the blend is PHASE_MAX times the table score, never divided',
      'src/eval/eval.h',
      [/\s+const uint32_t q = PHASE_MAX - p;/, /\s+return mg \* int\(p\) \+ eg \* int\(q\);/],
    ],
    ['the info line prints the score unscaled', 'src/uci/uci.cpp', [/\s+fprintf\(out, "info depth %d score cp %d [^"]*", int\(r\.depth\), r\.score, .*/]],
    [
      'the budget is the figure times the share, truncated',
      'src/uci/uci.cpp',
      [/\s+const double budget = double\(value\) \* BUDGET_CLOCK_SHARE;/, /\s+return budget >= double\(NO_BUDGET\) \? NO_BUDGET : static_cast<uint32_t>\(budget\);/],
    ],
    [
      'deepening stops after a depth that took more than budget / DEPTH_BUDGET_DIVISOR',
      'src/search/search.cpp',
      [/\s+const uint32_t threshold = budget \/ DEPTH_BUDGET_DIVISOR;/, /\s+if \(ms > threshold \|\| .*\) break;/],
    ],
    ['the console engine reads LINE_SIZE at a time', 'src/uci/uci.cpp', [/\s+if \(!fgets\(buf, LINE_SIZE, in\)\) return false;/]],
    ["the page's worker reads into a LINE_SIZE buffer", 'bin/web/worker.cpp', [/\s+static char line\[LINE_SIZE\];/]],
  ]))
    for (const pattern of patterns) line(file, pattern, what);
});

test('100 table units are a pawn: the tables are in centipawns', () => {
  for (const table of ['VALUE_MG', 'VALUE_EG']) {
    const [pawn] = line('src/tables/values.cpp', new RegExp(`const int ${table}\\[6\\] = \\{(\\d+), \\d+, \\d+, \\d+, \\d+, 0\\};`));
    assert.equal(Math.round(Number(pawn) / 100), 1, `${table}'s pawn, ${pawn} units`);
  }
  assert.equal(facts.UNITS_PER_PAWN, facts.PHASE_MAX * 100);
});

test('"go movetime" of MOVETIME_PER_DEPTH_MS times n lets each depth take n ms, as the engine works it out', () => {
  const share = number('src/uci/uci.h', /constexpr double BUDGET_CLOCK_SHARE = (\d+\.\d+);/);
  const divisor = number('src/search/search.h', /constexpr uint32_t DEPTH_BUDGET_DIVISOR = (\d+);/);
  for (const ms of [1, 7, 50, 100, 333, 1000, 10000]) {
    const budget = Math.trunc(ms * facts.MOVETIME_PER_DEPTH_MS * share);
    assert.equal(Math.floor(budget / divisor), ms, `${ms} ms a depth`);
  }
});

test('the longest command the page sends fits one engine line', () => {
  const lineSize = number('src/uci/uci.h', /constexpr int LINE_SIZE = (\d+);/);
  assert.ok(facts.MAX_COMMAND <= lineSize - 1, `${facts.MAX_COMMAND} characters against ${lineSize - 1}`);
});
