#!/usr/bin/env bash
# Checks the Debian package (the one given, or a fresh one from scripts/package.sh): its files,
# its computed dependencies, its desktop entry and metainfo, and that the unpacked program runs
# a transfer to its end. With --install (as root) it also installs the package on this machine,
# runs the installed program, removes the package again and checks that nothing is left.
set -euo pipefail
cd "$(dirname "$0")/../.."

install=0
if [ "${1:-}" = --install ]; then
    install=1
    shift
fi
package=$(realpath "${1:-$(scripts/package.sh | tee /dev/stderr | tail -n 1)}")

work=$(mktemp -d)
installed_here=0
cleanup() {
    if [ "$installed_here" -eq 1 ] && dpkg-query -W -f='${Status}' quillfen 2>/dev/null | grep -q "ok installed"; then
        apt-get remove -y -qq quillfen >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() { # description, command...
    local description=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $description" >&2
    fi
}

# Runs a validator and prints what it says; both pass files that draw hints or pedantic remarks,
# so only a run that says nothing but its success line counts.
reports_nothing() { # command...
    local output
    output=$("$@" 2>&1) && ! grep -vE '^(.*Validation was successful\.)?$' <<<"$output" >&2
}

# Runs `program` on a store of its own with one entry that moves *.txt files at once, and
# checks that the files moved and that the log landed in `log_folder`.
runs_a_transfer() { # program, sandbox, log folder
    local program=$1 sandbox=$2 log_folder=$3
    mkdir -p "$sandbox/config/Quillfen" "$sandbox/data" "$sandbox/from" "$sandbox/runtime"
    chmod 700 "$sandbox/runtime"
    echo one >"$sandbox/from/a.txt"
    echo two >"$sandbox/from/b.txt"
    touch -d '3 hours ago' "$sandbox/from/a.txt" "$sandbox/from/b.txt"
    printf '[AppSettings]\nsc_Files=1\nsc_File1=*.txt\nsc_Path1=%s/from/\nsc_Dest1=%s/to/\nsc_Move1=1\nTimer=0\nAutoStart=1\n' \
        "$sandbox" "$sandbox" >"$sandbox/config/Quillfen/Quillfen.conf"
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$sandbox/config" XDG_DATA_HOME="$sandbox/data" \
        XDG_STATE_HOME="$sandbox/state" XDG_RUNTIME_DIR="$sandbox/runtime" timeout 60 "$program" \
        2>"$sandbox/stderr" || {
        cat "$sandbox/stderr" >&2
        return 1
    }
    [ -f "$sandbox/to/a.txt" ] && [ -f "$sandbox/to/b.txt" ] && [ ! -e "$sandbox/from/a.txt" ] &&
        [ "$(grep -c 'Move File successful' "$log_folder/filelog.txt")" -eq 2 ]
}

# Every long option that the program's --help lists appears in the manual page.
names_every_option() { # manual page, program
    local manual options
    manual=$(zcat "$1" | sed 's/\\-/-/g')
    options=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$2" --help | grep -oE -- '--[a-z]+' | grep -v -- '--help-all')
    [ -n "$options" ] && while read -r option; do grep -q -- "$option" <<<"$manual" || return 1; done <<<"$options"
}

# The package as built.
root="$work/root"
dpkg-deb -x "$package" "$root"
expected="usr/bin/quillfen
usr/share/applications/com.marivale.quillfen.desktop
usr/share/doc/quillfen/changelog.gz
usr/share/doc/quillfen/copyright
usr/share/icons/hicolor/256x256/apps/com.marivale.quillfen.png
usr/share/icons/hicolor/scalable/apps/com.marivale.quillfen.svg
usr/share/man/man1/quillfen.1.gz
usr/share/metainfo/com.marivale.quillfen.metainfo.xml"
check "the package holds exactly the program, its entry, icons, manual page, metainfo, changelog and copyright" \
    test "$(cd "$root" && find . -type f | sed 's|^\./||' | sort)" = "$expected"
version=$(sed -n 's/^project(Quillfen VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
check "the package's version is the project's ($version)" test "$(dpkg-deb -f "$package" Version)" = "$version"
depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
for library in libc6 libqt6core6 libqt6gui6 libqt6widgets6; do
    check "Depends names $library" grep -q "\\b$library (>= " <<<"$depends"
done
entry="$root/usr/share/applications/com.marivale.quillfen.desktop"
metainfo="$root/usr/share/metainfo/com.marivale.quillfen.metainfo.xml"
check "the desktop entry draws no remark" reports_nothing desktop-file-validate "$entry"
check "the metainfo draws no remark, pedantic ones included" reports_nothing appstreamcli validate --pedantic \
    --no-net "$metainfo"
check "the metainfo launches the desktop entry" grep -q "\"desktop-id\">${entry##*/}</launchable>" "$metainfo"
check "the metainfo's release is the package's version" grep -q "<release version=\"$version\"" "$metainfo"
icon=$(sed -n 's/^Icon=//p' "$entry")
check "Icon=$icon names the installed icons" test -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" -a \
    -f "$root/usr/share/icons/hicolor/256x256/apps/$icon.png"
check "Exec= names the installed program" test -x "$root/usr/bin/$(sed -n 's/^Exec=//p' "$entry")"
lint=$(lintian "$package" 2>&1 || true)
[ -z "$lint" ] || echo "$lint"
check "lintian finds no error and no warning" test -z "$(grep -E '^[EW]: ' <<<"$lint" || true)"
check "the manual page names every option of --help" names_every_option "$root/usr/share/man/man1/quillfen.1.gz" \
    "$root/usr/bin/quillfen"
# Unpacked outside /usr, the program keeps its log beside itself.
check "the unpacked program runs a transfer to its end" runs_a_transfer "$root/usr/bin/quillfen" "$work/unpacked" \
    "$root/usr/bin"

if [ "$install" -eq 1 ]; then
    if dpkg-query -W -f='${Status}' quillfen 2>/dev/null | grep -q "ok installed"; then
        echo "quillfen is already installed on this machine; the install check is left out" >&2
    else
        installed_here=1
        apt-get install -y -qq --no-install-recommends "$package" >/dev/null
        files=$(dpkg-query -L quillfen)
        check "the installed program logs into the per-user folder" runs_a_transfer /usr/bin/quillfen \
            "$work/installed" "$work/installed/data/Quillfen"
        apt-get remove -y -qq quillfen >/dev/null
        check "removing leaves no trace in the package database" \
            test -z "$(dpkg-query -W -f='${Status}' quillfen 2>/dev/null | grep -v not-installed)"
        left=$(while read -r path; do [ -d "$path" ] || [ ! -e "$path" ] || echo "$path"; done <<<"$files")
        check "removing leaves no file behind${left:+: $left}" test -z "$left"
        check "removing leaves no folder of its own" test ! -e /usr/share/doc/quillfen
    fi
fi

echo "package checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
