#!/usr/bin/env bash
# The window on a real X server (Xvfb): a merge's progress dialog shows and its 取消 leaves an
# incomplete workbook whose window says so; a merged workbook's window shows and reaches its
# last row. Arguments: the scene player and the workbook generator.
set -euo pipefail
player=$1
generator=$2
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" --samples "$work/samples" >/dev/null
run() {
  xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24 -dpi 96" \
    env QT_QPA_PLATFORM=xcb "$player" "$@"
}
cd "$work/samples"
run pictures "$work/progress.png" "$work/incomplete.png" | tee "$work/said.txt"
grep -qx "合并在第 2 个文件之前取消，已经合并的行在“工作簿1”中，这个工作簿不完整。" "$work/said.txt"
test -s "$work/progress.png"
test -s "$work/incomplete.png"
run timing | tee "$work/timing.txt"
grep -q "^merged rows: 81$" "$work/timing.txt"
