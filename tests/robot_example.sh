#!/usr/bin/env bash
# Runs examples/robot against the virtual brick on a pseudo-terminal and checks its exit code,
# what it prints and the log it leaves. Usage: robot_example.sh BRICKSIM ROBOT
set -euo pipefail
bricksim=$1
robot=$2
work="$(mktemp -d /tmp/robot-XXXXXX)"
"$bricksim" --link "$work/link" >/dev/null &
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

# What the virtual brick reports: its name and battery, motors that do not turn (it has no
# world attached), sensors at rest, and no ultrasonic echo.
expected="brick NXT
battery-mV 9000
rotation-left 0
rotation-right 0
rotation-left 0
rotation-right 0
touch 0
ultrasonic-cm 255
light-active 0
light-inactive 0
sound-db 0
sound-dba 0
color-full 0
color-red 0
color-green 0
color-blue 0
color-none 0
color-red 0
done"
[ "$out" = "$expected" ] || fail "unexpected output; wanted:
$expected"

logs=(*robot*.log)
[ "${#logs[@]}" -eq 1 ] && [ -f "${logs[0]}" ] || fail "no log file"
grep -Eq '^[0-9]{2}/[0-9]{2}/[0-9]{4}-[0-9]{2}:[0-9]{2}:[0-9]{2}  1 ultrasonic-cm 255$' "${logs[0]}" ||
  fail "log lacks the ultrasonic reading"
[ "$(tail -n 1 "${logs[0]}" | cut -c20-)" = "  0 done" ] || fail "log does not end with done"
[ "$(wc -l < "${logs[0]}")" -eq 18 ] || fail "log has $(wc -l < "${logs[0]}") lines, not 18"
