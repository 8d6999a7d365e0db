#!/usr/bin/env bash
# Proves xboard_games.sh catches each way an engine can fail a game, using scripted fake engines.
# Usage: tests/e2e/harness_selftest.sh [OUTDIR]   (default build/e2e-selftest-logs)
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
outdir="${1:-$here/../../build/e2e-selftest-logs}"

# fake engine | diagnosis the harness must print for it | fake opponent (default fairymax)
cases=(
    "illegal.sh|illegal move: {polyglot: resign (illegal engine move by white: e1e3)}|"
    "exit.sh|engine closed its output mid-game|"
    "signal.sh|terminated with signal 11|"
    "hang.sh|engine lost on time|"
    # An opponent that always forfeits: the game is replayed twice, then fails.
    "hang.sh|replayed|silent_opponent.sh"
)

failures=0
for c in "${cases[@]}"; do
    IFS='|' read -r fake want opponent <<<"$c"
    name="${fake%.sh}${opponent:+-vs-${opponent%.sh}}"
    log="$outdir/$name.out"
    mkdir -p "$outdir"
    opponent_env=()
    [[ -n "$opponent" ]] && opponent_env=(FAIRYMAX="$here/fake_engines/$opponent")
    # One game is enough: the fakes misbehave on their second move, with the engine as White.
    env "${opponent_env[@]}" "$here/xboard_games.sh" --games 1 --outdir "$outdir/$name" \
        "$here/fake_engines/$fake" >"$log" 2>&1
    status=$?
    if [[ -n "$opponent" && $(grep -c ': replayed' "$log") -ne 2 ]]; then
        echo "FAIL $name: expected two replays before the game fails (see $log)"
        failures=$((failures + 1))
        continue
    fi
    if [[ $status -ne 1 ]]; then
        echo "FAIL $name: harness exited $status, expected 1 (see $log)"
        failures=$((failures + 1))
    elif ! grep -qF -- "$want" "$log"; then
        echo "FAIL $name: harness output lacks '$want' (see $log)"
        failures=$((failures + 1))
    else
        echo "ok   $name: $want"
    fi
done
echo "harness self-test: $(( ${#cases[@]} - failures )) of ${#cases[@]} misbehaving engines caught"
exit $((failures > 0))
