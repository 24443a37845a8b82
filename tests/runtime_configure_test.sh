#!/usr/bin/env bash
# runtime_configure_test.sh SOURCE_DIR: configures the project as scripts/demo does on a new
# build tree (no tests), with every file of the test-only packages hidden, so that a lookup of a
# test package outside the tests fails here as it would on a machine that has only what
# `scripts/deps run` installs. The same configure with the tests on must then fail, naming
# `scripts/deps test`: that shows the hiding works.
#
# What it cannot see: the packages the test-only ones pulled in (only those scripts/deps names
# are hidden), what the standard image lacks or has beyond them, and the build itself. The run
# of the README's commands on a fresh machine (../shared/fresh) covers those.
#
# It needs root and a mount namespace of its own (unshare); elsewhere it is skipped (exit 77).
set -euo pipefail
source_dir=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ] || ! unshare --mount --propagation private true 2>/dev/null; then
  echo "skipped: hiding packages needs root and unshare --mount"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

comm -23 <("$source_dir/scripts/deps" --list test | sort -u) \
  <("$source_dir/scripts/deps" --list run | sort -u) >"$work/packages"
while read -r package; do
  dpkg-query -L "$package" 2>/dev/null || true
done <"$work/packages" | grep '^/' | sort -u >"$work/paths"

# A directory is the test packages' own when everything in it is: hide it whole with an empty
# tmpfs. Any other file of theirs is covered by /dev/null, which is no header, library,
# pkg-config file or program to CMake.
declare -A theirs owned
while read -r path; do theirs["$path"]=1; done <"$work/paths"
while read -r dir; do
  [ -d "$dir" ] && [ ! -L "$dir" ] || continue
  all=1
  while IFS= read -r -d '' child; do
    if [ -d "$child" ] && [ ! -L "$child" ]; then
      [ -n "${owned[$child]:-}" ] || { all=0; break; }
    else
      [ -n "${theirs[$child]:-}" ] || { all=0; break; }
    fi
  done < <(find "$dir" -mindepth 1 -maxdepth 1 -print0)
  [ "$all" -eq 1 ] && owned["$dir"]=1
done < <(awk -F/ '{ print NF "\t" $0 }' "$work/paths" | sort -rn | cut -f2-)

: >"$work/mounts"
for dir in "${!owned[@]}"; do
  [ -n "${owned[$(dirname "$dir")]:-}" ] || echo "tmpfs $dir" >>"$work/mounts"
done
while read -r path; do
  [ -f "$path" ] && [ ! -L "$path" ] || continue
  under=0
  parent=$(dirname "$path")
  while [ "$parent" != / ]; do
    [ -n "${owned[$parent]:-}" ] && { under=1; break; }
    parent=$(dirname "$parent")
  done
  [ "$under" -eq 1 ] || echo "null $path" >>"$work/mounts"
done <"$work/paths"
echo "hiding $(wc -l <"$work/packages") test-only packages: $(grep -c '^tmpfs' "$work/mounts" || true)" \
  "directories, $(grep -c '^null' "$work/mounts" || true) files"

cat >"$work/inside" <<'EOF'
set -euo pipefail
source_dir=$1 work=$2
while read -r how path; do
  if [ "$how" = tmpfs ]; then
    mount -t tmpfs -o size=1m,mode=755 none "$path"
  else
    mount --bind /dev/null "$path"
  fi
done <"$work/mounts"
if pkg-config --exists umockdev-1.0 gtest 2>/dev/null; then
  echo "FAIL: the test packages are still visible"
  exit 1
fi
if ! cmake -S "$source_dir" -B "$work/plain" -DBUILD_TESTING=OFF >"$work/plain.log" 2>&1; then
  echo "FAIL: configuring without the tests needs a test package:"
  cat "$work/plain.log"
  exit 1
fi
cmake --build "$work/plain" --target help >"$work/targets"
grep -q demo_programs "$work/targets" ||
  { echo "FAIL: no demo_programs target"; exit 1; }
if cmake -S "$source_dir" -B "$work/tests" -DBUILD_TESTING=ON >"$work/tests.log" 2>&1; then
  echo "FAIL: configuring the tests succeeded though their packages are hidden"
  exit 1
fi
grep -q 'scripts/deps test' "$work/tests.log" ||
  { echo "FAIL: a missing test package is not explained:"; cat "$work/tests.log"; exit 1; }
echo "configured from the run-time packages alone; with the tests on, told to install them"
EOF
unshare --mount --propagation private bash "$work/inside" "$source_dir" "$work"
