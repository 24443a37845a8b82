#!/usr/bin/env bash
# demo_test.sh SOURCE_DIR BUILD_DIR: scripts/demo, short, twice on a built tree, then once with
# --view (no one at the keyboard: it does not wait). All three must draw the same picture (the
# stepped clock; the page only watches), and none may print a compiler line.
set -euo pipefail
source_dir=$1 build=$2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for run in 1 2 view; do
  flags=()
  [ "$run" = view ] && flags=(--view)
  BUILD_DIR="$build" DEMO_DIR="$work/run$run" STEPS=120 PAUSE_MS=0 VIEW_PORT=0 \
    "$source_dir/scripts/demo" "${flags[@]}" </dev/null >"$work/out$run" 2>&1 ||
    { cat "$work/out$run"; exit 1; }
done
if grep -Eq 'Building CXX|Linking CXX|^\[ *[0-9]+%\]|^-- ' "$work/out1"; then
  echo "FAIL: the demo printed build lines:"; cat "$work/out1"; exit 1
fi
grep -q '^== built ' "$work/out1" || { echo "FAIL: no progress line"; cat "$work/out1"; exit 1; }
cmp "$work/run1/explore.svg" "$work/run2/explore.svg" ||
  { echo "FAIL: two runs drew two paths"; exit 1; }
grep -q '^== watch the robot live: http://' "$work/outview" ||
  { echo "FAIL: the demo with --view gave no address"; cat "$work/outview"; exit 1; }
cmp "$work/run1/explore.svg" "$work/runview/explore.svg" ||
  { echo "FAIL: the demo watched drew another path"; diff "$work/out1" "$work/outview"; exit 1; }
# The robot moved: its path is more than a point, and the summary counts the distance.
grep -Eq '<polyline|<path' "$work/run1/explore.svg" || { echo "FAIL: no path drawn"; exit 1; }
grep -Eq '^path: .*, [1-9][0-9]* cm driven' "$work/out1" ||
  { echo "FAIL: the robot did not move:"; cat "$work/out1"; exit 1; }
echo "demo: same picture twice, and watched, no build lines"
