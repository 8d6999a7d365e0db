#!/bin/sh
# Fake engine for the harness self-test: see fake_uci.py.
exec python3 "$(dirname "$0")/fake_uci.py" signal
