#!/usr/bin/env bash
# Starts Quillfen. A user without settings yet gets a self-contained demo: a sandbox
# under /tmp with its own settings store, sample files and a copy of the program, which
# counts down, transfers the files, shows its notice and ends; then the log and the
# resulting folders are printed. Otherwise the program starts on the user's settings.
set -euo pipefail

# QUILLFEN_PROGRAM may name another build of the program; otherwise this one is set up
# and built first.
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [[ -z "${QUILLFEN_PROGRAM:-}" ]]; then
    "$repo/scripts/setup.sh" build
fi
program="${QUILLFEN_PROGRAM:-$repo/build/src/app/quillfen}"
if [[ ! -x "$program" ]]; then
    echo "run.sh: $program was not built." >&2
    exit 1
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    # No display: the windows are drawn off screen, the run is the same.
    export QT_QPA_PLATFORM=offscreen
fi

user_store="${XDG_CONFIG_HOME:-$HOME/.config}/Quillfen/Quillfen.conf"
if [[ -f "$user_store" ]] && grep -q '^sc_Files=' "$user_store"; then
    if [[ "${QT_QPA_PLATFORM:-}" == offscreen ]]; then
        echo "run.sh: no display; Quillfen runs unseen on your settings until its run ends." >&2
    fi
    exec "$program"
fi

sandbox="$(mktemp -d /tmp/quillfen-demo.XXXXXX)"
mkdir -p "$sandbox/config/Quillfen" "$sandbox/data" "$sandbox/program" "$sandbox/work"
# The program's folder is where its log lands, so it runs from a copy inside the sandbox.
cp "$program" "$sandbox/program/quillfen"

printf 'Meeting notes\n' >"$sandbox/work/notes.txt"
printf 'First draft\n' >"$sandbox/work/draft.txt"
printf 'month,total\nJanuary,42\n' >"$sandbox/work/report.csv"
printf 'not transferred\n' >"$sandbox/work/image.png"

cat >"$sandbox/config/Quillfen/Quillfen.conf" <<CONF
[AppSettings]
sc_Files=2
sc_File1=*.txt
sc_Path1=$sandbox/work/
sc_Dest1=$sandbox/archive/
sc_Move1=0
sc_File2=report.csv
sc_Path2=$sandbox/work/
sc_Dest2=$sandbox/reports/
sc_Move2=1
sc_CompareInterval=0
sc_CompareIntType=h
Timer=3
AutoStart=1
CONF

echo "Quillfen demo in $sandbox"
echo "  copies work/*.txt to archive/ and moves work/report.csv to reports/ after a 3 second countdown"
echo
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
    mkdir -m 700 "$sandbox/runtime"
    export XDG_RUNTIME_DIR="$sandbox/runtime"
fi
status=0
# The off-screen platform's note about window size hints says nothing about the run.
XDG_CONFIG_HOME="$sandbox/config" XDG_DATA_HOME="$sandbox/data" "$sandbox/program/quillfen" \
    2> >(grep -v 'does not support propagateSizeHints' >&2) || status=$?

echo "== Transfer log: $sandbox/program/filelog.txt"
if [[ -f "$sandbox/program/filelog.txt" ]]; then
    tr -d '\r' <"$sandbox/program/filelog.txt"
else
    echo "(no log was written)"
fi
echo "== Folders after the run"
for folder in work archive reports; do
    echo "$folder/:"
    if [[ -d "$sandbox/$folder" ]]; then
        (cd "$sandbox/$folder" && find . -type f | sed 's|^\./|  |' | sort)
    else
        echo "  (missing)"
    fi
done
exit "$status"
