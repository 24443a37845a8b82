#!/usr/bin/env bash
# man_pages_test.sh PROGRAM PAGE.scd: every option and command PROGRAM's --help lists has its
# entry in the man page's source (an entry line starts with the word in bold: *--view*, *ls*).
set -euo pipefail
program=$1 page=$2
help=$("$program" --help)
missing=0
while read -r word; do
  grep -q "^\*${word}\*" "$page" || { echo "$page has no entry for $word" >&2; missing=1; }
done < <(printf '%s\n' "$help" | sed -n 's/^  \(--\{0,2\}[a-z][a-z-]*\).*/\1/p' | sort -u)
exit "$missing"
