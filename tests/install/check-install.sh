#!/usr/bin/env bash
# Installs the built tree into a temporary folder as the package does and
# checks what a desktop and a user see of it: the program folder with its
# template and help, the command links into it, the desktop entry, icons,
# metainfo and manual pages, and that tarnvue-render started through its link
# finds its folder and renders a chart.
#   check-install.sh BUILD_DIR DEMODB_PROGRAM
set -uo pipefail
build=$1
demodb=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$stage/install.log" 2>&1; then
    cat "$stage/install.log"
    fail "cmake --install failed"
    exit 1
fi

program=$stage/opt/norvane/tarnvue
for file in tarnvue tarnvue-render; do
    [ -x "$program/$file" ] || fail "$program/$file is not an installed program"
    link=$stage/usr/bin/$file
    [ -L "$link" ] || { fail "/usr/bin/$file is not a link"; continue; }
    target=$(readlink "$link")
    [ "$target" = "../../opt/norvane/tarnvue/$file" ] || fail "/usr/bin/$file links to $target"
    [ -x "$link" ] || fail "/usr/bin/$file does not lead to the program"
done
[ -s "$program/Pollwatch.Template" ] || fail "the database template is missing"
[ -s "$program/Help/default.htm" ] || fail "the help pages are missing"
[ -e "$program/Pollwatch.cfg" ] && fail "a database was installed"
found=$(find "$stage" -name 'tarnvue-demodb*' -o -name 'test_*' -o -name 'tarnvue-bench*' -o -name 'tarnvue-iconpng*')
[ -z "$found" ] || fail "build tools were installed: $found"

share=$stage/usr/share
desktop=$share/applications/tarnvue.desktop
[ -f "$desktop" ] || fail "the desktop entry is missing"
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
metainfo=$share/metainfo/com.norvane.tarnvue.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$stage/appstream.log" 2>&1 ||
    { cat "$stage/appstream.log"; fail "the metainfo does not validate"; }
[ -f "$share/icons/hicolor/scalable/apps/tarnvue.svg" ] || fail "the scalable icon is missing"
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/tarnvue.png
    file -b "$png" | grep -q "PNG image data, $size x $size" || fail "icon $png is not a ${size}x${size} PNG"
done
for page in tarnvue.1 tarnvue-render.1; do
    gzip -t "$share/man/man1/$page.gz" 2>/dev/null || fail "manual page $page.gz is missing or not compressed"
done

# Started through its link, with no hint where it lives and settings of its
# own: it reads the database beside the real program.
"$demodb" --days 2 --recent-days 2 --nodes 3 --core-nodes 1 -o "$program/Pollwatch.cfg" >/dev/null ||
    fail "cannot make the demo database"
run() {
    env -u TARNVUE_PROGRAM_DIR -u TARNVUE_DATABASE HOME="$stage/home" XDG_CONFIG_HOME="$stage/home/.config" \
        "$@"
}
if run "$stage/usr/bin/tarnvue-render" -N 1 --period last30days -o "$stage/week.png"; then
    file -b "$stage/week.png" | grep -q "PNG image data" || fail "the rendered chart is not a PNG"
else
    fail "tarnvue-render through its link did not render"
fi
# With the database elsewhere, named by TARNVUE_DATABASE.
mv "$program/Pollwatch.cfg" "$stage/elsewhere.cfg"
if run env TARNVUE_DATABASE="$stage/elsewhere.cfg" "$stage/usr/bin/tarnvue-render" -N 1 -o "$stage/day.csv"; then
    grep -q "Average Response Time" "$stage/day.csv" || fail "the data written is not the chart's"
else
    fail "tarnvue-render did not read TARNVUE_DATABASE"
fi
# With none at all it says where it looked.
if run "$stage/usr/bin/tarnvue-render" -N 1 -o "$stage/none.png" 2>"$stage/none.log"; then
    fail "tarnvue-render rendered without a database"
fi
grep -q "TARNVUE_DATABASE: not set" "$stage/none.log" || { cat "$stage/none.log"; fail "the places looked at are not named"; }

[ "$failures" -eq 0 ] && echo "install tree: all checks passed"
exit $((failures > 0))
