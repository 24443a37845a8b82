#!/usr/bin/env bash
# The example programs, and the README's wall-avoiding robot as the README shows it, against
# bricksim in real time as users run them, over the USB and the Bluetooth link model: each runs
# briefly to its end, prints no error and no failed reading, prints its key line, and the robot
# does what the program tells it (tests/realtime.sh says how, without timing anything).
#   examples_realtime_test.sh BRICKSIM EXAMPLES_BIN EXAMPLES_DIR LIBRARY_DIR FOREIGN_DIR README
set -euo pipefail
bricksim="$1" bin="$2" sources="$3" library="$4" foreign="$5" readme="$6"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=SCRIPTDIR/realtime.sh
source "$here/realtime.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"  # robot keeps its log in the working directory
swipl=(swipl -p library="$library" -p foreign="$foreign")

# The README's goal, from "?- with_brick('/tmp/brick', B," to the line that ends it, run as it
# stands but for the device and, to keep the run short, its number of steps.
awk '/^\?- with_brick\(.\/tmp\/brick., B,/ { on = 1; sub(/^\?- /, "") }
     on { print; if (/\)\)\.$/) exit }' "$readme" >readme.goal
grep -q 'between(1, 300, _)' readme.goal || { echo "FAIL: no wall-avoiding goal in $readme"; exit 1; }
readme_goal() {  # readme_goal STEPS
  sed -e "s|'/tmp/brick'|'{}'|" -e "s/between(1, 300, _)/between(1, $1, _)/" -e '$s/\.$//' \
    readme.goal
}

# A short run: the explorers take a number of steps, the README's goal a count in its loop, over
# Bluetooth (60 ms a round trip) fewer. The README's robot starts facing the wall 15 cm away
# (x y heading; "-" for the arena's own start), so that it turns away at once.
#   program | steps, USB | Bluetooth | start | key line | failed readings (";" between) | summary
programs="
explore.cpp | 40  | 5 | -         | ^done:       | sonar -1 cm;light -1,      | moved;^tone: 880 Hz, 300 ms
explore.pl  | 40  | 5 | -         | ^done:       | -                          | moved;^tone: 880 Hz, 300 ms
robot.cpp   | -   | - | -         | ^done\$      | ^[^r][a-z-]* -1\$          | moved;^tone: 440 Hz, 100 ms
drive.cpp   | -   | - | -         | ^touch reads | touch reads -1;battery -1  | moved;^tone: 440 Hz, 200 ms
sonar_log.cpp | 20 | 5 | -        | ^time_ms,distance_cm\$ | ^[0-9]+,0\$          | still
avoid_walls.cpp | 20 | 8 | 25 45 180 | ^wall [0-9]+ cm ahead, turning away\$ | - | moved
README      | 100 | 8 | 25 45 180 | -            | -                          | moved
"
trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }

realtime_output="$work/out"
while IFS='|' read -r program usb bluetooth start key invalid summary; do
  program="$(trim "$program")"
  [ -n "$program" ] || continue
  usb="$(trim "$usb")" bluetooth="$(trim "$bluetooth")" start="$(trim "$start")"
  key="$(trim "$key")" invalid="$(trim "$invalid")" summary="$(trim "$summary")"
  realtime_sim_args=()
  if [ "$start" != "-" ]; then
    "$bricksim" --print-world | sed "s/^robot .*/robot $start/" >start.world
    grep -q "^robot $start\$" start.world || { echo "FAIL: no robot line to move"; exit 1; }
    realtime_sim_args=(--world "$work/start.world")
  fi
  for model in usb bluetooth; do
    count="$usb"
    [ "$model" = bluetooth ] && count="$bluetooth"
    steps=()
    [ "$count" = "-" ] || steps=({} "$count")
    realtime_label=""
    case "$program" in
      README)
        realtime_label="README's robot, $count steps"
        realtime_run "$bricksim" "$model" "$key" "$summary" "${swipl[@]}" \
          -g "use_module(library(brick)), $(readme_goal "$count")" -t halt
        ;;
      *.pl) realtime_run "$bricksim" "$model" "$key" "$summary" "${swipl[@]}" \
        "$sources/$program" "${steps[@]}" ;;
      *.cpp) realtime_run "$bricksim" "$model" "$key" "$summary" "$bin/${program%.cpp}" \
        "${steps[@]}" ;;
    esac
    IFS=';' read -ra failed <<<"$invalid"
    for pattern in "${failed[@]}"; do
      if [ "$pattern" != "-" ] && grep -Eq -- "$pattern" "$work/out"; then
        echo "FAIL: $program ($model) printed a failed reading:"
        cat "$work/out"
        exit 1
      fi
    done
  done
done <<<"$programs"
echo "PASS"
