#!/usr/bin/env bash
# `brick dashboard` against bricksim in real time, over the USB and the Bluetooth link model,
# driven in headless chromium as a user drives it (tests/browser.sh): the page shows the
# brick's readings and plots them, shows its screen, its forward buttons start motors B and C and the virtual
# robot drives (bricksim's own state says so), its stop buttons brake them, and the dashboard
# ends cleanly on SIGTERM. Nothing is timed: each step waits for what it should see, with a
# bound only against a hang.
#   dashboard_page_test.sh BRICKSIM BRICK
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
top="$(mktemp -d)"
work="" sim="" dash=""
stop_all() {
  browser_close
  [ -n "$dash" ] && kill -TERM "$dash" 2>/dev/null && wait "$dash" 2>/dev/null
  [ -n "$sim" ] && kill -TERM "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  dash="" sim=""
}
trap 'stop_all; rm -rf "$top"' EXIT
fail() {
  echo "FAIL ($model): $*" >&2
  [ -z "$work" ] || cat "$work"/*.out "$work"/*.err >&2 2>/dev/null || true
  exit 1
}
# until_sim JQ WHAT: waits until bricksim's state satisfies JQ.
until_sim() {
  for _ in $(seq 300); do
    [ "$(curl -sf "${view}state.json" | jq -r "$1")" = true ] && return 0
    sleep 0.1
  done
  fail "bricksim never showed $2: $(curl -sf "${view}state.json" | jq -c .frame)"
}

for model in usb bluetooth; do
  work="$top/$model"
  mkdir "$work"
  "$bricksim" --link-model "$model" --view 0 --link "$work/brick" >"$work/sim.out" 2>"$work/sim.err" &
  sim=$!
  for _ in $(seq 100); do grep -q '^view: ' "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
  view="$(sed -n 's/^view: //p' "$work/sim.out")"
  [ -n "$view" ] || fail "bricksim printed no address"
  "$brick" --device "$work/brick" dashboard --port 0 >"$work/dash.out" 2>"$work/dash.err" &
  dash=$!
  for _ in $(seq 100); do grep -q '^dashboard: ' "$work/dash.out" 2>/dev/null && break; sleep 0.1; done
  url="$(sed -n 's/^dashboard: \([^ ]*\).*/\1/p' "$work/dash.out")"
  [ -n "$url" ] || fail "brick dashboard printed no address"

  browser_open "$url"
  plot='(id) => document.getElementById(id).dataset'
  until_page "Number(document.body.dataset.updates) > 2 && Number(($plot)(\"plot-raw\").points) > 2 &&
    ($plot)(\"plot-raw\").last === \"1023 1023 1023 1023\"" "the readings plotted"
  until_page 'document.querySelector("#screen img") !== null &&
    document.querySelector("#screen img").naturalWidth === 100' "the brick's screen"
  start="$(curl -sf "${view}state.json" | jq -c '[.frame.x, .frame.y]')"

  in_page 'document.getElementById("B-forward").click(), document.getElementById("C-forward").click(), true'
  until_sim '.frame.power == [0, 75, 75]' "motors B and C at the page's power"
  until_sim ".frame.d > 1 and ([.frame.x, .frame.y] != $start)" "the robot driving"
  until_page "($plot)(\"plot-power\").last === \"0 75 75\" &&
    ($plot)(\"plot-count\").last.split(\" \")[1] > 0" "the motors' power and counts plotted"

  in_page 'document.getElementById("B-stop").click(), document.getElementById("C-stop").click(), true'
  until_sim '.frame.power == [0, 0, 0]' "the motors stopped"
  until_page 'document.getElementById("status").textContent.startsWith("motor")' "a command done"

  browser_close
  kill -TERM "$dash"
  rc=0
  wait "$dash" || rc=$?
  dash=""
  [ "$rc" -eq 0 ] || fail "brick dashboard ended with $rc"
  ! grep -q . "$work/dash.err" || fail "brick dashboard printed an error"
  echo "ok ($model): page plotted the readings; its buttons drove the robot from $start to" \
    "$(curl -sf "${view}state.json" | jq -c '[.frame.x, .frame.y]') and stopped it"
  stop_all
  exec 5>&- 6<&-
done
