#!/usr/bin/env bash
# Runs the demo driver disk: setup starts from demo/disk on a fresh copy of
# demo/c, so the repository's files are never changed. With a display the
# window opens on it; without one the run is headless and leaves a screenshot.
# With --system-dat first, the copy of C: keeps its registry in Windows 95's
# binary SYSTEM.DAT (demo/SYSTEM.DAT) instead of SYSTEM.REG.
set -euo pipefail
setup=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d /tmp/corvane-demo.XXXXXX)
cp -r "$here/c" "$work/c"
if [ "${1:-}" = "--system-dat" ]; then
    shift
    rm "$work/c/WINDOWS/SYSTEM.REG"
    cp "$here/SYSTEM.DAT" "$work/c/WINDOWS/SYSTEM.DAT"
fi
echo "corvane demo: C: is $work/c"
cd "$here/disk"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$setup" --drive "C=$work/c" --drive "D=$here/disk" "$@"
fi
# The headless script takes its screenshot into the work folder.
sed "s#@WORK@#$work#g" "$here/headless.script" >"$work/headless.script"
status=0
"$setup" --headless --drive "C=$work/c" --drive "D=$here/disk" \
    --input "$work/headless.script" --trace "$work/trace.txt" "$@" || status=$?
echo "corvane demo: headless run ended with status $status; trace in $work/trace.txt"
[ -f "$work/demo.png" ] && echo "corvane demo: screenshot in $work/demo.png"
exit 0
