#!/usr/bin/env bash
# End-to-end games: the engine plays fairymax through xboard (headless) and polyglot.
#
# Usage:
#   tests/e2e/xboard_games.sh [options] ENGINE_PATH [GAMES] [OUTDIR]
# Options (each also settable by the environment variable in brackets):
#   --games N          games to play, colours alternating, engine White first   [E2E_GAMES, 4]
#   --tc MIN:SEC       base time per side, xboard -tc format                     [E2E_TC, 0:05]
#   --inc SEC          increment per move, fractions allowed (polyglot passes the [E2E_INC, 1]
#                      engine only its whole seconds as winc/binc; the clocks get all of it)
#   --max-moves N      xboard adjudicates a draw after N moves, bounding a game  [E2E_MAX_MOVES, 150]
#   --game-timeout S   wall-clock limit per game; default derived from the above [E2E_GAME_TIMEOUT]
#   --uci NAME=VALUE   UCI option passed to the engine through polyglot (repeatable)
#   --outdir DIR       where PGNs and logs go                                    [E2E_OUTDIR, build/e2e-logs]
# Examples:
#   tests/e2e/xboard_games.sh build/release/tarvik
#   tests/e2e/xboard_games.sh --games 20 --tc 0:10 --inc 0.1 build/release/tarvik
#
# Each game runs in its own xboard process under xvfb-run and timeout, so a hung or crashed
# game is reported and the next one still starts clean. The run fails when the engine plays
# an illegal move, loses on time, crashes, quits or exits badly, or a game does not finish;
# results themselves are not judged. A game fairymax forfeits on time tested nothing and is
# played again, up to twice; only a game that never ends cleanly fails the run. Every game
# leaves OUTDIR/game-N/ (the last attempt; earlier ones in game-N.attempt-K/) with game.pgn,
# polyglot.log (the UCI conversation), xboard.debug (everything xboard saw) and xboard.out.
# Needs xboard, polyglot, fairymax, xvfb and xauth: see install_deps.sh next to this file.
# fairymax.sh next to this file is the opponent; FAIRYMAX=/path overrides the binary it runs.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
games="${E2E_GAMES:-4}"
tc="${E2E_TC:-0:05}"
inc="${E2E_INC:-1}"
max_moves="${E2E_MAX_MOVES:-150}"
game_timeout="${E2E_GAME_TIMEOUT:-}"
outdir="${E2E_OUTDIR:-$here/../../build/e2e-logs}"
uci_opts=()
positional=()

die() { echo "xboard_games: $*" >&2; exit 2; }

while (($#)); do
    case "$1" in
        --games) games="${2:?}"; shift 2 ;;
        --tc) tc="${2:?}"; shift 2 ;;
        --inc) inc="${2:?}"; shift 2 ;;
        --max-moves) max_moves="${2:?}"; shift 2 ;;
        --game-timeout) game_timeout="${2:?}"; shift 2 ;;
        --uci) uci_opts+=("${2:?}"); shift 2 ;;
        --outdir) outdir="${2:?}"; shift 2 ;;
        -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        -*) die "unknown option $1" ;;
        *) positional+=("$1"); shift ;;
    esac
