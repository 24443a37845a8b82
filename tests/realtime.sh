# shellcheck shell=bash
# Sourced by the tests that run programs against bricksim in real time, as users run them:
#   realtime_run BRICKSIM MODEL KEY MOVES COMMAND...
# starts bricksim without --step under --link-model MODEL, runs COMMAND with {} replaced by the
# brick's device (or the device added last), and stops bricksim once the program has ended.
# Nothing here depends on how fast the machine is: the program passes when it runs to its end
# (exit 0; the time-out only catches a hang), prints no error, prints a line matching KEY (an
# extended regular expression), and bricksim's summary shows that it did what it should: MOVES
# is "moved" (the robot drove or turned), "still" (it did not), or a line of the summary to
# find (e.g. "^tone: 440 Hz"), or several of these separated by ";". KEY "-": the program need
# print nothing. Set before the call: realtime_sim_args, more arguments for bricksim (e.g.
# --world FILE); realtime_label, what to call the program instead of its name; and
# realtime_output, a file to keep what it printed in, for more checks.
realtime_sim_args=()
realtime_label=""
realtime_output=""
realtime_run() {
  local bricksim="$1" model="$2" key="$3" moves="$4"
  shift 4
  local dir
  dir="$(mktemp -d)"
  local link="$dir/brick" args=() placed=0 arg
  for arg in "$@"; do
    [[ "$arg" == *"{}"* ]] && placed=1
    args+=("${arg//\{\}/$link}")
  done
  [ "$placed" -eq 1 ] || args+=("$link")
  "$bricksim" "${realtime_sim_args[@]}" --link-model "$model" --link "$link" >"$dir/sim.out" 2>"$dir/sim.err" &
  local sim=$!
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
  local rc=0
  timeout 120 "${args[@]}" >"$dir/out" 2>&1 || rc=$?
  kill -TERM "$sim"
  wait "$sim" || true
  # Named by the program (the .pl file swipl runs, or the executable) and what follows the device.
  local what="" after=0 problem="" a
  for arg in "${args[@]}"; do
    if [ "$arg" = "$link" ]; then
      after=1
    elif [ "$after" -eq 1 ]; then
      what+=" $arg"
    fi
  done
  arg="$1"
  for a in "$@"; do [[ "$a" == *.pl ]] && arg="$a" && break; done
  what="${realtime_label:-${arg##*/}}$what ($model)"
  [ -z "$realtime_output" ] || cp "$dir/out" "$realtime_output"
  if [ "$rc" -ne 0 ]; then
    problem="exit code $rc"
  elif grep -Eiq 'error|warning|does not answer|cannot|refused|lost the brick' "$dir/out"; then
    problem="an error printed"
  elif [ "$key" != "-" ] && ! grep -Eq "$key" "$dir/out"; then
    problem="no line matches \"$key\""
  else
    # path: T s, D cm driven, from (X, Y) heading H to (X, Y) heading H
    local moved check checks
    moved="$(awk '/^path:/ { moved = ($4 + 0 > 0 || $11 + 0 != $16 + 0) ? "moved" : "still" }
                  END { print moved }' "$dir/sim.out")"
    IFS=';' read -ra checks <<<"$moves"
    for check in "${checks[@]}"; do
      case "$check" in
        moved | still) [ "$moved" = "$check" ] || problem="the robot $moved, not $check" ;;
        *) grep -Eq "$check" "$dir/sim.out" || problem="bricksim's summary lacks \"$check\"" ;;
      esac
    done
  fi
  if [ -n "$problem" ]; then
    echo "FAIL: $what: $problem; it printed:"
    cat "$dir/out"
    echo "bricksim:"
    cat "$dir/sim.out" "$dir/sim.err"
    rm -rf "$dir"
    return 1
  fi
  local said=""
  [ "$key" = "-" ] || said="$(grep -Em1 "$key" "$dir/out")"
  echo "ok: $what: $said | $(grep -m1 '^path:' "$dir/sim.out")"
  rm -rf "$dir"
}
