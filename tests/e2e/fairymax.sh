#!/bin/sh
# Fairymax as the game harness's opponent, minus the one xboard command it chokes on.
# Debian's fairymax 5.0b does not know "computer" (sent by xboard at the start of every
# engine-vs-engine game) and, depending on memory layout, segfaults while rejecting it,
# which xboard then scores as a time loss for fairymax. Dropping that line keeps it alive.
# SIGINT is ignored here (and so in grep and fairymax) because xboard may interrupt an
# engine that did not opt out of it, and a plain shell would die of it.
trap '' INT
grep --line-buffered -v -x 'computer' | "${FAIRYMAX:-fairymax}" "$@"
