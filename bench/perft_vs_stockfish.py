#!/usr/bin/env python3
"""Times tarvik-perft against Debian's stockfish on the same perft runs.

    bench/perft_vs_stockfish.py [--rounds N] [--stockfish PATH] [PERFT ...]

PERFT is one or more tarvik-perft binaries (default build/release/tarvik-perft;
give an older build too to compare before and after in the same sitting).
Stockfish runs as one long-lived process: after `readyok` its clock runs from
writing `go perft N` to reading its `Nodes searched` line, so its start-up is
left out. tarvik-perft's clock is its own `Time:` line, which likewise leaves
out its start-up; the wall time of the whole process is shown beside it. The
runs alternate round by round and the medians are printed with the ratio of
leaves per second, tarvik over stockfish. Every count must equal stockfish's.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

POSITIONS = [
    ("start", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6),
    ("kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5),
]


class Stockfish:
    def __init__(self, path):
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.send("uci")
        self.wait_for("uciok")

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def wait_for(self, prefix):
        while True:
            line = self.proc.stdout.readline()
            if not line:
                sys.exit("stockfish ended unexpectedly")
            if line.startswith(prefix):
                return line

    def perft(self, fen, depth):
        self.send("position fen " + fen)
        self.send("isready")
        self.wait_for("readyok")
        start = time.perf_counter()
        self.send("go perft %d" % depth)
        line = self.wait_for("Nodes searched")
        return int(line.split(":")[1]), time.perf_counter() - start

    def quit(self):
        self.send("quit")
        self.proc.wait()


def tarvik_perft(binary, fen, depth):
    """Leaves, the program's own time and the process's wall time."""
    start = time.perf_counter()
    out = subprocess.run([binary, str(depth), fen], capture_output=True, text=True, check=True).stdout
    wall = time.perf_counter() - start
    fields = dict(line.split(":", 1) for line in out.splitlines() if ":" in line)
    return int(fields["Nodes"]), float(fields["Time"].split()[0]), wall


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("perft", nargs="*", default=[os.path.join(root, "build/release/tarvik-perft")])
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--stockfish", default="/usr/games/stockfish")
    args = parser.parse_args()

    stockfish = Stockfish(args.stockfish)
    names = ["stockfish"] + args.perft
    # times[position][name] = list of seconds; walls only for tarvik builds.
    times = {p[0]: {n: [] for n in names} for p in POSITIONS}
    walls = {p[0]: {n: [] for n in args.perft} for p in POSITIONS}
    leaves = {}
    for _ in range(args.rounds):
        for label, fen, depth in POSITIONS:
            nodes, secs = stockfish.perft(fen, depth)
            leaves[label] = nodes
            times[label]["stockfish"].append(secs)
            for binary in args.perft:
                nodes, secs, wall = tarvik_perft(binary, fen, depth)
                if nodes != leaves[label]:
                    sys.exit("%s: %s depth %d gives %d, stockfish %d" % (binary, label, depth, nodes, leaves[label]))
                times[label][binary].append(secs)
                walls[label][binary].append(wall)
    stockfish.quit()

    print("medians of %d alternating rounds; Mleaves/s and ratio to stockfish (wall time incl. start-up)" % args.rounds)
    for label, fen, depth in POSITIONS:
        base = statistics.median(times[label]["stockfish"])
        print("%s, perft %d, %d leaves" % (label, depth, leaves[label]))
        print("  %-40s %7.3f s %8.1f Mleaves/s" % ("stockfish", base, leaves[label] / base / 1e6))
        for binary in args.perft:
            secs = statistics.median(times[label][binary])
            wall = statistics.median(walls[label][binary])
            print(
                "  %-40s %7.3f s %8.1f Mleaves/s  ratio %.2fx  (wall %.3f s, %.2fx)"
                % (binary[-40:], secs, leaves[label] / secs / 1e6, base / secs, wall, base / wall)
            )


if __name__ == "__main__":
    main()
