#!/usr/bin/env bash
# `brick` on the brick's files in real time, as users run it, over the USB and the Bluetooth link
# models. A file uploaded in lower case is listed, fetched and deleted in upper case (the brick
# compares names in any case). Seventeen listings in a row each close their search: the brick
# keeps a search open until it is closed, and has 16 handles, so a listing that left its own
# would find the brick out of handles by the seventeenth. Nothing is timed.
#   files_realtime_test.sh BRICKSIM BRICK
set -euo pipefail
bricksim="$1" brick="$2"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=SCRIPTDIR/realtime.sh
source "$here/realtime.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf 'hello, brick\n' >"$work/hello.txt"
cat >"$work/session.sh" <<'SESSION'
set -e
brick="$1" device="$2" dir="$3"
b() { "$brick" --device "$device" "$@"; }
b upload "$dir/hello.txt"
for _ in $(seq 17); do b ls; done
b ls 'HELLO.*'
b download HELLO.TXT "$dir/back.txt"
cmp "$dir/hello.txt" "$dir/back.txt"
b rm Hello.Txt
echo "left: $(b ls | wc -l)"
SESSION
status=0
for model in usb bluetooth; do
  realtime_output="$work/out"
  realtime_label="brick upload, ls, download, rm"
  realtime_run "$bricksim" "$model" '^left: 0$' still sh "$work/session.sh" "$brick" {} "$work" ||
    status=1
  listed="$(grep -c '^hello.txt  *13$' "$work/out" || true)"
  if [ "$listed" -ne 18 ] || grep -q 'handle' "$work/out"; then
    echo "FAIL ($model): $listed of 18 listings showed hello.txt, or handles were short:"
    cat "$work/out"
    status=1
  fi
done
exit "$status"
