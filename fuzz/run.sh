#!/bin/sh
# Runs each fuzz target for a bounded time from a scratch copy of its seed
# corpus (the committed seeds stay as they are); any finding fails the run.
set -eu
bin_dir=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
for target in fuzz_position fuzz_uci; do
    max_len=4096
    [ "$target" = fuzz_uci ] && max_len=12000
    mkdir -p "$work/$target"
    echo "== $target: $seconds s"
    if ! "$bin_dir/$target" -max_total_time="$seconds" -timeout=25 -max_len=$max_len -print_final_stats=1 \
        -artifact_prefix="$work/$target-" "$work/$target" "$here/corpus/$target" >"$work/$target.log" 2>&1; then
        tail -n 60 "$work/$target.log"
        for crash in "$work/$target"-*; do
            [ -e "$crash" ] || continue
            echo "-- finding $crash:"
            od -c "$crash" | head -n 20
        done
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
    grep -E '^(stat::|Done|#[0-9]+.*DONE)' "$work/$target.log" || true
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
