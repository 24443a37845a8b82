#!/bin/bash
# bricksim --usb -- COMMAND as users run it, in real time under the USB link model: our own
# `brick` (libusb-1.0, URBs) and a small libusb-0.1 program (usb01_client.c: the node's
# descriptors read, control requests, bulk by URB or by the synchronous ioctl) against the
# emulated USB brick, with the telegrams they sent read in hex from bricksim's trace.
#   usb_any_client_test.sh BRICKSIM BRICK USB01_CLIENT
# Nothing here times anything: each case passes on what is printed, traced and returned.
set -u
bricksim="$1"
brick="$2"
client="$3"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
failures=0
printf 'hello\n' >"$dir/hello.txt"
upload="$brick --usb upload $dir/hello.txt"

# label | command (run by sh -c) | exit status | lines its standard output must hold (";"
# between them) | lines bricksim's trace must hold (";" between them)
cases=(
  "brick info, libusb-1.0|$brick --usb info|0|^name: +NXT$;^bt addr: +00:16:53:00:00:01$;^link: +USB$|^> 01 9B  GETDEVICEINFO;^< 02 9B 00 4E 58 54 00 "
  "libusb-0.1 lists the files, bulk by URB|$upload && $client|0|^serial: 001653000001$;^endpoint 0: 8 bytes$;^name: NXT$;^file: hello.txt 6$|^> 01 86 2A 2E 2A( 00){17}  FINDFIRST;^< 02 86 00 00 68 65 6C 6C 6F 2E 74 78 74( 00){11} 06 00 00 00 ;^> 01 87 00  FINDNEXT;^< 02 87 87 ;^> 01 84 00  CLOSE"
  "libusb-0.1 lists the files, bulk by ioctl|$upload && $client --bulk-ioctl|0|^serial: 001653000001$;^file: hello.txt 6$|^> 01 9B  GETDEVICEINFO;^< 02 86 00 00 68 65 6C 6C 6F 2E 74 78 74"
  "libusb-0.1 on an empty brick|$client|0|^name: NXT$|^> 01 86 2A 2E 2A ;^< 02 86 87 "
  "a reset drops the reply not yet read|$client --reset|0|^name: NXT$|^> 00 0B  GETBATTERYLEVEL;^< 02 0B 00 28 23 ;^> 01 9B  GETDEVICEINFO"
  "the command's own exit status|exit 7|7||"
  "a command that cannot be run|/nonexistent/command|127||"
)

for row in "${cases[@]}"; do
  IFS='|' read -r label command status output traced <<<"$row"
  problem=""
  rc=0
  timeout 60 "$bricksim" --trace "$dir/trace" --usb -- sh -c "$command" >"$dir/out" 2>"$dir/err" ||
    rc=$?
  if [ "$rc" -ne "$status" ]; then
    problem="exit status $rc, not $status"
  elif grep -q '^path:' "$dir/out"; then
    problem="bricksim's summary on standard output, which is the command's"
  elif ! grep -q '^path:' "$dir/err"; then
    problem="no summary from bricksim on standard error"
  elif grep -Eiq 'critical|assertion|error communicating' "$dir/err"; then
    problem="umockdev complained"
  fi
  IFS=';' read -ra wanted <<<"$output"
  for line in "${wanted[@]}"; do
    [ -n "$problem" ] || grep -Eq "$line" "$dir/out" || problem="no output line matches \"$line\""
  done
  IFS=';' read -ra wanted <<<"$traced"
  for line in "${wanted[@]}"; do
    [ -n "$problem" ] || grep -Eq "$line" "$dir/trace" || problem="no trace line matches \"$line\""
  done
  if [ -n "$problem" ]; then
    echo "FAIL: $label: $problem"
    echo "--- it printed:"
    cat "$dir/out"
    echo "--- on standard error:"
    cat "$dir/err"
    echo "--- trace:"
    cat "$dir/trace"
    failures=$((failures + 1))
  else
    echo "ok: $label"
  fi
done

# Without --usb a command has no place, and --usb serves no pseudo-terminal to link to.
for args in "-- true" "--usb" "--usb --link $dir/brick -- true"; do
  rc=0
  # shellcheck disable=SC2086
  "$bricksim" $args >/dev/null 2>&1 || rc=$?
  if [ "$rc" -ne 2 ]; then
    echo "FAIL: bricksim $args: exit status $rc, not 2"
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
