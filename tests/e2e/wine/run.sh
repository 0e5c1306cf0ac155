#!/usr/bin/env bash
# Runs the 64-bit Windows build of setup.exe under Wine on a virtual X
# display and drives it with xdotool through one session of the demo disk:
# the window appears with its caption, Install ends incomplete and changes
# nothing, Uninstall finds nothing to put back, Quit asks and closes.
#
#   tests/e2e/wine/run.sh SETUP.EXE WORKDIR
#
# CORVANE_WINEDEBUG (Wine's WINEDEBUG, default -all) shows Wine's own trace
# in WORKDIR/setup.log: with +profile it lists the profile calls on the
# ~QMxxxx.TMP work files that the install merged and then refused.
# Wine's profile writer differs from Windows 95's: it drops the lines without
# "=" (comments, blank lines, and the HKR,... lines of INF files) and
# rewrites the whole file. The program reads its merged work file back before
# it replaces an INF file and refuses one that lost lines, so under Wine an
# install must leave every INF file byte for byte as it was, make no backup,
# keep the device keys and say that the update is incomplete: the run shows
# that check at work on a profile writer that is not our own. When Wine
# cannot start here, the run is skipped with a line saying so.
set -uo pipefail

exe=$(realpath "$1")
work=$2
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
demo=$top/demo
if [ ! -f "$demo/disk/layout.ini" ]; then
    echo "wine: FAILED  the demo disk is not at $demo/disk" >&2
    exit 1
fi
started=$SECONDS
failures=0

say() { echo "wine: $*"; }
skip() {
    say "skipped: $*"
    exit 0
}
check() { # description, command...
    local what=$1
    shift
    if "$@"; then
        say "ok      $what"
    else
        say "FAILED  $what"
        failures=$((failures + 1))
    fi
}

