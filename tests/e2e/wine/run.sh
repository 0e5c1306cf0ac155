#!/usr/bin/env bash
# Runs a Windows build of setup.exe under Wine on a virtual X display and
# drives it with xdotool through the demo disk: one session with Wine
# reporting Windows 95 and one with Wine reporting Windows 98 (the window
# appears with its caption, Install walks the section of the release tag the
# program computed and ends incomplete, Uninstall finds nothing to put back,
# Quit asks and closes), then one start with Wine reporting Windows 10, which
# the program refuses. README.md beside this script says what Wine reports as
# each version and what each check looks at.
#
#   tests/e2e/wine/run.sh SETUP.EXE WORKDIR
#
# Wine's trace of message boxes (WINEDEBUG +msgbox) gives the text of every
# message the program shows; each session's is in WORKDIR/setup-VERSION.log.
# CORVANE_WINEDEBUG adds channels of Wine's own trace to it: with +profile it
# lists the profile calls on the ~QMxxxx.TMP work files that the install
# merged and then refused. When Wine cannot start here, the run is skipped
# with a line saying so.
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
label=

say() { echo "wine: $*"; }
skip() {
    say "skipped: $*"
    exit 0
}
check() { # description, command...
    local what=$1
    shift
    if "$@"; then
        say "ok      $label$what"
    else
        say "FAILED  $label$what"
        failures=$((failures + 1))
    fi
}

for tool in wine wineboot wineserver Xvfb xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

# The machine field of the PE header: which build this is.
pe_kind() {
    local offset machine
    offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ')
    case $machine in
    014c) echo "32-bit, i386" ;;
    8664) echo "64-bit, x86-64" ;;
    *) echo "machine $machine" ;;
    esac
}
say "running $exe ($(pe_kind "$exe"))"

rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="-all,+msgbox${CORVANE_WINEDEBUG:+,$CORVANE_WINEDEBUG}"

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

