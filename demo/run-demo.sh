#!/usr/bin/env bash
# Runs the demo driver disk: setup starts from demo/disk on a fresh copy of
# demo/c, so the repository's files are never changed. With a display the
# window opens on it; without one the run is headless and leaves a screenshot.
# With --system-dat first, the copy of C: keeps its registry in Windows 95's
# binary SYSTEM.DAT (demo/SYSTEM.DAT) instead of SYSTEM.REG.
# With --image first, C: is a 32 MB hard-disk image (an MBR, one FAT16
# partition holding demo/c and an MSDOS.SYS) and the driver disk a 1.44 MB
# floppy image of demo/disk, both made now with sfdisk, mkfs.fat and mcopy.
# With --edition 950 first, the demo is the Traditional Chinese one: the
# Halvorin HV-5T disk (demo/disk950, its layout.ini and fragments in code page
# 950) on a C: drive of that edition (demo/c950, whose registry names code
# page 950); --image may follow it, --system-dat may not.
set -euo pipefail
setup=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
c_source=c
disk_source=disk
floppy=qx20
if [ "${1:-}" = "--edition" ]; then
    if [ "${2:-}" != 950 ] || [ "${3:-}" = "--system-dat" ]; then
        echo "corvane demo: --edition takes 950 (the Traditional Chinese demo), without --system-dat" >&2
        exit 2
    fi
    shift 2
    c_source=c950
    disk_source=disk950
    floppy=hv5t
fi
work=$(mktemp -d /tmp/corvane-demo.XXXXXX)
cp -r "$here/$c_source" "$work/c"
if [ "${1:-}" = "--system-dat" ]; then
    shift
    rm "$work/c/WINDOWS/SYSTEM.REG"
    cp "$here/SYSTEM.DAT" "$work/c/WINDOWS/SYSTEM.DAT"
fi
c_drive="$work/c"
disk_args=(--drive "D=$here/$disk_source")
start="$here/$disk_source"
if [ "${1:-}" = "--image" ]; then
    shift
    export MTOOLS_SKIP_CHECK=1
    printf '[Paths]\r\nWinDir=C:\\WINDOWS\r\nWinBootDir=C:\\WINDOWS\r\n' >"$work/c/MSDOS.SYS"
    truncate -s 32M "$work/win95.img"
    printf 'label: dos\nstart=2048, type=6, bootable\n' | sfdisk -q "$work/win95.img"
    mkfs.fat -F 16 -n WIN95 --offset 2048 "$work/win95.img" $(((32 * 1024 - 1024))) >/dev/null 2>&1
    mcopy -s -m -i "$work/win95.img@@1048576" "$work/c/WINDOWS" "$work/c/MSDOS.SYS" ::/
    mattrib -i "$work/win95.img@@1048576" +r +h +s ::/MSDOS.SYS
    mkfs.fat -C -n "${floppy^^}" "$work/$floppy.img" 1440 >/dev/null
    mcopy -m -i "$work/$floppy.img" "$here/$disk_source"/* ::/
    rm -r "$work/c"
    c_drive="$work/win95.img"
    disk_args=(--disk "$work/$floppy.img")
    start="$work"
    echo "corvane demo: C: is the disk image $c_drive, the driver disk the floppy image $work/$floppy.img"
    echo "corvane demo: afterwards, look into it with: mdir -i $c_drive@@1048576 -/ ::/WINDOWS"
else
    echo "corvane demo: C: is $work/c"
fi
cd "$start"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$setup" --drive "C=$c_drive" "${disk_args[@]}" "$@"
fi
# The headless script takes its screenshot into the work folder.
sed "s#@WORK@#$work#g" "$here/headless.script" >"$work/headless.script"
status=0
"$setup" --headless --drive "C=$c_drive" "${disk_args[@]}" \
    --input "$work/headless.script" --trace "$work/trace.txt" "$@" || status=$?
echo "corvane demo: headless run ended with status $status; trace in $work/trace.txt"
[ -f "$work/demo.png" ] && echo "corvane demo: screenshot in $work/demo.png"
exit 0
