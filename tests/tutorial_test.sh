#!/usr/bin/env bash
# The tutorial's programs, as docs/tutorial.md shows them, against the virtual robot in its
# arena: every code block is the file in examples/tutorial/ it names; each program, Prolog and
# C++, runs to its end on the stepped clock and prints what the tutorial says it prints; and each
# runs in real time too, as users run it, over the USB and the Bluetooth link model (and none).
#   tutorial_test.sh BRICKSIM TUTORIAL_MD EXAMPLES_DIR CPP_BIN_DIR LIBRARY_DIR FOREIGN_DIR
#                    [STEP [CLOCK...]]
# With STEP, only that step's programs run, on each CLOCK given ("stepped", or a link model:
# "usb", "bluetooth", "none"; all four by default), so that steps and clocks can run side by side
# as tests of their own; without it, only the checks of the tutorial's text against the sources.
set -euo pipefail
bricksim="$1" doc="$2" sources="$3" bin="$4" library="$5" foreign="$6" only="${7:-}"
clocks=("${@:8}")
[ "${#clocks[@]}" -gt 0 ] || clocks=(stepped usb bluetooth none)
on() { [[ " ${clocks[*]} " == *" $1 "* ]]; }  # on CLOCK: whether this run takes that clock
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=SCRIPTDIR/realtime.sh
source "$here/realtime.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Each block whose first line is "% tutorial/NAME" or "// tutorial/NAME" goes to doc/NAME; the
# block after a line "It prints..." goes to prints/STEP, STEP being the last program's name.
mkdir "$work/doc" "$work/prints"
awk -v out="$work/doc" -v prints="$work/prints" '
  /^```/ { if (inb) { inb = 0; if (file != "") close(file); file = "" } else { inb = 1; first = 1 }
           next }
  !inb && /^It prints/ { printing = 1 }
  inb && first { first = 0
    if (match($0, /^(%|\/\/) tutorial\/[a-z]+\.(pl|cpp)/)) {
      name = $0; sub(/^(%|\/\/) tutorial\//, "", name); sub(/:.*$/, "", name)
      file = out "/" name; step = name; sub(/\..*$/, "", step)
    } else if (printing) { printing = 0; file = prints "/" step } }
  inb && file != "" { print > file }
' "$doc"
diff -r "$sources" "$work/doc" || { echo "FAIL: docs/tutorial.md and $sources differ"; exit 1; }

# What each step prints (an extended regular expression for its key line), and how it runs in
# real time. A short real-time run starts the robot where it meets at once what the program
# reacts to (x y heading, "-" for the arena's own start): avoid facing the wall 15 cm away, robot
# with its light spot on the line, follow 53 cm from a wall (its first reading only says which
# side of the threshold the distance starts on); and it takes that many steps over USB and over
# Bluetooth (60 ms a round trip), a few seconds each; with no link time, as many as over USB. bricksim's
# summary then shows that the robot moved, stood still, or the line given.
#   step | key line | real-time start | steps, USB | steps, Bluetooth | summary
steps="
beep  | ^beep; battery [0-9]+ mV\$             | -         | -   | -  | ^tone: 440 Hz, 200 ms
drive | ^left wheel at [0-9]+ degrees\$        | -         | -   | -  | moved
sense | ^bumper 0, wall [0-9]+ cm ahead\$      | -         | -   | -  | still
avoid | ^wall [0-9]+ cm ahead, turning away\$  | 25 45 180 | 20  | 8  | moved
robot | ^found the line\$                      | 93 45 0   | 100 | 10 | moved
square | ^back where it began: -?[0-9]+ cm, -?[0-9]+ cm, heading -?[0-9]+\$ | - | - | - | moved
follow | ^a wall within 25 cm, turning left\$ | 60 45 180 | 1 | 1 | moved
"
trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }

command_for() {  # command_for PROGRAM: how to run it, one word a line
  case "$1" in
    *.pl) printf '%s\n' swipl -p library="$library" -p foreign="$foreign" "$1" ;;
    *.cpp) echo "$bin/$(basename "$1" .cpp)" ;;
  esac
}

stepped() {  # stepped KEY COMMAND...: against a fresh bricksim on its stepped clock
  local key="$1"
  shift
  local link="$work/brick.$RANDOM"
  "$bricksim" --step 10 --link "$link" >"$work/sim.out" &
  local sim=$!
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
  local rc=0
  timeout 60 "$@" "$link" >"$work/out" 2>&1 || rc=$?
  kill -TERM "$sim"
  wait "$sim" || true
  if [ "$rc" -ne 0 ] || ! grep -Eq "$key" "$work/out"; then
    echo "FAIL: $* (exit $rc) did not print \"$key\":"
    cat "$work/out"
    exit 1
  fi
  echo "ok: $(basename "${*: -1}") (stepped): $(grep -Em1 "$key" "$work/out")"
}

seen=0 ran=0
while IFS='|' read -r step key start usb bluetooth summary; do
  step="$(trim "$step")"
  [ -n "$step" ] || continue
  key="$(trim "$key")" start="$(trim "$start")" usb="$(trim "$usb")"
  bluetooth="$(trim "$bluetooth")" summary="$(trim "$summary")"
  seen=$((seen + 1))
  # What the tutorial says it prints: the Prolog program prints every line of it (but "...").
  [ -s "$work/prints/$step" ] || { echo "FAIL: no \"It prints\" block for step $step"; exit 1; }
  grep -Eq "$key" "$work/prints/$step" ||
    { echo "FAIL: the tutorial's $step prints no line like \"$key\""; exit 1; }
  [ "$step" = "$only" ] || continue
  ran=1
  for program in "$sources/$step.pl" "$sources/$step.cpp"; do
    on stepped || break
    mapfile -t command < <(command_for "$program")
    stepped "$key" "${command[@]}"
    if [[ "$program" == *.pl ]]; then
      while IFS= read -r line; do
        [ "$line" = "..." ] || grep -Fxq -- "$line" "$work/out" ||
          { echo "FAIL: $step.pl did not print \"$line\", as the tutorial says"; exit 1; }
      done <"$work/prints/$step"
    fi
  done
  realtime_sim_args=()
  if [ "$start" != "-" ]; then
    "$bricksim" --print-world | sed "s/^robot .*/robot $start/" >"$work/$step.world"
    grep -q "^robot $start\$" "$work/$step.world" || { echo "FAIL: no robot line to move"; exit 1; }
    realtime_sim_args=(--world "$work/$step.world")
  fi
  # And with no link time at all, as fast as the host asks: a wait that counts its polls
  # instead of pausing between them gives up there while the wheel still turns.
  for model in usb bluetooth none; do
    on "$model" || continue
    count="$usb"
    [ "$model" = bluetooth ] && count="$bluetooth"
    for program in "$sources/$step.pl" "$sources/$step.cpp"; do
      mapfile -t command < <(command_for "$program")
      if [ "$count" = "-" ]; then
        realtime_run "$bricksim" "$model" "$key" "$summary" "${command[@]}"
      else
        realtime_run "$bricksim" "$model" "$key" "$summary" "${command[@]}" {} "$count"
      fi
    done
  done
done <<<"$steps"
[ "$seen" -eq "$(find "$sources" -name '*.pl' | wc -l)" ] ||
  { echo "FAIL: a program in $sources has no row in this test's table"; exit 1; }
[ -z "$only" ] || [ "$ran" -eq 1 ] || { echo "FAIL: no step $only in this test's table"; exit 1; }
echo "PASS"
