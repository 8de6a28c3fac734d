#!/usr/bin/env bash
# Takes a screenshot of every window of Quillfen as a user meets it, each at scale 1 on a
# 1024x768 screen and at scale 2 on a 2048x1536 one, in a light theme (Fusion) and a dark one
# (Fusion with the darker palette of qt6ct, as a desktop user sets it): the program runs on a
# sandboxed store under Xvfb and is driven by its keys. The pictures go to build/screenshots/ (or
# the folder given); with --docs the README's are copied into docs/ too.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --variant ]; then
    shift
    variant=$1 scale=$2 theme=$3 out=$4
else
    docs=0
    if [ "${1:-}" = --docs ]; then
        docs=1
        shift
    fi
    out=$(realpath -m "${1:-build/screenshots}")
    packages=(xvfb xauth xdotool imagemagick qt6ct)
    missing=()
    for package in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    [ -n "${QUILLFEN_PROGRAM:-}" ] || scripts/setup.sh build
    mkdir -p "$out"
    for variant in light:1 dark:1 light:2 dark:2; do
        theme=${variant%:*} scale=${variant#*:}
        xvfb-run -a -s "-screen 0 $((1024 * scale))x$((768 * scale))x24 -noreset" \
            "$0" --variant "$theme-$scale" "$scale" "$theme" "$out"
    done
    if [ "$docs" -eq 1 ]; then
        cp "$out/light-1-main.png" docs/screenshot.png
        cp "$out/dark-1-main.png" docs/screenshot-dark.png
        cp "$out/light-2-main.png" docs/screenshot-hidpi.png
        cp "$out/light-1-preview.png" docs/preview.png
        cp "$out/light-1-editor-choices.png" docs/editor-choices.png
        cp "$out/light-1-options-menu.png" docs/options-menu.png
    fi
    echo "Screenshots in $out"
    exit 0
fi

# One variant, on the display xvfb-run made.
program=${QUILLFEN_PROGRAM:-$PWD/build/src/app/quillfen}
sandbox=$(mktemp -d /tmp/quillfen-shots.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/config/Quillfen" "$sandbox/data" "$sandbox/program" "$sandbox/runtime"
chmod 700 "$sandbox/runtime"
cp "$program" "$sandbox/program/quillfen"
export XDG_CONFIG_HOME="$sandbox/config" XDG_DATA_HOME="$sandbox/data" XDG_STATE_HOME="$sandbox/state"
export XDG_RUNTIME_DIR="$sandbox/runtime"
export QT_SCALE_FACTOR=$scale QT_STYLE_OVERRIDE=Fusion
if [ "$theme" = dark ]; then
    mkdir -p "$sandbox/config/qt6ct"
    # The light theme's fonts, so that the two differ in colour alone.
    printf '%s\n' '[Appearance]' 'color_scheme_path=/usr/share/qt6ct/colors/darker.conf' 'custom_palette=true' \
        'style=Fusion' '[Fonts]' 'general="Sans Serif,9"' 'fixed="Monospace,9"' >"$sandbox/config/qt6ct/qt6ct.conf"
    export QT_QPA_PLATFORMTHEME=qt6ct
fi

# Folders and files that read like a user's: a long path shows how the windows cut one.
work="$sandbox/home/alex/Documents/Projects/Harbour renovation/Working notes"
mkdir -p "$work" "$sandbox/home/alex/Archive/Harbour renovation/Notes 2026"
for name in minutes-2026-11-30.txt budget-draft-v7.txt "site visit, north quay.txt" todo.txt; do
    echo "$name" >"$work/$name"
done
touch -d '3 days ago' "$work/minutes-2026-11-30.txt" "$work/budget-draft-v7.txt"
touch -d '2 hours ago' "$work/site visit, north quay.txt"
echo "kept" >"$sandbox/home/alex/Archive/Harbour renovation/Notes 2026/budget-draft-v7.txt"
echo "report" >"$sandbox/home/alex/Documents/Quarterly report.csv"
touch -d '40 days ago' "$sandbox/home/alex/Documents/Quarterly report.csv"

# The store: entries, and (unless `timer` is empty) the countdown, without which the program
# opens its Options window first.
write_store() { # timer, auto-start, then the entries as file|source|destination|move ...
    local timer=$1 auto=$2 n=0
    shift 2
    {
        echo "[AppSettings]"
        for entry in "$@"; do
            n=$((n + 1))
            IFS='|' read -r file source dest move <<<"$entry"
            printf 'sc_File%d=%s\nsc_Path%d=%s\nsc_Dest%d=%s\nsc_Move%d=%s\n' \
                "$n" "$file" "$n" "$source" "$n" "$dest" "$n" "$move"
        done
        echo "sc_Files=$n"
        echo "sc_CompareInterval=1"
        echo "sc_CompareIntType=d"
        echo "AutoStart=$auto"
        [ -z "$timer" ] || echo "Timer=$timer"
    } >"$XDG_CONFIG_HOME/Quillfen/Quillfen.conf"
}
notes="*.txt|$work/|$sandbox/home/alex/Archive/Harbour renovation/Notes 2026/|0"
report="Quarterly report.csv|$sandbox/home/alex/Documents/|$sandbox/home/alex/Archive/Reports/|1"
missing="plan.odt|$sandbox/home/alex/Documents/Old plans/|$sandbox/home/alex/Archive/|1"

# The newest visible window whose title is `title` (a pattern), once it shows.
window() { # title
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1 || true)
        if [ -n "$id" ]; then
            sleep 0.5 # painted
            echo "$id"
            return
        fi
        sleep 0.1
    done
    echo "screenshots.sh: no window \"$1\" in $variant" >&2
    exit 1
}
shot() { # name, window id
    import -window "$2" "$out/$variant-$1.png"
}
# The screen around a window and its open menu: Xvfb's root is black where no window is.
shot_screen() { # name
    import -window root -trim +repage "$out/$variant-$1.png"
}
keys() {
    xdotool key --delay 150 "$@"
    sleep 0.5
}
back_to() { # window id
    xdotool windowfocus --sync "$1"
    sleep 0.3
}
# From the user's home, where the file search opens first.
start() {
    (cd "$sandbox/home/alex" && exec "$sandbox/program/quillfen" 2>/dev/null) &
}

# First start: the Options window, its menu, the preview, the entry editor and the search, undo.
# The notes keep both where a name is taken; the report goes into year/month folders.
write_store "" 1 "$notes" "$report" "$missing"
printf 'sc_Conflict1=1\nsc_DateFolders2=2\n' >>"$XDG_CONFIG_HOME/Quillfen/Quillfen.conf"
start
options=$(window Options)
shot options "$options"
keys F10
shot_screen options-menu
keys Escape F10 p
shot preview "$(window 'Preview of the next run')"
keys Escape
# Without a window manager, a closed window hands the keyboard back to no one.
back_to "$options"
keys alt+a
editor=$(window 'File Selection')
shot editor "$editor"
keys space
shot search "$(window 'Select File')"
keys Escape
back_to "$editor"
# Both choices of an entry, set from the keyboard by their access keys.
keys Tab
xdotool type --delay 50 '*.txt'
keys alt+w Down alt+d Down Down
shot editor-choices "$editor"
keys Escape
back_to "$options"
keys F10 u
shot undo "$(window Quillfen)"
keys Return
back_to "$options"
keys ctrl+a 6 0 alt+s
main=$(window Quillfen)
shot main "$main"
# The main window's keys: from the Options link, Tab to the About link, then Space.
back_to "$main"
keys Tab space
shot about "$(window 'About Quillfen')"
keys Return
kill %1
wait 2>/dev/null || true

# A run that ends at a missing file: the running state, its messages and the report.
write_store 0 1 "$notes" "$missing"
start
window 'Error .*' >/dev/null
shot_screen running
kill %1
wait 2>/dev/null || true

# Undo's question after that run, with a copy changed since: what it would undo, and apart from
# it what it leaves as it is. Then the time of day that Run Daily at… asks for.
echo "changed" >>"$sandbox/home/alex/Archive/Harbour renovation/Notes 2026/minutes-2026-11-30.txt"
write_store "" 1 "$notes" "$missing"
start
options=$(window Options)
keys F10 u
shot undo-question "$(window 'Continue\?')"
keys Escape
back_to "$options"
keys F10 r
shot daily "$(window 'Run Daily at')"
keys Escape
kill %1
wait 2>/dev/null || true
