#!/bin/bash
# `brick upload` as users run it, against bricksim in real time over its Bluetooth pace: stopped
# by a signal in the middle of the file, refused before sending what cannot be sent, and what a
# later command does about a brick left holding a file open.
#   upload_interrupt_test.sh BRICKSIM BRICK
# Nothing here times anything: a signal goes once bricksim's trace shows the upload's first WRITE,
# and a file of 80000 bytes takes five (up to 16 KiB each, the rest some 1.4 s of the radio's
# line), so the upload is still under way when it comes. The waits only catch a hang.
set -u
bricksim="$1"
brick="$2"
dir="$(mktemp -d)"
trap 'kill -TERM "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

"$bricksim" --link-model bluetooth --link "$dir/brick" --trace "$dir/trace" >"$dir/sim.out" 2>&1 &
sim=$!
for _ in $(seq 200); do [ -e "$dir/brick" ] && break; sleep 0.05; done
run_brick() { "$brick" --device "$dir/brick" "$@"; }
writes() { grep -c '^> 01 83 ' "$dir/trace"; }

head -c 80000 /dev/urandom >"$dir/big.bin"
head -c 100 /dev/urandom >"$dir/small.bin"
# One byte over the free flash of an empty brick (GET DEVICE INFO: 112604, the largest file
# its 440 sectors hold beside the file's 36-byte header).
head -c 112605 /dev/zero >"$dir/huge.bin"
mkfifo "$dir/fifo.bin"
mkdir "$dir/dir.bin"

# Refused before anything is opened on the brick: PATH | NAME | exit status | message on stderr.
# A file that is not regular is refused with the arguments (2), whatever its name.
refusals=(
  "/dev/zero||2|/dev/zero is not a regular file"
  "/dev/zero|x.bin|2|/dev/zero is not a regular file"
  "$dir/fifo.bin|x.bin|2|fifo.bin is not a regular file"
  "$dir/dir.bin|x.bin|2|dir.bin is not a regular file"
  "$dir/huge.bin|x.bin|1|(112605 bytes) does not fit: the brick has 112604 bytes of flash free"
)
for row in "${refusals[@]}"; do
  IFS='|' read -r path name expected message <<<"$row"
  before="$(wc -l <"$dir/trace")"
  rc=0
  timeout 60 "$brick" --device "$dir/brick" upload "$path" ${name:+"$name"} >"$dir/out" 2>&1 || rc=$?
  [ "$rc" -eq "$expected" ] || fail "upload $path $name: exit $rc, not $expected"
  grep -qF "$message" "$dir/out" || fail "upload $path: no \"$message\" in: $(cat "$dir/out")"
  # No OPEN WRITE (01 81) went out: nothing to close or delete afterwards.
  if tail -n +"$((before + 1))" "$dir/trace" | grep -q '^> 01 81 '; then
    fail "upload $path sent OPEN WRITE"
  fi
done

# Starts an upload of big.bin as NAME and sends SIGNAL once its first WRITE is on the wire;
# leaves the exit status in $rc and what it printed in $dir/out.
interrupt() {
  local signal="$1" name="$2" seen
  seen="$(writes)"
  "$brick" --device "$dir/brick" upload "$dir/big.bin" "$name" >"$dir/out" 2>&1 &
  local upload=$!
  # An upload refused at once (a brick whose flash killed clients hold) writes nothing.
  for _ in $(seq 400); do
    [ "$(writes)" -gt "$seen" ] && break
    kill -0 "$upload" 2>/dev/null || break
    sleep 0.05
  done
  kill "-$signal" "$upload"
  rc=0
  wait "$upload" 2>/dev/null || rc=$?
}

# SIGNAL | exit status: the tool closes its handle, deletes the half file and says so.
stops=(
  "INT|130"
  "TERM|143"
)
for row in "${stops[@]}"; do
  signal="${row%%|*}" expected="${row#*|}"
  before="$(wc -l <"$dir/trace")"
  interrupt "$signal" half.bin
  [ "$rc" -eq "$expected" ] || fail "SIG$signal: exit $rc, not $expected ($(cat "$dir/out"))"
  grep -q "interrupted: half.bin was not stored" "$dir/out" || fail "SIG$signal: $(cat "$dir/out")"
  # CLOSE of handle 0, then DELETE "half.bin", both answered 0x00.
  after="$(tail -n +"$((before + 1))" "$dir/trace")"
  grep -q '^< 02 84 00 00 ' <<<"$after" || fail "SIG$signal: no CLOSE answered 00"
  grep -q '^> 01 85 68 61 6C 66 2E 62 69 6E 00 ' <<<"$after" || fail "SIG$signal: no DELETE half.bin"
  run_brick ls >"$dir/ls" 2>&1 || fail "SIG$signal: ls failed: $(cat "$dir/ls")"
  ! grep -q half.bin "$dir/ls" || fail "SIG$signal: half.bin left: $(cat "$dir/ls")"
done

# Sixteen interruptions in a row (a brick has 16 handles) leave it as it was.
for i in $(seq 16); do
  interrupt INT "h$i.bin"
  [ "$rc" -eq 130 ] || fail "interruption $i: exit $rc ($(cat "$dir/out"))"
done
run_brick ls >"$dir/ls" 2>&1 || fail "ls after 16 interruptions: $(cat "$dir/ls")"
! grep -q '^h[0-9]*\.bin' "$dir/ls" || fail "half files left: $(cat "$dir/ls")"

# A client killed outright (SIGKILL cannot be caught) leaves its file open on the brick: `rm`
# closes the brick's handles and deletes it.
interrupt KILL half.bin
[ "$rc" -eq 137 ] || fail "SIGKILL: exit $rc"
rc=0
run_brick rm half.bin >"$dir/out" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "rm after SIGKILL: exit $rc ($(cat "$dir/out"))"
grep -q "half.bin was busy, held open: closed 1 file handle left open" "$dir/out" ||
  fail "rm after SIGKILL said: $(cat "$dir/out")"
run_brick ls >"$dir/ls" 2>&1 || fail "ls after rm: $(cat "$dir/ls")"
! grep -q half.bin "$dir/ls" || fail "half.bin left after rm: $(cat "$dir/ls")"

# Sixteen killed clients in a row: the brick's handles run out, and the next command mends it.
for i in $(seq 16); do
  interrupt KILL "k$i.bin"
done
run_brick ls >"$dir/ls" 2>&1 || fail "ls after 16 killed uploads: $(cat "$dir/ls")"
rc=0
run_brick upload "$dir/small.bin" >"$dir/out" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "upload after 16 killed uploads: exit $rc ($(cat "$dir/out"))"
grep -q "uploaded small.bin (100 bytes)" "$dir/out" || fail "upload said: $(cat "$dir/out")"

[ "$failures" -eq 0 ] && echo "upload interruptions: all passed"
exit "$failures"
