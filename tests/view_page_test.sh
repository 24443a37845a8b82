#!/usr/bin/env bash
# The live page in headless chromium, against a running bricksim on a stepped clock: the robot
# drawn where the simulation says it is, before and after it drives, and the trace showing the
# telegrams of a short scripted exchange. Leaves a screenshot of the page at SCREENSHOT (the
# build's artefacts), and with BRICK_UPDATE_DOCS=1 also at DOCS_PICTURE, the one the docs show.
#   view_page_test.sh BRICKSIM BRICK SCREENSHOT [DOCS_PICTURE]
set -euo pipefail
bricksim="$1"
brick="$2"
shot="$3"
docs_picture="${4:-}"
browser="$(command -v chromium || true)"
if [ -z "$browser" ]; then
  echo "chromium is not installed (scripts/deps installs it with the test packages)" >&2
  exit 1
fi
work="$(mktemp -d)"
sim=""
cleanup() {
  [ -n "$sim" ] && kill -TERM "$sim" 2>/dev/null && wait "$sim" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$bricksim" --step 10 --view 0 --link "$work/brick" >"$work/out" 2>"$work/err" &
sim=$!
for _ in $(seq 100); do grep -q '^view: ' "$work/out" 2>/dev/null && break; sleep 0.1; done
url="$(sed -n 's/^view: //p' "$work/out")"
[ -n "$url" ] || { cat "$work/err" >&2; echo "bricksim printed no address" >&2; exit 1; }

# The page as the browser has drawn it after a few updates (it stops listening then, so that
# headless chromium sees a quiet page and writes it out); with PRESS, after it has clicked
# that button of the page once (which it does only given its token, TOKEN by default).
browse() {  # browse FLAG OUTPUT [PRESS [TOKEN]]: --dump-dom or --screenshot=FILE
  local what="$1" output="$2" press="${3:+&press=$3&token=${4:-$token}}"
  timeout 30 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --virtual-time-budget=5000 --window-size=1280,860 \
    "$what" "${url}?frames=3${press}" >"$output" 2>>"$work/chromium.err"
}
# The robot's place from the drawing, and from bricksim itself.
drawn() { grep -o 'id="robot-now" data-x="[^"]*" data-y="[^"]*"' "$1" | sed 's/[^0-9. ]//g'; }
actual() {
  curl -sf "${url}state.json" | jq -r '.frame | "\(.x*10|round/10) \(.y*10|round/10)"'
}
same() {  # same DOM: the drawn robot within 0.1 cm of where bricksim has it
  local d a
  d="$(drawn "$1" | awk '{print $1, $2}')"
  a="$(actual)"
  awk -v d="$d" -v a="$a" 'BEGIN { split(d, p); split(a, q);
    exit !(p[1] != "" && (p[1]-q[1])^2 + (p[2]-q[2])^2 < 0.03) }' ||
    { echo "drawn at ($d), simulated at ($a)" >&2; return 1; }
}

browse --dump-dom "$work/before.html"
same "$work/before.html"
start="$(drawn "$work/before.html")"

# A short scripted exchange: both wheels forward, a tone, a battery reading, a few polls.
"$brick" --device "$work/brick" motor B 60 >/dev/null
"$brick" --device "$work/brick" motor C 60 >/dev/null
"$brick" --device "$work/brick" tone 440 100 >/dev/null
for _ in 1 2 3 4 5 6 7 8; do "$brick" --device "$work/brick" battery >/dev/null; done

browse --dump-dom "$work/after.html"
same "$work/after.html"
[ "$(drawn "$work/after.html")" != "$start" ] || { echo "the drawn robot did not move" >&2; exit 1; }
for telegram in "SETOUTPUTSTATE port=1 power=60" "PLAYTONE" "reply GETBATTERYLEVEL SUCCESS"; do
  grep -q "$telegram" "$work/after.html" || { echo "trace lacks $telegram" >&2; exit 1; }
done

# Pause and Resume through the page's own button, which sends the token the page carries;
# the same request without it changes nothing, and a link to the page with a press but not
# its token (another site's) presses nothing.
paused() { curl -sf "${url}state.json" | jq -r .paused; }
token="$(curl -sf "$url" | sed -n 's/.*bricksim-token" content="\([0-9a-f]*\)".*/\1/p')"
[ "$(curl -s -o /dev/null -w '%{http_code}' -X POST "${url}control?action=pause")" = 403 ] ||
  { echo "a change without the token was not refused" >&2; exit 1; }
[ "$(paused)" = false ] || { echo "paused by a request without the token" >&2; exit 1; }
browse --dump-dom "$work/linked.html" pause "$(printf '%064d' 0)"
[ "$(paused)" = false ] || { echo "a link without the token paused the robot" >&2; exit 1; }
browse --dump-dom "$work/paused.html" pause
[ "$(paused)" = true ] || { echo "the page's Pause button did not pause" >&2; exit 1; }
! grep -q '<span id="status"[^>]*>refused' "$work/paused.html" ||
  { echo "the page's Pause was refused" >&2; exit 1; }
browse --dump-dom "$work/resumed.html" pause   # the same button, now reading Resume
[ "$(paused)" = false ] || { echo "the page's Resume button did not resume" >&2; exit 1; }

mkdir -p "$(dirname "$shot")"
browse "--screenshot=$shot" /dev/null
[ -s "$shot" ] || { echo "no screenshot" >&2; exit 1; }
if [ "${BRICK_UPDATE_DOCS:-0}" = 1 ] && [ -n "$docs_picture" ]; then
  cp "$shot" "$docs_picture"
fi
echo "page follows the robot; screenshot: $shot"
