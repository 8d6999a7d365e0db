#!/usr/bin/env python3
"""Misbehaving UCI engine used to prove the xboard game harness catches each kind of failure.

Usage: fake_uci.py MODE, MODE one of:
  illegal  plays one legal move, then a king jump that is never legal
  exit     plays one legal move, then exits without a word (the GUI sees EOF)
  signal   plays one legal move, then kills itself with SIGSEGV, as a crashing engine would
  hang     plays one legal move, then never answers "go" again, so its clock runs out
The legal first moves are fixed and cannot be blocked by any single reply of the opponent.
"""
import os
import signal
import sys
import time

MODE = sys.argv[1] if len(sys.argv) > 1 else "illegal"
FIRST = {"w": "e2e4", "b": "e7e5"}
# Two-square king steps: illegal from the starting square whatever the opponent did.
ILLEGAL = {"w": "e1e3", "b": "e8e6"}


def send(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def side_to_move(position_cmd):
    words = position_cmd.split()
    plies = len(words) - words.index("moves") - 1 if "moves" in words else 0
    return "w" if plies % 2 == 0 else "b"


def main():
    position = "position startpos"
    moves_played = 0
    for raw in sys.stdin:
        cmd = raw.strip()
        if cmd == "uci":
            send("id name FakeUci-" + MODE)
            send("id author test harness")
            send("uciok")
        elif cmd == "isready":
            send("readyok")
        elif cmd.startswith("position"):
            position = cmd
        elif cmd.startswith("go"):
            side = side_to_move(position)
            if moves_played == 0:
                move = FIRST[side]
            elif MODE == "illegal":
                move = ILLEGAL[side]
            elif MODE == "exit":
                sys.exit(0)
            elif MODE == "signal":
                os.kill(os.getpid(), signal.SIGSEGV)
                return
            else:  # hang: stay silent but keep reading so "stop"/"quit" still arrive
                continue
            moves_played += 1
            send("info depth 1 score cp 0 pv " + move)
            send("bestmove " + move)
        elif cmd == "quit":
            return


if __name__ == "__main__":
    main()
