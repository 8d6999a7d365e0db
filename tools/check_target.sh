#!/bin/bash
# Checks one release target's programs under its emulator:
#   tools/check_target.sh TARGET BIN_DIR DEEPLINE REFERENCE
# TARGET is a row of tools/targets.tsv, whose run command starts the programs;
# BIN_DIR holds the unpacked archive's programs; DEEPLINE is the target's
# stack check program; REFERENCE is the native engine whose UCI transcript the
# target must match.
# Checks: the perft suites (capped), the bench signature, every result of
# tests/data/expected.txt, the transcript, the handshake over an open pipe,
# and the deepest search line.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1 bin=$2 deepline=$3 reference=$4
. tools/facts.sh
. tools/targets.sh
load_target "$target"
tools/need_packages.sh "${target_check_needs[@]}"
work=build/check-$target
mkdir -p "$work"
exe=$target_exe
run=("${target_run[@]}")

failures=0
fail() {
    echo "FAIL [$target] $*"
    failures=$((failures + 1))
}
# Runs a program of the target; its "\r\n" line ends (Windows text mode) become "\n".
program() {
    local name=$1
    shift
    "${run[@]}" "$name" "$@" 2>>"$work/stderr.log" | tr -d '\r'
}
# Times and speeds vary from run to run and machine to machine; the native
# bench program cuts them out.
untimed() { "$(dirname "$reference")/tarvik-bench" --untimed; }

start=$SECONDS

# 1. Perft suites, with the caps of the native perft tests.
while read -r suite nodes; do
    out=$(program "$bin/tarvik-perft$exe" --epd "tests/data/$suite.epd" --max-nodes "$nodes") || true
    result=$(tail -n 1 <<<"$out")
    [[ $result =~ ^[1-9][0-9]*\ passed,\ 0\ failed$ ]] || fail "perft $suite.epd: $result"
done < <(perft_caps release)

# 2. Bench signature, checked by the bench itself.
bench=$(program "$bin/tarvik-bench$exe" --check) || fail "bench: $(tail -n 1 <<<"$bench")"
# WebAssembly runs on this very processor, so its speed is worth comparing
# with the native bench's: three runs of each, taken in turns, the fastest of
# each counted, since other work on the machine only ever slows a run down.
if [ "$target" = wasm ]; then
    speed() { sed -n 's/^Nodes\/second: //p'; }
    wasm_nps=$(speed <<<"$bench") native_nps=0
    for round in 1 2 3; do
        nps=$("$(dirname "$reference")/tarvik-bench" | speed)
        [ "${nps:-0}" -gt "$native_nps" ] && native_nps=$nps
        [ "$round" = 3 ] && break
        nps=$(program "$bin/tarvik-bench$exe" | speed)
        [ "${nps:-0}" -gt "${wasm_nps:-0}" ] && wasm_nps=$nps
    done
    awk -v w="${wasm_nps:-0}" -v n="$native_nps" \
        'BEGIN { printf "[wasm] bench speed: %d nodes/s under Node, %d native: %.2f of native\n", w, n, n ? w / n : 0 }'
fi

# 3. Expected search results, checked by the bench program: each block's
#    position searched to the depth of its last progress line, compared
#    without times and speeds.
expected=$(program "$bin/tarvik-bench$exe" --expect tests/data/expected.txt) ||
    fail "expected.txt:"$'\n'"$expected"
expected=$(tail -n 1 <<<"$expected")

# 4. UCI transcript, line for line against the native engine, once with "\n"
#    and once with "\r\n" line ends.
transcript=tests/portable/transcript.uci
"$reference" <"$transcript" | untimed >"$work/transcript.native"
program "$bin/tarvik$exe" <"$transcript" | untimed >"$work/transcript.$target"
sed 's/$/\r/' "$transcript" >"$work/transcript-crlf.uci"
program "$bin/tarvik$exe" <"$work/transcript-crlf.uci" | untimed >"$work/transcript-crlf.$target"
for out in "$work/transcript.$target" "$work/transcript-crlf.$target"; do
    diff -u "$work/transcript.native" "$out" >"$out.diff" ||
        fail "transcript differs from the native engine's:"$'\n'"$(cat "$out.diff")"
done
grep -q '^uciok$' "$work/transcript.native" || fail "the native transcript has no handshake"

# 5. A GUI keeps the engine's input open and waits for each answer: the
#    handshake must come while no more input has arrived.
awaits() {
    local want=$1 line
    while IFS= read -r -t 60 line <&"${ENGINE[0]}"; do
        [ "${line%$'\r'}" = "$want" ] && return 0
    done
    return 1
}
coproc ENGINE { "${run[@]}" "$bin/tarvik$exe" 2>>"$work/stderr.log"; }
echo uci >&"${ENGINE[1]}"
awaits uciok || fail "no uciok while the input stays open"
echo isready >&"${ENGINE[1]}"
awaits readyok || fail "no readyok while the input stays open"
echo quit >&"${ENGINE[1]}"
engine_pid=$ENGINE_PID
eval "exec ${ENGINE[1]}>&-"
wait "$engine_pid" || fail "the engine did not end cleanly on quit"

# 6. The deepest search line on the main thread's stack.
deep=$(program "$deepline" | tail -n 1) || true
[ "$deep" = "stack ok" ] || fail "deep search line: ${deep:-crashed}"

if [ "$failures" -ne 0 ]; then
    echo "[$target] $failures check(s) failed; emulator messages in $work/stderr.log"
    exit 1
fi
echo "[$target] perft, bench signature, $expected, transcript, live handshake and deep line ok ($((SECONDS - start)) s)"
