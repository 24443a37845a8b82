#!/usr/bin/env bash
# The tutorial's programs, as docs/tutorial.md shows them, against the virtual robot in its
# arena on a stepped clock: every code block is the file in examples/tutorial/ it names, and
# each program, Prolog and C++, runs to its end and prints what the tutorial says it prints.
#   tutorial_test.sh BRICKSIM TUTORIAL_MD EXAMPLES_DIR CPP_BIN_DIR LIBRARY_DIR FOREIGN_DIR
set -euo pipefail
bricksim="$1" doc="$2" sources="$3" bin="$4" library="$5" foreign="$6"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Each block whose first line is "% tutorial/NAME" or "// tutorial/NAME" goes to doc/NAME.
mkdir "$work/doc"
awk -v out="$work/doc" '
  /^```/ { if (inb) { inb = 0; if (file != "") close(file); file = "" } else { inb = 1; first = 1 }
           next }
  inb && first { first = 0
    if (match($0, /^(%|\/\/) tutorial\/[a-z]+\.(pl|cpp)/)) {
      name = $0; sub(/^(%|\/\/) tutorial\//, "", name); sub(/:.*$/, "", name)
      file = out "/" name } }
  inb && file != "" { print > file }
' "$doc"
diff -r "$sources" "$work/doc" || { echo "FAIL: docs/tutorial.md and $sources differ"; exit 1; }

run() {  # run EXPECTED COMMAND...: the program against a fresh bricksim, in the arena
  local expected="$1"
  shift
  local link="$work/brick.$RANDOM"
  "$bricksim" --step 10 --link "$link" >"$work/sim.out" &
  local sim=$!
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
  local rc=0
  timeout 60 "$@" "$link" >"$work/out" 2>&1 || rc=$?
  kill -TERM "$sim"
  wait "$sim" || true
  if [ "$rc" -ne 0 ] || ! grep -q "$expected" "$work/out"; then
    echo "FAIL: $* (exit $rc) did not print \"$expected\":"
    cat "$work/out"
    exit 1
  fi
  echo "ok: ${*: -1}: $(grep -m1 "$expected" "$work/out")"
}

swipl=(swipl -p library="$library" -p foreign="$foreign")
expect() {
  case "$1" in
    beep) echo "beep; battery" ;;
    drive) echo "left wheel at" ;;
    sense) echo "bumper 0, wall" ;;
    avoid) echo "turning away" ;;
    robot) echo "found the line" ;;
  esac
}
for program in "$sources"/*.pl; do
  name="$(basename "$program" .pl)"
  run "$(expect "$name")" "${swipl[@]}" "$program"
done
for program in "$sources"/*.cpp; do
  name="$(basename "$program" .cpp)"
  run "$(expect "$name")" "$bin/$name"
done
echo "PASS"
