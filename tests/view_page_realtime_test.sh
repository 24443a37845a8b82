#!/usr/bin/env bash
# The live page in headless chromium against bricksim in real time (no --step), as a user runs
# `bricksim --view`: the page shows the robot, follows it while a client drives it over the
# pseudo-terminal, and its Pause button, clicked in the page, holds the world's time still
# while the client goes on talking to the brick; Resume lets it run on. The browser is driven
# over the DevTools protocol on a pipe (JSON messages ending in a NUL byte), which needs
# nothing beyond chromium and jq.
#   view_page_realtime_test.sh BRICKSIM BRICK
set -euo pipefail
bricksim="$1"
brick="$2"
browser="$(command -v chromium || true)"
if [ -z "$browser" ]; then
  echo "chromium is not installed (scripts/deps installs it with the test packages)" >&2
  exit 1
fi
work="$(mktemp -d)"
sim="" chrome="" client=""
cleanup() {
  [ -n "$client" ] && kill "$client" 2>/dev/null && wait "$client" 2>/dev/null
  [ -n "$chrome" ] && kill "$chrome" 2>/dev/null && wait "$chrome" 2>/dev/null
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

mkfifo "$work/to-browser" "$work/from-browser"
"$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --window-size=1280,860 --remote-debugging-pipe about:blank \
  3<"$work/to-browser" 4>"$work/from-browser" 2>"$work/chromium.err" &
chrome=$!
exec 5>"$work/to-browser" 6<"$work/from-browser"

# cdp METHOD PARAMS [SESSION]: sends one command and leaves its result in $answer, skipping the
# events the browser sends meanwhile.
sent=0
answer=""
cdp() {
  sent=$((sent + 1))
  jq -cnj --argjson id "$sent" --arg method "$1" --argjson params "$2" --arg session "${3:-}" \
    '{id: $id, method: $method, params: $params}
     + (if $session == "" then {} else {sessionId: $session} end)' >&5
  printf '\0' >&5
  local message
  while IFS= read -r -d '' -t 30 message <&6; do
    if [ "$(jq -r '.id // ""' <<<"$message")" = "$sent" ]; then
      answer="$(jq -c '.result // {"error": .error}' <<<"$message")"
      return 0
    fi
  done
  fail "chromium did not answer $1 (see $work/chromium.err)"
}
cdp Target.createTarget "$(jq -cn --arg url "$url" '{url: $url}')"
target="$(jq -r .targetId <<<"$answer")"
cdp Target.attachToTarget "$(jq -cn --arg t "$target" '{targetId: $t, flatten: true}')"
session="$(jq -r .sessionId <<<"$answer")"
[ -n "$session" ] && [ "$session" != null ] || fail "no session on the page: $answer"

# in_page EXPRESSION: its value in the page, as JSON, in $value. (Called in this shell, never
# in a subshell: the pipe's messages and their count are this shell's.)
value=""
in_page() {
  cdp Runtime.evaluate "$(jq -cn --arg e "$1" '{expression: $e, returnByValue: true}')" "$session"
  value="$(jq -c '.result.value' <<<"$answer")"
}
# until_page EXPRESSION WHAT: waits until EXPRESSION is true in the page.
until_page() {
  for _ in $(seq 300); do
    in_page "$1"
    [ "$value" = true ] && return 0
    sleep 0.1
  done
  fail "the page never showed $2"
}
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
