# Shared by the installation tests: failure and skip reporting, the files
# every installation must hold, and checks on an installed tree.

fail() { echo "FAIL: $*" >&2; exit 1; }
examples=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../resources/examples" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
need() { command -v "$1" >/dev/null || skip "$1 is missing (scripts/setup.sh installs it)"; }

# The files below the prefix (usr) that an installation must hold.
installed_files() {
    echo bin/tarko
    echo bin/tarko-run
    echo share/applications/de.brimwold.Tarko.desktop
    echo share/metainfo/de.brimwold.Tarko.metainfo.xml
    echo share/mime/packages/tarko.xml
    echo share/man/man1/tarko.1.gz
    echo share/man/man1/tarko-run.1.gz
    for f in "$examples"/*.trk; do echo "share/tarko/beispiele/${f##*/}"; done
    echo share/icons/hicolor/scalable/apps/tarko.svg
    echo share/icons/hicolor/scalable/mimetypes/text-x-tarko.svg
    for size in 16 22 24 32 48 64 128 256; do
        echo "share/icons/hicolor/${size}x${size}/apps/tarko.png"
        echo "share/icons/hicolor/${size}x${size}/mimetypes/text-x-tarko.png"
    done
}

# PNG width and height from the IHDR chunk (two big-endian 32-bit numbers).
png_size() {
    local b
    read -ra b < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(( (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3] ))x$(( (b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7] ))"
}

# file:// URL of an absolute path, every byte outside [A-Za-z0-9/._~-] as %XX.
file_url() {
    local LC_ALL=C path=$1 url="file://" c i
    for (( i = 0; i < ${#path}; i++ )); do
        c=${path:i:1}
        case $c in
            [A-Za-z0-9/._~-]) url+=$c ;;
            *) url+=$(printf '%%%02X' "'$c") ;;
        esac
    done
    echo "$url"
}

# check_tree PREFIX: every file present, icons of their nominal size, the
# desktop entry and metainfo valid, the man pages well-formed and complete,
# *.trk known as text/x-tarko, both programs start from there and the
# examples installed unchanged translate.
check_tree() {
    local prefix=$1 f
    while read -r f; do
        [ -f "$prefix/$f" ] || fail "not installed: $f"
    done < <(installed_files)
    for f in "$prefix"/share/icons/hicolor/*x*/*/*.png; do
        local dir=${f#"$prefix"/share/icons/hicolor/}
        [ "$(png_size "$f")" = "${dir%%/*}" ] || fail "$f is $(png_size "$f"), not ${dir%%/*}"
    done

    local out
    out=$(desktop-file-validate "$prefix/share/applications/de.brimwold.Tarko.desktop" 2>&1) \
        || fail "desktop-file-validate: $out"
    ! grep -E 'error:|warning:|hint:' <<<"$out" || fail "desktop-file-validate reports problems"
    grep -qx 'Exec=tarko %f' "$prefix/share/applications/de.brimwold.Tarko.desktop" || fail "Exec line"
    out=$(appstreamcli validate --no-net "$prefix/share/metainfo/de.brimwold.Tarko.metainfo.xml" 2>&1) \
        || fail "appstreamcli validate: $out"

    # The man pages: no groff warnings, German, and every option
    # tarko-run --help names is described.
    local man=$(mktemp) page program run_page
    for program in tarko tarko-run; do
        gzip -dc "$prefix/share/man/man1/$program.1.gz" > "$man"
        out=$(groff -man -ww -z -K utf8 "$man" 2>&1)
        [ -z "$out" ] || fail "groff warnings in the man page of $program: $out"
        page=$(groff -man -Tutf8 -K utf8 "$man" 2>/dev/null | sed 's/.\x08//g; s/‐/-/g; s/−/-/g')
        grep -q 'BESCHREIBUNG' <<<"$page" || fail "man page of $program has no German description"
        if [ $program = tarko-run ]; then run_page=$page; fi
    done
    rm -f "$man"
    local option
    for option in $("$prefix/bin/tarko-run" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "$option" <<<"$run_page" || fail "man page does not describe $option"
    done

    # *.trk is a Tarko program for the desktop's MIME database.
    local scratch
    scratch=$(mktemp -d)
    cp -r "$prefix/share/mime" "$scratch/"
    update-mime-database "$scratch/mime" || fail "update-mime-database"
    mkdir -p "$scratch/a b"
    printf 'Ausgabe "Hallo"\r\n' > "$scratch/a b/Übung ä.trk"
    out=$(XDG_DATA_DIRS="$scratch:/usr/share" gio info -a standard::content-type "$scratch/a b/Übung ä.trk")
    grep -q 'standard::content-type: text/x-tarko' <<<"$out" || fail "*.trk is not text/x-tarko: $out"
    grep -q '<comment>Tarko-Programm</comment>' "$prefix/share/mime/packages/tarko.xml" || fail "MIME comment"

    # Both programs run from the installed tree.
    out=$(QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch/config" timeout 60 \
          "$prefix/bin/tarko" --startup-time "$scratch/a b/Übung ä.trk") || fail "installed tarko did not start"
    grep -q first-paint-since-main-ms <<<"$out" || fail "installed tarko painted nothing: $out"
    out=$(cd "$scratch/a b" && "$prefix/bin/tarko-run" "Übung ä.trk") || fail "installed tarko-run failed"
    [ "$out" = "Hallo" ] || fail "installed tarko-run printed '$out'"
    for f in "$examples"/*.trk; do
        cmp -s "$f" "$prefix/share/tarko/beispiele/${f##*/}" || fail "installed example ${f##*/} differs"
    done
    "$prefix/bin/tarko-run" --check "$prefix"/share/tarko/beispiele/*.trk || fail "installed examples do not translate"
    rm -rf "$scratch"
}
