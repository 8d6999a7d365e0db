// Builds the opening names' table from the TSV files of data/openings: each line replayed by the page's rules, every position on its way keyed as the page keys it.
import fs from 'node:fs';
import path from 'node:path';
import { FIELD, ROW, epdOf, positionKey } from './src/openings.js';
import { START_FEN, play, readMove } from './src/rules.js';

/**
 * One named line of the source: its ECO code, its name, and its moves in SAN.
 * @typedef {{ eco: string, name: string, sans: string[], where: string }} NamedLine
 */

/**
 * The lines of the TSV files in dir (a.tsv to e.tsv, each "eco<TAB>name<TAB>pgn"
 * under a header row), in file order.
 * @param {string} dir
 * @returns {NamedLine[]}
 */
export function readLines(dir) {
  const files = fs.readdirSync(dir).filter((f) => f.endsWith('.tsv')).sort();
  if (!files.length) throw new Error(`no .tsv file in ${dir}`);
  /** @type {NamedLine[]} */
  const lines = [];
  for (const file of files) {
    const rows = fs.readFileSync(path.join(dir, file), 'utf8').split('\n');
    if (rows[0] !== 'eco\tname\tpgn') throw new Error(`${file}: the first row is not "eco<TAB>name<TAB>pgn"`);
    rows.forEach((row, i) => {
      if (i === 0 || !row.trim()) return;
      const [eco, name, pgn, more] = row.split('\t');
      const where = `${file}:${i + 1}`;
      if (!/^[A-E]\d\d$/.test(eco) || !name || !pgn || more !== undefined) throw new Error(`${where}: not "eco<TAB>name<TAB>pgn"`);
      lines.push({ eco, name, sans: pgn.split(/\s+/).filter((w) => w && !/^\d+\.+$/.test(w)), where });
    });
  }
  return lines;
}

/**
 * The positions of a line from the start position, the start included.
 * @param {NamedLine} line
 * @returns {string[]}
 */
export function replay(line) {
  const fens = [START_FEN];
  for (const san of line.sans) {
    const fen = fens[fens.length - 1];
    const move = readMove(fen, san);
    const played = 'error' in move ? null : play(fen, move);
    if (!played) throw new Error(`${line.where}: ${san} is not a legal move after ${fens.length - 1} plies`);
    fens.push(played.fen);
  }
  return fens;
}

/**
 * The table as openings.js carries it. Where two lines end in one position,
 * the first in file order names it; a position where a line ends is named
 * even when another line passes through it. Two positions with one key fail
 * the build, since the page could not tell them apart.
 * @param {NamedLine[]} lines
 * @returns {import('./src/openings.js').OpeningData}
 */
export function encodeTable(lines) {
  /** @type {Map<string, string>} the position of each key, to find two positions with one key */
  const epds = new Map();
  /** @param {string} fen */
  const keyOf = (fen) => {
    const key = positionKey(fen);
    const epd = epdOf(fen);
    const other = epds.get(key);
    if (other !== undefined && other !== epd) throw new Error(`two positions share the key ${key}: ${other} and ${epd}`);
    epds.set(key, epd);
    return key;
  };
  /** @type {Map<string, NamedLine>} */
  const named = new Map();
  const passed = new Set();
  let plies = 0;
  for (const line of lines) {
    if (line.name.includes(ROW)) throw new Error(`${line.where}: a name with the row separator ${ROW}`);
    const fens = replay(line);
    plies = Math.max(plies, fens.length - 1);
    for (const fen of fens.slice(1, -1)) passed.add(keyOf(fen));
    const key = keyOf(fens[fens.length - 1]);
    if (!named.has(key)) named.set(key, line);
  }
  const rows = [];
  let eco = '';
  let name = '';
  for (const [key, line] of named) {
    let shared = 0;
    while (shared < name.length && name[shared] === line.name[shared]) shared++;
    rows.push([key, line.eco === eco ? '' : line.eco, shared.toString(36), line.name.slice(shared)].join(FIELD));
    eco = line.eco;
    name = line.name;
  }
  const book = [...passed].filter((key) => !named.has(key));
  return { plies, named: rows.join(ROW), book: book.join(FIELD) };
}
