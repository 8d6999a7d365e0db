#!/bin/sh
# Fake opponent for the harness self-test, standing in for fairymax: it never answers,
# so it loses every game on time, as a fairymax that crashed or hung would.
# shellcheck disable=SC2217 # its input is let go on purpose: it reads nothing
exec sleep 100000 </dev/null
