#!/usr/bin/env bash
# `brick read` of the typed sensors and `brick log` against bricksim in real time, over the USB
# and the Bluetooth link model, as users run them (tests/realtime.sh says how, without timing
# anything): the compass and the IR seeker read what the world implies, and a five-second log
# at 50 ms has its 100 rows, each value the one the brick's reply carried in bricksim's trace.
#   devices_realtime_test.sh BRICKSIM BRICK
set -euo pipefail
bricksim="$1" brick="$2"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=SCRIPTDIR/realtime.sh
source "$here/realtime.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The robot heads 30 degrees (60 clockwise from north), the beacon 30 degrees to its right.
cat >"$work/sensors.world" <<'WORLD'
arena 300 200
robot 50 100 30
device 1 ir-seeker
device 2 compass
device 4 gyro 605 0
beacon 150 103.5
WORLD
realtime_sim_args=(--world "$work/sensors.world" --trace "$work/trace")
failed=0
for model in usb bluetooth; do
  realtime_run "$bricksim" "$model" '^port 2 compass: 60 degrees$' still \
    "$brick" --device {} read 2 compass || failed=1
  realtime_run "$bricksim" "$model" '^port 1 ir-seeker: zone 6, strengths 0 0 [1-9][0-9]* [1-9]' \
    still "$brick" --device {} read 1 ir-seeker || failed=1
  # A compass asked for where the gyro is: refused (realtime_run's report of the failure is
  # what to look at).
  realtime_run "$bricksim" "$model" '^port 2 compass: 60 degrees$' still \
    "$brick" --device {} read 4 compass >"$work/refused" && failed=1
  grep -q "^brick: nothing answers at address 0x02 on port 4: is a HiTechnic compass plugged in" \
    "$work/refused" ||
    { echo "FAIL: compass on the gyro's port ($model):"; cat "$work/refused"; failed=1; }

  # The log: motor B turns the robot, the gyro on port 4 feels it.
  realtime_label="brick log 1 4 B"
  realtime_run "$bricksim" "$model" '^port 4 gyro' moved sh -c \
    "'$brick' --device {} read 4 gyro && '$brick' --device {} motor B 30 &&
     '$brick' --device {} log 1 4 B --every 50 --for 5 --csv '$work/log.csv'" || failed=1
  realtime_label=""
  rows="$(tail -n +2 "$work/log.csv" | wc -l)"
  [ "$(head -1 "$work/log.csv")" = "time_ms,port1,port4,motorB" ] && [ "$rows" -eq 100 ] ||
    { echo "FAIL: log ($model): $rows rows, header $(head -1 "$work/log.csv")"; failed=1; }
  # The values the brick's replies carried, the last 100 of each, as the log took them.
  awk '/^< .*reply GETINPUTVALUES SUCCESS port=0 / { for (i = 1; i <= NF; i++) if ($i ~ /^scaled=/) { sub(/scaled=/, "", $i); p1[n1++] = $i } }
       /^< .*reply GETINPUTVALUES SUCCESS port=3 / { for (i = 1; i <= NF; i++) if ($i ~ /^scaled=/) { sub(/scaled=/, "", $i); p4[n4++] = $i } }
       /^< .*reply GETOUTPUTSTATE SUCCESS port=1 / { for (i = 1; i <= NF; i++) if ($i ~ /^rotation=/) { sub(/rotation=/, "", $i); mb[nb++] = $i } }
       END { for (r = 0; r < 100; r++) print p1[n1 - 100 + r] "," p4[n4 - 100 + r] "," mb[nb - 100 + r] }' \
    "$work/trace" >"$work/replies"
  if ! diff <(tail -n +2 "$work/log.csv" | cut -d, -f2-) "$work/replies" >"$work/diff"; then
    echo "FAIL: log ($model): values differ from bricksim's trace:"
    head -20 "$work/diff"
    failed=1
  fi
  distinct="$(cut -d, -f4 "$work/log.csv" | sort -u | wc -l)"
  [ "$distinct" -gt 50 ] || { echo "FAIL: log ($model): motor B barely moved"; failed=1; }
  echo "ok: log ($model): 100 rows, values as in the trace, motor B at $(tail -1 "$work/log.csv" | cut -d, -f4) degrees"
done
exit "$failed"