done
((${#positional[@]} >= 1 && ${#positional[@]} <= 3)) || die "usage: $0 [options] ENGINE_PATH [GAMES] [OUTDIR]"
engine="${positional[0]}"
[[ ${#positional[@]} -ge 2 ]] && games="${positional[1]}"
[[ ${#positional[@]} -ge 3 ]] && outdir="${positional[2]}"

[[ -f "$engine" && -x "$engine" ]] || die "engine '$engine' is not an executable file"
engine="$(cd "$(dirname "$engine")" && pwd)/$(basename "$engine")"
# xboard splits engine commands on blanks; a path with them would start the wrong program.
[[ "$engine" != *[[:space:]]* ]] || die "engine path '$engine' contains blanks"
[[ "$games" =~ ^[1-9][0-9]*$ ]] || die "GAMES must be a positive integer, got '$games'"
[[ "$tc" =~ ^[0-9]+(:[0-9]{1,2})?$ ]] || die "--tc takes MIN or MIN:SEC, got '$tc'"
[[ "$inc" =~ ^[0-9]+(\.[0-9]+)?$ ]] || die "--inc takes seconds, got '$inc'"
[[ "$max_moves" =~ ^[1-9][0-9]*$ ]] || die "--max-moves must be a positive integer"

export PATH="$PATH:/usr/games"
for tool in xboard polyglot fairymax xvfb-run xauth timeout; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool not found: run tests/e2e/install_deps.sh"
done

# Worst case for one game: both clocks fully spent over max_moves moves, plus start-up slack.
if [[ -z "$game_timeout" ]]; then
    base_s=$(awk -v t="$tc" 'BEGIN { n = split(t, p, ":"); print (n == 2 ? p[1] * 60 + p[2] : p[1] * 60) }')
    game_timeout=$(awk -v b="$base_s" -v i="$inc" -v m="$max_moves" 'BEGIN { printf "%d", 2 * (b + m * i) + 60 }')
fi
[[ "$game_timeout" =~ ^[1-9][0-9]*$ ]] || die "--game-timeout must be a positive integer"

mkdir -p "$outdir" || die "cannot create $outdir"
outdir="$(cd "$outdir" && pwd)"
[[ "$outdir" != *[[:space:]]* ]] || die "output directory '$outdir' contains blanks"
rm -rf "$outdir"/game-*

polyglot_extra=""
for opt in "${uci_opts[@]}"; do
    [[ "$opt" == *=* && "$opt" != *\"* ]] || die "--uci takes NAME=VALUE without quotes, got '$opt'"
    polyglot_extra+=" -uci \"$opt\""
done

echo "xboard_games: $games game(s) of $engine vs fairymax, tc $tc+$inc, max $max_moves moves, ${game_timeout}s per game, logs in $outdir"

# Prints the reasons a game (engine colour $1, directory $2, exit status $3) failed; none if it passed.
game_problems() {
    local colour="$1" dir="$2" status="$3"
    local pgn="$dir/game.pgn" plog="$dir/polyglot.log"
    if [[ "$status" == 124 || "$status" == 137 ]]; then
        echo "game did not finish within ${game_timeout}s (killed)"
    elif [[ "$status" != 0 ]]; then
        echo "xboard exited with status $status (see xboard.out)"
    fi

    local result="" comment=""
    if [[ -s "$pgn" ]]; then
        result=$(sed -n 's/^\[Result "\(.*\)"\]/\1/p' "$pgn" | tail -n 1)
        # The termination comment is the last {...} before the result at the end of the movetext.
        comment=$(tr '\n' ' ' <"$pgn" | grep -o '{[^{}]*} *\(1-0\|0-1\|1/2-1/2\|\*\) *$' | sed 's/^{\([^}]*\)}.*/\1/')
    fi
    case "$result" in
        1-0|0-1|1/2-1/2) ;;
        "") echo "no result in game.pgn: the game was not saved, so it never finished" ;;
        *) echo "game unfinished: result '$result' {$comment}" ;;
    esac

    local lost=0
    [[ ("$colour" == White && "$result" == 0-1) || ("$colour" == Black && "$result" == 1-0) ]] && lost=1
    if grep -qi 'on time\|time forfeit\|flag' <<<"$comment"; then
        if ((lost)); then
            echo "engine lost on time: {$comment}"
        elif [[ "$result" != 1/2-1/2 ]]; then
            # A game fairymax forfeits (it crashed, or hung in a deep search) tested nothing.
            echo "$INCONCLUSIVE: opponent lost on time, so the game proves little: {$comment} (see xboard.debug)"
        fi
    fi
    # Polyglot resigns for an engine whose move it finds illegal; xboard's own check words it differently.
    if grep -qi 'illegal' <<<"$comment"; then
        echo "illegal move: {$comment}"
    elif grep -qi 'illegal engine move' "$plog" 2>/dev/null; then
        echo "illegal move: $(grep -m1 -i 'illegal engine move' "$plog")"
    fi

    if [[ ! -s "$plog" ]]; then
        echo "polyglot.log missing: the engine was never started"
        return
    fi
    # Polyglot logs EOF from the engine also after a normal "quit"; only an earlier one is a crash.
    local quit_line eof_line
    quit_line=$(grep -n -m1 '"quit" from GUI' "$plog" | cut -d: -f1)
    eof_line=$(grep -n -m1 'Engine->Adapter: EOF' "$plog" | cut -d: -f1)
    if [[ -n "$eof_line" && (-z "$quit_line" || "$eof_line" -lt "$quit_line") ]]; then
        echo "engine closed its output mid-game (EOF at polyglot.log:$eof_line): crash or exit"
    fi
    grep -m1 'terminated with signal' "$plog" | sed 's/^[0-9.]* *POLYGLOT */engine /'
    grep -m1 -i -E 'child exited with status [1-9]' "$plog" | sed 's/^[0-9.]* *POLYGLOT */engine: /'
    if [[ -z "$quit_line" ]]; then
        echo "polyglot stopped before xboard sent \"quit\""
    fi
    # A game the engine never moved in proves nothing about it.
    if ! grep -q '^[0-9.]* *Engine->Adapter: bestmove' "$plog"; then
        echo "engine never sent a bestmove"
    fi
}

# An interrupted run takes its current game down with it rather than leaving xboard playing on.
game_pid=""
stop_game() {
    [[ -n "$game_pid" ]] && kill -TERM -- "-$game_pid" 2>/dev/null && sleep 1 && kill -KILL -- "-$game_pid" 2>/dev/null
    echo "xboard_games: interrupted; logs so far in $outdir" >&2
    exit 130
}
trap stop_game INT TERM

# Plays game n into $dir; sets colour, status and secs.
play_game() {
    local n="$1"
    mkdir -p "$dir/home"
    # One opponent of each colour per pair of games: xboard's first engine takes White.
    adapter="polyglot -noini -log true -lf \"$dir/polyglot.log\"$polyglot_extra -ec \"%fcp\" -ed \"%fd\""
    if ((n % 2)); then
        colour=White
        players=(-fcp "$engine" -fd "$(dirname "$engine")" -fUCI -scp "$here/fairymax.sh")
    else
        colour=Black
        players=(-fcp "$here/fairymax.sh" -scp "$engine" -sd "$(dirname "$engine")" -sUCI)
    fi
    start=$(date +%s)
    # HOME points at a scratch dir so neither xboard's settings nor polyglot's per-engine ini
    # leak in from (or out to) the developer's own. -xponder keeps the 2 cores for the movers.
    (cd "$dir/home" && HOME="$dir/home" exec timeout -k 10 "$game_timeout" \
        xvfb-run -a -e "$dir/xvfb.err" xboard -noGUI \
        -matchGames 1 -tc "$tc" -inc "$inc" -xponder \
        -testLegality true -autoCallFlag true -adjudicateDrawMoves "$max_moves" \
        -saveGameFile "$dir/game.pgn" -debug -nameOfDebugFile "$dir/xboard.debug" \
        -adapterCommand "$adapter" "${players[@]}" \
        -saveSettingsOnExit false -popupExitMessage false -soundProgram true \
        >"$dir/xboard.out" 2>&1 </dev/null) &
    game_pid=$!
    wait "$game_pid"
    status=$?
    # timeout leads its own process group; whatever the game left running (an engine that
    # ignores EOF, an orphaned Xvfb) dies with it instead of haunting the next game.
    kill -KILL -- "-$game_pid" 2>/dev/null
    secs=$(($(date +%s) - start))
}

INCONCLUSIVE="inconclusive"
max_attempts=3
failed=0
for ((n = 1; n <= games; n++)); do
    for ((attempt = 1; attempt <= max_attempts; attempt++)); do
        dir="$outdir/game-$n"
        rm -rf "$dir"
        play_game "$n"
        problems=$(game_problems "$colour" "$dir" "$status")
        summary=$(grep -o '{[^{}]*} *\(1-0\|0-1\|1/2-1/2\|\*\) *$' <(tr '\n' ' ' <"$dir/game.pgn" 2>/dev/null) || true)
        # Only a game whose every problem is the opponent's forfeit is played again.
        if [[ -n "$problems" && $attempt -lt $max_attempts ]] && ! grep -qv "^$INCONCLUSIVE:" <<<"$problems"; then
            echo "game $n (engine $colour, ${secs}s): replayed ${summary}"
            sed 's/^/    /' <<<"$problems"
            rm -rf "$dir.attempt-$attempt"
            mv "$dir" "$dir.attempt-$attempt"
            continue
        fi
        break
    done
    if [[ -n "$problems" ]]; then
        failed=$((failed + 1))
        echo "game $n (engine $colour, ${secs}s): FAIL ${summary}"
        sed 's/^/    /' <<<"$problems"
        echo "    logs: $dir"
    else
        echo "game $n (engine $colour, ${secs}s): ok ${summary}"
    fi
done

passed=$((games - failed))
echo "xboard_games: $passed of $games games clean"
if ((failed)); then
    echo "xboard_games: FAILED; PGNs and logs kept in $outdir" >&2
    exit 1
fi
exit 0