for tool in wine wineboot wineserver Xvfb xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
export WINEPREFIX=$work/prefix WINEDEBUG=${CORVANE_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

# A display number nobody uses.
display=
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=$n
        break
    fi
done
[ -n "$display" ] || skip "no free X display number"
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
cleanup() {
    wineserver -k >/dev/null 2>&1
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT
export DISPLAY=:$display
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || skip "Xvfb did not start"

if ! timeout 240 wineboot -i >"$work/wineboot.log" 2>&1 || ! [ -d "$WINEPREFIX/drive_c/windows" ]; then
    skip "Wine cannot start (wineboot failed; see $work/wineboot.log)"
fi
say "prefix made in $((SECONDS - started)) s"

# The program runs only on the Windows 95 family: Wine reports that system
# to it.
wine reg add 'HKCU\Software\Wine\AppDefaults\setup.exe' /v Version /d win95 /f >/dev/null 2>&1

inf=$WINEPREFIX/drive_c/windows/inf
cp "$demo"/c/WINDOWS/INF/*.INF "$inf/"
mkdir -p "$work/original"
cp "$demo"/c/WINDOWS/INF/*.INF "$work/original/"
cp -r "$demo/disk" "$work/disk"
layout=$work/disk/layout.ini

# The lines of a section of layout.ini, without comments and blank lines.
section() { # file, name
    awk -v want="$(echo "$2" | tr 'A-Z' 'a-z')" '
        { sub(/\r$/, "") }
        /^[ \t]*\[/ { name = $0; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
                      inside = (tolower(name) == want); next }
        inside && /=/ && !/^[ \t]*;/ { print }' "$1"
}
device_keys() {
    { section "$layout" ControlFlags; section "$layout" "USB ControlFlags"; } | cut -d= -f1
}
add_device_keys() {
    local key
    while read -r key; do
        wine reg add "HKLM\\Enum\\$key" /v Class /d System /f >/dev/null 2>&1
    done < <(device_keys)
}
keys_present() { # how many of the device keys exist
    local key count=0
    while read -r key; do
        wine reg query "HKLM\\Enum\\$key" >/dev/null 2>&1 && count=$((count + 1))
    done < <(device_keys)
    echo "$count"
}

wait_window() { # name pattern, seconds: prints the window's id
    local end=$((SECONDS + $2)) id
    while [ $SECONDS -lt "$end" ]; do
        id=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}
wait_window_quietly() { wait_window "$@" >/dev/null; }
wait_gone() { # name pattern, seconds
    local end=$((SECONDS + $2))
    while [ $SECONDS -lt "$end" ]; do
        xdotool search --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    return 1
}
press() { # window id, key
    xdotool windowfocus --sync "$1" >/dev/null 2>&1
    sleep 0.3
    xdotool key "$2"
}
# A command chosen from the main window: its progress window comes and goes
# after its five seconds, then a message box asks; answer it with key.
run_command() { # moves, key for the message box
    local moves=$1 answer=$2 main box
    main=$(wait_window "$caption_pattern" 5) || return 1
    for move in $moves; do
        press "$main" "$move"
    done
    press "$main" Return
    wait_window '^In Process\.\.\.$' 20 >/dev/null || return 1
    wait_gone '^In Process\.\.\.$' 30 || return 1
    box=$(wait_window '^corvane$' 20) || return 1
    press "$box" "$answer"
    wait_gone '^corvane$' 10
}

add_device_keys
check "the $(device_keys | wc -l) device keys are in Wine's registry before Install" \
    test "$(device_keys | wc -l)" -gt 0 -a "$(keys_present)" -eq "$(device_keys | wc -l)"

caption=$(section "$layout" LAYOUT | sed -n 's/^CAPTION=//p')
caption_pattern="^Quentor - ${caption}\$"
(cd "$work/disk" && exec wine "$exe") >"$work/setup.log" 2>&1 &
setup=$!
check "the window appears with the caption \"Quentor - $caption\" from layout.ini" \
    wait_window_quietly "$caption_pattern" 60

# Install: the first item has the focus frame. The work files come back
# from Wine's profile writer without their lines that have no "=", so the
# install stops with its stop message (OK) and changes nothing.
check "Install runs, shows its progress window and then its stop message (answered OK)" \
    run_command "" Return
targets() { # "INF FRAGMENT BACKUP" for the sections an install on 950 walks
    { section "$layout" COMMON; section "$layout" 950; section "$layout" "USB INF"; } |
        sed 's/[=,]/ /g'
}
unchanged_ok() {
    local target fragment backup fine=0
    while read -r target fragment backup; do
        cmp "$inf/$target" "$work/original/$target" || fine=1
        if [ -e "$inf/$backup" ]; then
            say "        the backup $backup was made of a file that stayed as it was"
            fine=1
        fi
    done < <(targets)
    if compgen -G "$inf/~QM*.TMP" >/dev/null; then
        say "        work files are left in the INF directory"
        fine=1
    fi
    return "$fine"
}
check "Install left every INF file byte for byte as it was, with no backup and no work file" \
    unchanged_ok
check "Install deleted no device key" test "$(keys_present)" -eq "$(device_keys | wc -l)"

# Uninstall with no backups: its message comes over the progress window,
# which then steps on for five seconds and closes.
uninstall_nothing() {
    local main box
    main=$(wait_window "$caption_pattern" 5) || return 1
    press "$main" Down
    press "$main" Return
    wait_window '^In Process\.\.\.$' 20 >/dev/null || return 1
    box=$(wait_window '^corvane$' 20) || return 1
    xdotool search --name '^In Process\.\.\.$' >/dev/null 2>&1 || return 1
    press "$box" Return
    wait_gone '^corvane$' 10 || return 1
    wait_gone '^In Process\.\.\.$' 30
}
check "Uninstall says there is nothing to put back over its progress window (answered OK)" \
    uninstall_nothing
check "Uninstall changed no INF file and deleted no device key" \
    test "$(unchanged_ok >/dev/null && echo same)" = same -a "$(keys_present)" -eq "$(device_keys | wc -l)"

# Quit is the fourth item, two below Uninstall (the focus frame stays on
# Uninstall).
quit_asks() {
    local main box
    main=$(wait_window "$caption_pattern" 5) || return 1
    press "$main" Down
    press "$main" Down
    press "$main" Return
    box=$(wait_window '^corvane$' 20) || return 1
    # The question is up and the window still open until it is answered.
    xdotool search --name "$caption_pattern" >/dev/null 2>&1 || return 1
    press "$box" y
}
check "Quit asks first (a message box over the open window; answered Yes)" quit_asks
closed_ok() {
    local end=$((SECONDS + 20))
    while [ $SECONDS -lt "$end" ]; do
        kill -0 "$setup" 2>/dev/null || break
        sleep 0.2
    done
    ! kill -0 "$setup" 2>/dev/null && wait "$setup" && wait_gone "$caption_pattern" 5
}
check "the window closed and setup.exe ended with status 0" closed_ok

say "run took $((SECONDS - started)) s, prefix creation included"
if [ "$failures" -ne 0 ]; then
    say "$failures check(s) failed; files in $work"
    exit 1
fi
say "all checks passed"
