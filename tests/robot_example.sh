#!/usr/bin/env bash
# Runs examples/robot against the virtual brick on a pseudo-terminal and checks its exit code,
# what it prints and the log it leaves. Usage: robot_example.sh BRICKSIM ROBOT
set -euo pipefail
bricksim=$1
robot=$2
work="$(mktemp -d /tmp/robot-XXXXXX)"
# The figures below are those of a world that moves 10 ms per telegram and nothing more: no
# link time on top.
"$bricksim" --step 10 --link-model none --link "$work/link" >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$work/link" ] && break; sleep 0.1; done

cd "$work"
set +e
out="$("$robot" "$work/link")"
rc=$?
set -e
printf '%s\n' "$out"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$rc" -eq 0 ] || fail "exit code $rc"

# What the simulated robot reports with its clock stepped 10 ms per telegram: the motors turn
# the robot on the spot, the sonar sees the arena wall, the floor under the light and colour
# sensor is white. The right wheel floats before its limited run: it coasts as bricksim models
# coasting (docs/virtual-brick.md, Motors).
expected="brick NXT
battery-mV 9000
rotation-left 15
rotation-right -15
rotation-left 40
rotation-right -53
touch 0
ultrasonic-cm 64
light-active 60
light-inactive 38
sound-db 15
sound-dba 15
color-full 6
color-red 94
color-green 94
color-blue 94
color-none 40
color-red 94
done"
[ "$out" = "$expected" ] || fail "unexpected output; wanted:
$expected"

logs=(*robot*.log)
[ "${#logs[@]}" -eq 1 ] && [ -f "${logs[0]}" ] || fail "no log file"
grep -Eq '^[0-9]{2}/[0-9]{2}/[0-9]{4}-[0-9]{2}:[0-9]{2}:[0-9]{2}  1 ultrasonic-cm 64$' "${logs[0]}" ||
  fail "log lacks the ultrasonic reading"
[ "$(tail -n 1 "${logs[0]}" | cut -c20-)" = "  0 done" ] || fail "log does not end with done"
[ "$(wc -l < "${logs[0]}")" -eq 18 ] || fail "log has $(wc -l < "${logs[0]}") lines, not 18"
