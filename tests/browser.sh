# shellcheck shell=bash
# Sourced by the tests that drive a page in headless chromium over the DevTools protocol on a
# pipe (JSON messages ending in a NUL byte), which needs nothing beyond chromium and jq:
#   browser_open URL
# starts the browser (its pid in $chrome) on URL, in $work, and attaches to the page; then
# in_page and until_page ask the page, and browser_close ends it. Needs $browser, $work and a
# function fail MESSAGE.
chrome=""
browser_open() {
  mkfifo "$work/to-browser" "$work/from-browser"
  # A process group of its own, so that its helpers end with it: a renderer still writing its
  # profile would keep $work from being removed.
  setsid "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --window-size=1280,860 --remote-debugging-pipe about:blank \
    3<"$work/to-browser" 4>"$work/from-browser" 2>"$work/chromium.err" &
  chrome=$!
  exec 5>"$work/to-browser" 6<"$work/from-browser"
  cdp Target.createTarget "$(jq -cn --arg url "$1" '{url: $url}')"
  local target
  target="$(jq -r .targetId <<<"$answer")"
  cdp Target.attachToTarget "$(jq -cn --arg t "$target" '{targetId: $t, flatten: true}')"
  session="$(jq -r .sessionId <<<"$answer")"
  [ -n "$session" ] && [ "$session" != null ] || fail "no session on the page: $answer"
}

# browser_close: ends the browser and every process it started, if it runs.
browser_close() {
  [ -n "$chrome" ] || return 0
  kill -- "-$chrome" 2>/dev/null || kill "$chrome" 2>/dev/null || true
  wait "$chrome" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 -- "-$chrome" 2>/dev/null || break; sleep 0.1; done
  chrome=""
}

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
