#!/usr/bin/env bash
# A save reaches the disk before it is reported done: the new file is flushed before it is
# renamed to the user's name, and the folder after, so that a power cut leaves either the old
# file or the whole new one. Watched with strace on tavrio-merge, which saves the same way the
# windows do. Arguments: tavrio-merge and the workbook generator.
set -euo pipefail
merge=$1
generator=$2
command -v strace >/dev/null || { echo "strace is missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" --samples "$work/in" >/dev/null
for output in out.xlsx out.csv; do
  strace -f -qq -e trace=fsync,fdatasync,rename,renameat,renameat2 -o "$work/trace" \
    "$merge" -o "$work/$output" "$work/in" >/dev/null
  calls=$(grep -oE '(fsync|fdatasync|rename(at2?)?)\(' "$work/trace" | tr -d '(' | tr '\n' ' ')
  echo "$output: $calls"
  # flush, rename, flush: in that order, the rename being the one that gives the file its name.
  grep -qE '(fsync|fdatasync) rename(at2?)? (fsync|fdatasync)' <<<"$calls"
  grep -qE "rename.*\"$work/$output\"" "$work/trace"
done
