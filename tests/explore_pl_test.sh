#!/usr/bin/env bash
# The Prolog explorers against the virtual robot on a stepped clock. The one on brickmod must do
# what its C++ twin does, telegram for telegram, so both must leave the robot on the same path;
# the one on library(brick) must explore as they do, and both must stop with a reason when
# there is no brick or it goes.
#   explore_pl_test.sh BRICKSIM EXPLORE_CPP EXPLORE_BRICKMOD_PL BRICKMOD_DIR BRICKPREDS_DIR \
#                      EXPLORE_PL
set -euo pipefail
bricksim="$1" explore_cpp="$2" explore_brickmod="$3" library="$4" foreign="$5" explore_pl="$6"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
steps=400

run() {  # run NAME COMMAND...: the explorer against a fresh bricksim; its summary in NAME.sim
  local name="$1"
  shift
  "$bricksim" --step 10 --link "$work/$name.dev" >"$work/$name.sim" &
  local sim=$!
  for _ in $(seq 100); do [ -e "$work/$name.dev" ] && break; sleep 0.05; done
  local rc=0
  "$@" "$work/$name.dev" "$steps" 0 >"$work/$name.out" 2>&1 || rc=$?
  kill -TERM "$sim"
  wait "$sim" || true
  cat "$work/$name.out"
  return "$rc"
}

stops_with_reason() {  # stops_with_reason EXPLORER_PL NAME
  local explorer_pl="$1" gone="$work/gone-$2" rc out sim explorer_pid
  # A device where no brick answers ends the explorer at once with a reason, as the C++ one
  # does; it must not drive a robot made of pre-filled reply bytes for 600 steps.
  rc=0
  out="$(timeout 20 swipl -p library="$library" -p foreign="$foreign" "$explorer_pl" \
    "$work/no-such-device" 5 0 2>&1)" || rc=$?
  [ "$rc" -eq 1 ] || { echo "FAIL: exit code $rc without a brick; output:"; echo "$out"; exit 1; }
  grep -q "no brick answers" <<<"$out" || { echo "FAIL: no reason given: $out"; exit 1; }

  # A brick that goes mid-run ends the explorer with a reason, not after every step left.
  "$bricksim" --step 10 --link "$gone.dev" --trace "$gone.trace" >/dev/null &
  sim=$!
  for _ in $(seq 100); do [ -e "$gone.dev" ] && break; sleep 0.05; done
  timeout 20 swipl -p library="$library" -p foreign="$foreign" "$explorer_pl" "$gone.dev" \
    100000 1 >"$gone.out" 2>&1 &
  explorer_pid=$!
  # Gone once the explorer is well under way: some hundred telegrams in.
  for _ in $(seq 200); do
    [ "$(wc -l <"$gone.trace")" -gt 200 ] && break
    sleep 0.05
  done
  kill -TERM "$sim"
  wait "$sim" || true
  rc=0
  wait "$explorer_pid" || rc=$?
  [ "$rc" -eq 1 ] || { echo "FAIL: exit code $rc after the brick went"; tail -5 "$gone.out"; exit 1; }
  grep -q "lost the brick" "$gone.out" || { echo "FAIL: no reason given"; tail -5 "$gone.out"; exit 1; }
}

stops_with_reason "$explore_brickmod" brickmod
stops_with_reason "$explore_pl" brick

run cpp "$explore_cpp" >/dev/null
run pl swipl -p library="$library" -p foreign="$foreign" "$explore_brickmod"
run brick swipl -p library="$library" -p foreign="$foreign" "$explore_pl" >/dev/null
for out in pl brick; do
  for what in "found the line" "turning away" "leaving the line" "done:"; do
    grep -q "$what" "$work/$out.out" ||
      { echo "FAIL: the $out explorer never printed \"$what\""; exit 1; }
  done
  grep -q '^tone: 880 Hz, 300 ms' "$work/$out.sim" || { echo "FAIL: no closing tone ($out)"; exit 1; }
done
cpp_path="$(grep '^path:' "$work/cpp.sim")"
pl_path="$(grep '^path:' "$work/pl.sim")"
echo "C++:    $cpp_path"
echo "Prolog: $pl_path"
[ "$cpp_path" = "$pl_path" ] || { echo "FAIL: the two explorers drove different paths"; exit 1; }
echo "PASS"
