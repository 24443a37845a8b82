#!/bin/bash
# The IO-map commands as users run them, against bricksim in real time under the USB and the
# Bluetooth link models: `brick screenshot` saves a PNG showing the brick's name (decoded and
# checked pixel by pixel), `brick button exit` through the UI map ends the running program, and
# `brick iomap` lists the modules and dumps a map. Nothing is timed: each command runs to its
# end and its output and the brick's state are checked.
#   iomap_realtime_test.sh BRICKSIM BRICK PNG_SCREEN_CHECK
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/realtime.sh"
bricksim="$1"
brick="$2"
check="$3"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
{ "$bricksim" --print-world; echo "program prog.rxe"; } >"$dir/prog.world"
realtime_sim_args=(--name "Snap Shot" --world "$dir/prog.world")
failures=0
for model in usb bluetooth; do
  realtime_label="brick screenshot"
  realtime_run "$bricksim" "$model" "^screen: " still \
    sh -c "'$brick' --device {} screenshot '$dir/$model.png' && '$check' '$dir/$model.png' 'Snap Shot'" ||
    failures=$((failures + 1))
  # The program runs (the Command map's program status, offset 28, reads 2), EXIT is pressed,
  # and it has ended (0).
  realtime_label="brick button exit"
  realtime_output="$dir/button.out"
  realtime_run "$bricksim" "$model" "^ +28  00 " still \
    sh -c "'$brick' --device {} run prog.rxe && '$brick' --device {} iomap Command.mod 28 1 &&
           '$brick' --device {} button exit && '$brick' --device {} iomap Command.mod 28 1" ||
    failures=$((failures + 1))
  grep -Eq "^ +28  02 " "$dir/button.out" ||
    { echo "FAIL: the program was not running before the press"; failures=$((failures + 1)); }
  realtime_output=""
  realtime_label="brick iomap"
  realtime_run "$bricksim" "$model" "^Ui.mod +0x000C0001 +40$" still \
    "$brick" --device {} iomap || failures=$((failures + 1))
done
[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
