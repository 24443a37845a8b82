#!/usr/bin/env bash
# The Prolog explorer against the virtual robot on a stepped clock: it must do what its C++
# twin does, telegram for telegram, so both must leave the robot on the same path.
#   explore_pl_test.sh BRICKSIM EXPLORE_CPP EXPLORE_PL BRICKMOD_DIR BRICKPREDS_DIR
set -euo pipefail
bricksim="$1" explore_cpp="$2" explore_pl="$3" library="$4" foreign="$5"
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

# A device where no brick answers ends the explorer at once with a reason, as the C++ one
# does; it must not drive a robot made of pre-filled reply bytes for 600 steps.
rc=0
out="$(timeout 20 swipl -p library="$library" -p foreign="$foreign" "$explore_pl" \
  "$work/no-such-device" 5 0 2>&1)" || rc=$?
[ "$rc" -eq 1 ] || { echo "FAIL: exit code $rc without a brick; output:"; echo "$out"; exit 1; }
grep -q "no brick answers" <<<"$out" || { echo "FAIL: no reason given: $out"; exit 1; }

# A brick that goes mid-run ends the explorer with a reason, not after every step left.
"$bricksim" --step 10 --link "$work/gone.dev" --trace "$work/gone.trace" >/dev/null &
sim=$!
for _ in $(seq 100); do [ -e "$work/gone.dev" ] && break; sleep 0.05; done
timeout 20 swipl -p library="$library" -p foreign="$foreign" "$explore_pl" "$work/gone.dev" \
  100000 1 >"$work/gone.out" 2>&1 &
explorer=$!
# Gone once the explorer is well under way: some hundred telegrams in.
for _ in $(seq 200); do
  [ "$(wc -l <"$work/gone.trace")" -gt 200 ] && break
  sleep 0.05
done
kill -TERM "$sim"
wait "$sim" || true
rc=0
wait "$explorer" || rc=$?
[ "$rc" -eq 1 ] || { echo "FAIL: exit code $rc after the brick went"; tail -5 "$work/gone.out"; exit 1; }
grep -q "lost the brick" "$work/gone.out" || { echo "FAIL: no reason given"; tail -5 "$work/gone.out"; exit 1; }

run cpp "$explore_cpp" >/dev/null
run pl swipl -p library="$library" -p foreign="$foreign" "$explore_pl"
for what in "found the line" "turning away" "leaving the line" "done:"; do
  grep -q "$what" "$work/pl.out" || { echo "FAIL: the Prolog explorer never printed \"$what\""; exit 1; }
done
cpp_path="$(grep '^path:' "$work/cpp.sim")"
pl_path="$(grep '^path:' "$work/pl.sim")"
echo "C++:    $cpp_path"
echo "Prolog: $pl_path"
[ "$cpp_path" = "$pl_path" ] || { echo "FAIL: the two explorers drove different paths"; exit 1; }
grep -q '^tone: 880 Hz, 300 ms' "$work/pl.sim" || { echo "FAIL: no closing tone"; exit 1; }
echo "PASS"