inf=$WINEPREFIX/drive_c/windows/inf
mkdir -p "$work/original"
cp "$demo"/c/WINDOWS/INF/*.INF "$work/original/"
cp -r "$demo/disk" "$work/disk"
layout=$work/disk/layout.ini

# The lines of a section of a profile file, without comments and blank lines.
section() { # file, name
    awk -v want="$(echo "$2" | tr 'A-Z' 'a-z')" '
        { sub(/\r$/, "") }
        /^[ \t]*\[/ { name = $0; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
                      inside = (tolower(name) == want); next }
        inside && /=/ && !/^[ \t]*;/ { print }' "$1"
}

# The demo disk's [950] and [950A] name the same line, so nothing the demo
# does shows which of them an install walked. The session's copy of the disk
# gives each release-tag section one more line, which merges a fragment of
# that section's own into RELEASE.INF. That file and the fragments hold only
# section headers and "key=value" lines, which Wine's profile writer keeps,
# so this is the one merge the program completes under Wine, and afterwards
# RELEASE.INF names each section that was walked.
crlf() { printf '%s\r\n' "$@"; }
crlf '[Version]' 'Signature=$CHICAGO$' 'Class=Release' >"$work/original/RELEASE.INF"
for tag in 950 950A 950B; do
    crlf '[Release]' "$tag=walked" >"$work/disk/R$tag.QTR"
done
awk '{ print }
     /^\[(950|950A|950B)\]\r?$/ { tag = $0; sub(/^\[/, "", tag); sub(/\]\r?$/, "", tag)
                                 printf "RELEASE.INF=R%s.QTR,RELEASE.QBK\r\n", tag }' \
    "$demo/disk/layout.ini" >"$layout"

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
all_keys_present() { test "$(keys_present)" -eq "$(device_keys | wc -l)"; }

# The demo disk's own install lines that an install with the release tag
# walks, as "INF FRAGMENT BACKUP".
targets() { # release tag
    { section "$demo/disk/layout.ini" COMMON; section "$demo/disk/layout.ini" "$1"; \
      section "$demo/disk/layout.ini" "USB INF"; } | sed 's/[=,]/ /g'
}

# Every session starts from the demo's INF files, RELEASE.INF as made above,
# no backups, no work files, and the device keys in Wine's registry.
prepare_session() { # release tag
    local backup
    cp "$work"/original/*.INF "$inf/"
    rm -f "$inf/RELEASE.QBK" "$inf"/~QM*.TMP
    while read -r _ _ backup; do
        rm -f "$inf/$backup"
    done < <(targets "$1")
    add_device_keys
}

# The text of the last message box the program showed, as Wine's trace
# writes it: L"..." with a line break as \n.
last_message() { grep -a 'trace:msgbox:MSGBOX_OnInit' "$log" | tail -n 1 | sed 's/^.*MSGBOX_OnInit //'; }
says() { # the start of the text the last message box shows
    local shown
    shown=$(last_message)
    [[ $shown == "L\"$1"* ]] && return 0
    say "        the message box shows $shown"
    return 1
}

wait_window() { # name pattern, seconds: prints the id of the shown window
    local end=$((SECONDS + $2)) id
    while [ $SECONDS -lt "$end" ]; do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
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
start_setup() { # Wine's version name
    # A copy left running by a session that failed goes first.
    if [ -n "${setup:-}" ] && kill -0 "$setup" 2>/dev/null; then
        wineserver -k >/dev/null 2>&1
        wait "$setup" 2>/dev/null
    fi
    wine reg add 'HKCU\Software\Wine\AppDefaults\setup.exe' /v Version /d "$1" /f >/dev/null 2>&1
    log=$work/setup-$1.log
    (cd "$work/disk" && exec wine "$exe") >"$log" 2>&1 &
    setup=$!
}
ended_with_0() { # seconds to wait for setup.exe to end
    local end=$((SECONDS + $1))
    while [ $SECONDS -lt "$end" ]; do
        kill -0 "$setup" 2>/dev/null || break
        sleep 0.2
    done
    ! kill -0 "$setup" 2>/dev/null && wait "$setup"
}

# The start of each message's text, from the program's string table.
incomplete='The update is incomplete: some Windows INF files could not be changed.\n'
no_uninstall='There were no uninstall files exist.\nUninstall function was unable to proceed.'
quit_question='Quit this program?'
windows95_only='This program runs under Windows 95 system only.'

caption=$(section "$layout" LAYOUT | sed -n 's/^CAPTION=//p')
caption_pattern="^Quentor - ${caption}\$"

# One session of the demo disk with Wine reporting a version of the Windows 95
# family, whose version record gives the program the release tag expected.
session() { # Wine's version name, the version's own name, the release tag
    local version=$1 tag=$3
    label="$2: "
    prepare_session "$tag"
    check "the $(device_keys | wc -l) device keys are in Wine's registry before Install" \
        test "$(device_keys | wc -l)" -gt 0 -a "$(keys_present)" -eq "$(device_keys | wc -l)"

    start_setup "$version"
    check "the window appears with the caption \"Quentor - $caption\" from layout.ini" \
        wait_window_quietly "$caption_pattern" 60

    # Install: the first item has the focus frame. The demo's work files
    # come back from Wine's profile writer without their lines that have no
    # "=", so the install stops with its stop message and changes none of
    # the demo's files.
    check "Install shows its progress window, then \"The update is incomplete: ...\" (answered OK)" \
        run_command "" Return "$incomplete"
    check "Install walked [$tag], the section of the release tag $tag, and no other: RELEASE.INF got its fragment alone, RELEASE.QBK holds the file as it was" \
        walked "$tag"
    check "Install left the demo's INF files byte for byte as they were, with no backup and no work file" \
        demo_unchanged "$tag"
    check "Install deleted no device key" all_keys_present

    check "Uninstall says \"There were no uninstall files exist. ...\" over its progress window (answered OK)" \
        uninstall_nothing
    check "Uninstall changed no INF file and deleted no device key" \
        uninstalled_nothing "$tag"

    check "Quit asks \"$quit_question\" over the open window (answered Yes)" quit_asks
    check "the window closed and setup.exe ended with status 0" closed_ok
}

# A command chosen from the main window: its progress window comes and goes
# after its five seconds, then a message box says its text; answer it with
# key.
run_command() { # moves, key for the message box, the start of its text
    local moves=$1 answer=$2 text=$3 main box
    main=$(wait_window "$caption_pattern" 5) || return 1
    for move in $moves; do
        press "$main" "$move"
    done
    press "$main" Return
    wait_window '^In Process\.\.\.$' 20 >/dev/null || return 1
    wait_gone '^In Process\.\.\.$' 30 || return 1
    box=$(wait_window '^corvane$' 20) || return 1
    says "$text" || return 1
    press "$box" "$answer"
    wait_gone '^corvane$' 10
}
walked() { # release tag
    local fine=0 lines
    lines=$(section "$inf/RELEASE.INF" Release | tr -d ' \t' | paste -sd' ')
    if [ "$lines" != "$1=walked" ]; then
        say "        RELEASE.INF's [Release] holds \"$lines\""
        fine=1
    fi
    if ! cmp -s "$inf/RELEASE.QBK" "$work/original/RELEASE.INF"; then
        say "        RELEASE.QBK is not RELEASE.INF as it was"
        fine=1
    fi
    return "$fine"
}
demo_unchanged() { # release tag
    local target backup fine=0
    while read -r target _ backup; do
        cmp "$inf/$target" "$work/original/$target" || fine=1
        if [ -e "$inf/$backup" ]; then
            say "        the backup $backup was made of a file that stayed as it was"
            fine=1
        fi
    done < <(targets "$1")
    if compgen -G "$inf/~QM*.TMP" >/dev/null; then
        say "        work files are left in the INF directory"
        fine=1
    fi
    return "$fine"
}

# Uninstall with no backups of the demo's files: its message comes over the
# progress window, which then steps on for five seconds and closes.
uninstall_nothing() {
    local main box
    main=$(wait_window "$caption_pattern" 5) || return 1
    press "$main" Down
    press "$main" Return
    wait_window '^In Process\.\.\.$' 20 >/dev/null || return 1
    box=$(wait_window '^corvane$' 20) || return 1
    xdotool search --onlyvisible --name '^In Process\.\.\.$' >/dev/null 2>&1 || return 1
    says "$no_uninstall" || return 1
    press "$box" Return
    wait_gone '^corvane$' 10 || return 1
    wait_gone '^In Process\.\.\.$' 30
}
uninstalled_nothing() { # release tag
    demo_unchanged "$1" >/dev/null && walked "$1" >/dev/null && all_keys_present
}

# Quit is the fourth item, two below Uninstall (the focus frame stays on
# Uninstall).
quit_asks() {
    local main box
    main=$(wait_window "$caption_pattern" 5) || return 1
    press "$main" Down
    press "$main" Down
    press "$main" Return
    box=$(wait_window '^corvane$' 20) || return 1
    says "$quit_question" || return 1
    # The question is up and the window still open until it is answered.
    xdotool search --onlyvisible --name "$caption_pattern" >/dev/null 2>&1 || return 1
    press "$box" y
}
closed_ok() { ended_with_0 20 && wait_gone "$caption_pattern" 5; }

# Windows 10 is no system of the Windows 95 family: the program says so and
# ends; its window, made before the platform test, is never shown.
refused() {
    local box
    box=$(wait_window '^corvane$' 60) || return 1
    says "$windows95_only" || return 1
    if xdotool search --onlyvisible --name "$caption_pattern" >/dev/null 2>&1; then
        say "        the window is shown"
        return 1
    fi
    press "$box" Return
    ended_with_0 20
}

session win95 "Windows 95" 950
session win98 "Windows 98" 950A
label="Windows 10: "
start_setup win10
check "the program says \"$windows95_only\" and ends with status 0 (answered OK); its window is never shown" \
    refused
label=

say "run took $((SECONDS - started)) s, prefix creation included"
if [ "$failures" -ne 0 ]; then
    say "$failures check(s) failed; files in $work"
    exit 1
fi
say "all checks passed"
