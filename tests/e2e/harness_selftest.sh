#!/usr/bin/env bash
# Proves xboard_games.sh catches each way an engine can fail a game, using scripted fake engines.
# Usage: tests/e2e/harness_selftest.sh [OUTDIR]   (default build/e2e-selftest-logs)
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
outdir="${1:-$here/../../build/e2e-selftest-logs}"

# fake engine | diagnosis the harness must print for it
cases=(
    "illegal.sh|illegal move: {polyglot: resign (illegal engine move by white: e1e3)}"
    "exit.sh|engine closed its output mid-game"
    "signal.sh|terminated with signal 11"
    "hang.sh|engine lost on time"
)

failures=0
for c in "${cases[@]}"; do
    fake="${c%%|*}" want="${c#*|}"
    log="$outdir/${fake%.sh}.out"
    mkdir -p "$outdir"
    # One game is enough: the fakes misbehave on their second move, with the engine as White.
    "$here/xboard_games.sh" --games 1 --outdir "$outdir/${fake%.sh}" "$here/fake_engines/$fake" >"$log" 2>&1
    status=$?
    if [[ $status -ne 1 ]]; then
        echo "FAIL $fake: harness exited $status, expected 1 (see $log)"
        failures=$((failures + 1))
    elif ! grep -qF -- "$want" "$log"; then
        echo "FAIL $fake: harness output lacks '$want' (see $log)"
        failures=$((failures + 1))
    else
        echo "ok   $fake: $want"
    fi
done
echo "harness self-test: $(( ${#cases[@]} - failures )) of ${#cases[@]} misbehaving engines caught"
exit $((failures > 0))
