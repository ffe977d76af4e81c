#!/usr/bin/env bash
# Builds the Debian package as `make package` does, checks it with lintian
# as a Debian maintainer would, unpacks it into a scratch root as dpkg would
# install it, and starts the installed programs from there: offscreen, and
# (with Xvfb) through the desktop entry with a file the way a file manager
# hands it over.
# Usage: deb_package.sh PACKAGE_BUILD_DIR SCRATCH_DIR VERSION
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=$1 scratch=$2 version=$3
for tool in dpkg-deb dpkg-shlibdeps dpkg-buildflags lintian readelf desktop-file-validate appstreamcli groff \
            update-mime-database gio; do
    need "$tool"
done

arch=$(dpkg --print-architecture)
deb="$build/tarko_${version}_${arch}.deb"
bash "$(dirname "$0")/../../packaging/build-deb.sh" "$build" >/dev/null || fail "packaging/build-deb.sh"
[ -f "$deb" ] || fail "no $deb"

# lintian: no error or warning, and the hardening of Debian's build flags
# (reported only as information) in place. Overrides with their reason are
# in packaging/debian/lintian-overrides.
rc=0
report=$(lintian -I --pedantic --fail-on error,warning "$deb" 2>&1) || rc=$?
bad=$(grep -E '^[EW]: |^I: [^ ]+ hardening-' <<<"$report" || true)
[ -z "$bad" ] || fail "lintian finds faults in $deb (fix them, or override a false positive with its reason in packaging/debian/lintian-overrides):
$bad"
[ $rc -eq 0 ] || fail "lintian could not check $deb (exit status $rc): $report"
grep -E '^[IPX]: ' <<<"$report" || true

# Dependencies: the Qt libraries found by dpkg-shlibdeps, plus what is
# loaded at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6gui6 libqt6printsupport6 libqt6core6 libc6 fonts-liberation fonts-dejavu-core \
           qt6-translations-l10n; do
    grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = tarko ] || fail "package name"
dpkg-deb -c "$deb" | grep -q '\./usr/lib/debug' && fail "debug files in the package"

rm -rf "$scratch"
mkdir -p "$scratch/root"
dpkg-deb -x "$deb" "$scratch/root"
check_tree "$scratch/root/usr"
# Stripped as dh_strip strips (this lintian no longer reports .comment).
for program in tarko tarko-run; do
    ! readelf -SW "$scratch/root/usr/bin/$program" | grep -qE '\.comment|\.symtab' \
        || fail "$program keeps .comment or its symbol table"
done

# A double-click in a file manager: the desktop launcher turns the file's URL
# into a local path for %f and starts tarko with it.
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    skip "package checked, but not its desktop launch: Xvfb or xdotool is missing (scripts/setup.sh installs them)"
fi
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
xvfb=$!
pids=()
# (A program the launcher started is nobody's child: it is found by its file.)
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    pkill -f -- "$scratch/a b/" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$scratch/display")

mkdir -p "$scratch/a b"
printf 'Ausgabe "Hallo"\r\n' > "$scratch/a b/Übung ä.trk"
url=$(file_url "$scratch/a b/Übung ä.trk")
desktop="$scratch/root/usr/share/applications/de.brimwold.Tarko.desktop"

# window_with_title TITLE: prints the id of the window with this caption
# once it appears.
window_with_title() {
    local id
    for _ in $(seq 150); do
        for id in $(xdotool search --name '^Tarko - ' 2>/dev/null); do
            [ "$(xdotool getwindowname "$id")" = "$1" ] && { echo "$id"; return 0; }
        done
        sleep 0.2
    done
    return 1
}

export XDG_CONFIG_HOME="$scratch/config" PATH="$scratch/root/usr/bin:$PATH"
export LANG=C.UTF-8
unset QT_QPA_PLATFORM   # a real window, even when the caller runs the rest offscreen
for how in launcher path url; do
    case $how in
        launcher) gio launch "$desktop" "$url" ;;
        path) tarko "$scratch/a b/Übung ä.trk" & pids+=($!) ;;
        url) tarko "$url" & pids+=($!) ;;
    esac
    window=$(window_with_title "Tarko - Übung ä") || fail "tarko did not open the program ($how)"
    # The launcher detaches the program: the window tells whose it is.
    pid=$(xdotool getwindowpid "$window")
    pids+=("$pid")
    kill "$pid"
    if [ $how != launcher ]; then
        wait "$pid" || true
    else
        while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
    fi
done
echo "package $deb complete; it opens a program from the desktop entry, by path and by URL"
