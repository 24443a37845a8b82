#!/usr/bin/env bash
# The live page in headless chromium against bricksim in real time (no --step), as a user runs
# `bricksim --view`: the page shows the robot, follows it while a client drives it over the
# pseudo-terminal, plots the motors' powers and rotation counts as they change, and its Pause
# button, clicked in the page, holds the world's time still while the client goes on talking to
# the brick; Resume lets it run on. The browser is driven as tests/browser.sh says.
#   view_page_realtime_test.sh BRICKSIM BRICK
set -euo pipefail
bricksim="$1"
brick="$2"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=SCRIPTDIR/browser.sh
source "$here/browser.sh"
browser="$(command -v chromium || true)"
if [ -z "$browser" ]; then
  echo "chromium is not installed (scripts/deps installs it with the test packages)" >&2
  exit 1
fi
work="$(mktemp -d)"
sim="" client=""
cleanup() {
  [ -n "$client" ] && kill "$client" 2>/dev/null && wait "$client" 2>/dev/null
  browser_close
  [ -n "$sim" ] && kill -TERM "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$bricksim" --view 0 --link "$work/brick" >"$work/out" 2>"$work/err" &
sim=$!
for _ in $(seq 100); do grep -q '^view: ' "$work/out" 2>/dev/null && break; sleep 0.1; done
url="$(sed -n 's/^view: //p' "$work/out")"
[ -n "$url" ] || { cat "$work/err" >&2; fail "bricksim printed no address"; }

browser_open "$url"
# The robot as the page draws it now: place, heading and world time.
drawn='(() => { const r = document.getElementById("robot-now");
  return r ? [r.dataset.x, r.dataset.y, r.dataset.heading, r.dataset.time].join(" ") : ""; })()'
status='document.getElementById("status").textContent'
world_time() { curl -sf "${url}state.json" | jq -r .frame.t; }

until_page "document.getElementById(\"robot-now\") !== null && $status.startsWith(\"live\")" \
  "the robot, live"
in_page "$drawn"
start="$value"

# A client at work on the link all along: the wheels set to turn the robot in a tight circle,
# clear of every wall, then battery readings until told to stop.
"$brick" --device "$work/brick" motor B 30 >/dev/null
"$brick" --device "$work/brick" motor C -20 >/dev/null
(
  while [ ! -e "$work/stop" ]; do
    "$brick" --device "$work/brick" battery >>"$work/readings" 2>&1 || echo "exit $?" >>"$work/readings"
  done
) &
client=$!

until_page "$drawn !== $start" "the robot moving"
# The plots follow the motors: the powers as set, motor B's count moving on.
plot='(id) => document.getElementById(id).dataset'
until_page "($plot)(\"plot-power\").last === \"0 30 -20\"" "the motors' powers plotted"
until_page "Number(($plot)(\"plot-count\").points) > 2 &&
  ($plot)(\"plot-count\").last.split(\" \")[1] > 0" "motor B's rotation count plotted"
until_page 'document.getElementById("trace").textContent.includes("GETBATTERYLEVEL")' \
  "the client's telegrams in the trace"

# Pause, from the page: the world's time stands still while the client keeps reading.
in_page 'document.getElementById("pause").click(), true'
until_page "$status.startsWith(\"paused\") && document.getElementById(\"pause\").textContent === \"Resume\"" \
  "itself paused"
held="$(world_time)"
readings="$(wc -l <"$work/readings")"
for _ in $(seq 300); do [ "$(wc -l <"$work/readings")" -ge $((readings + 3)) ] && break; sleep 0.1; done
[ "$(wc -l <"$work/readings")" -ge $((readings + 3)) ] || fail "the client got no readings while paused"
[ "$(world_time)" = "$held" ] || fail "the world's time moved while paused ($held, then $(world_time))"
in_page "$drawn"
paused_at="$value"
sleep 0.3
in_page "$drawn"
[ "$value" = "$paused_at" ] || fail "the drawn robot moved while paused"

# Resume: the world runs on, and the page follows it.
in_page 'document.getElementById("pause").click(), true'
until_page "$status.startsWith(\"live\")" "itself live again"
until_page "$drawn !== $paused_at" "the robot moving again"
awk -v a="$(world_time)" -v b="$held" 'BEGIN { exit !(a > b) }' || fail "the world's time did not move on"

touch "$work/stop"
wait "$client"
client=""
bad="$(grep -cv '^[0-9]\+ mV$' "$work/readings" || true)"
[ "$bad" -eq 0 ] || { cat "$work/readings" >&2; fail "$bad readings were not a battery level"; }

kill -TERM "$sim"
rc=0
wait "$sim" || rc=$?
sim=""
[ "$rc" -eq 0 ] || { cat "$work/err" >&2; fail "bricksim ended with $rc"; }
grep -q '^path: ' "$work/out" || fail "no summary: $(cat "$work/out")"
echo "real-time page: drew the robot moving, paused and resumed it; $(wc -l <"$work/readings") readings, all valid"
