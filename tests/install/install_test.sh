#!/usr/bin/env bash
# Installs the build into a temporary root as a packager does (DESTDIR and a prefix) and checks
# what a desktop and its tools will read there: the files, the desktop entry, the MIME package
# and how files are then recognised, the manual pages and that they say what --help says.
# usage: install_test.sh BUILD_DIR VERSION TEST_DATA
set -euo pipefail
build=$1 version=$2 data=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in desktop-file-validate update-desktop-database xmllint groff man update-mime-database \
    xdg-mime mimetype; do
    command -v "$tool" >/dev/null || { echo "install_test: $tool is missing (scripts/install-deps)"; exit 1; }
done

# --- install: everything lands under DESTDIR/prefix and nowhere else
prefix=/opt/fluvex
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >"$work/install.log"
root=$stage$prefix
outside=$(find "$stage" -mindepth 1 -not -path "$stage/opt" -not -path "$root" -not -path "$root/*")
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

expected=(
    bin/fluvex bin/fluvex-cli bin/fluvex-synth
    share/fluvex/WMM2025.COF share/fluvex/help/index.html
    share/applications/fluvex.desktop share/mime/packages/fluvex.xml
    share/icons/hicolor/scalable/apps/fluvex.svg
    share/icons/hicolor/48x48/apps/fluvex.png share/icons/hicolor/256x256/apps/fluvex.png
    share/man/man1/fluvex.1 share/man/man1/fluvex-cli.1 share/doc/fluvex/copyright
)
for file in "${expected[@]}"; do
    [ -s "$root/$file" ] || fail "$file is not installed"
done
for size in 48 256; do
    png=$root/share/icons/hicolor/${size}x${size}/apps/fluvex.png
    file "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a $size px PNG"
done
# Asked for its version, no program needs a display.
for program in fluvex fluvex-cli fluvex-synth; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/$program" --version) ||
        fail "$program --version failed"
    [ "$out" = "$program $version" ] || fail "$program --version says '$out', not '$program $version'"
done

# --- desktop entry and MIME package as the desktop's own tools read them
desktop=$root/share/applications/fluvex.desktop
mime_xml=$root/share/mime/packages/fluvex.xml
out=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$out" ] || fail "desktop-file-validate: $out"
xmllint --noout "$mime_xml" || fail "xmllint refuses $mime_xml"

export XDG_DATA_HOME=$work/xdg XDG_CONFIG_HOME=$work/config  # not the user's own choices
mkdir -p "$XDG_DATA_HOME/mime/packages" "$work/files"
cp "$mime_xml" "$XDG_DATA_HOME/mime/packages/"
out=$(update-mime-database "$XDG_DATA_HOME/mime" 2>&1) || fail "update-mime-database failed"
[ -z "$out" ] || fail "update-mime-database: $out"
cp "$data/pd0/RDI_test01.000" "$work/files/L012_1403.000"
cp "$data/pd0/sentinelv_b5.pd0" "$work/files/transect.pd0"
cp "$data/pd0/winriver02.PD0" "$work/files/TRANSECT.PD0"
cp "$data/pd0/RDI_7f79.000" "$work/files/waves.000"  # a waves recording, not PD0 ensembles
head -c 512 "$data/pd0/RDI_test01.000" | tr '\177' '\000' >"$work/files/other.000"
cp "$data/line-files/seed.kq2" "$work/files/L012_1403_0001.kq2"
printf 'L012_1403_0001.kq2\r\nL013_1410_0001.kq2\r\n' >"$work/files/survey.log"
printf 'Dec  7 04:00:01 host started\n' >"$work/files/system.log"
# A file manager offers Fluvex for the types its entry lists, each one the MIME package declares.
mkdir -p "$XDG_DATA_HOME/applications"
cp "$desktop" "$XDG_DATA_HOME/applications/"
update-desktop-database "$XDG_DATA_HOME/applications" 2>/dev/null || fail "update-desktop-database failed"
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
    grep -q "<mime-type type=\"$type\">" "$mime_xml" || fail "$type of fluvex.desktop is not declared"
    got=$(xdg-mime query default "$type")
    [ "$got" = fluvex.desktop ] || fail "xdg-mime opens $type with '$got', not fluvex.desktop"
done
while read -r name type; do
    got=$(xdg-mime query filetype "$work/files/$name")
    [ "$got" = "$type" ] || fail "xdg-mime calls $name $got, not $type"
done <<'EOF'
L012_1403.000 application/x-adcp-pd0
transect.pd0 application/x-adcp-pd0
TRANSECT.PD0 application/x-adcp-pd0
waves.000 application/octet-stream
other.000 application/octet-stream
L012_1403_0001.kq2 application/x-survey-edited-line
survey.log text/x-survey-line-log
system.log text/x-log
EOF

# --- manual pages: no warnings from groff, and every line of --help in the manual
for program in fluvex fluvex-cli; do
    page=$root/share/man/man1/$program.1
    out=$(groff -ww -man -z "$page" 2>&1) || fail "groff failed on $program.1"
    [ -z "$out" ] || fail "groff warns on $program.1: $out"
    out=$(MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null) || fail "man -l failed on $program.1"
    [ -z "$out" ] || fail "man -l warns on $program.1: $out"
    # Compared case-blind, with line breaks, brackets and colons left out (headings become
    # upper case, the usage line the synopsis).
    normalise() { tr '\n' ' ' | tr -d '():' | tr -s ' ' | tr '[:upper:]' '[:lower:]'; }
    manual=$(groff -man -Tascii -P-cbou "$page" 2>/dev/null | normalise)
    while IFS= read -r line; do
        text=$(printf '%s' "${line#Usage: }" | normalise | sed 's/^ //; s/ $//')
        [ -z "$text" ] && continue
        case "$manual" in *"$text"*) ;; *) fail "$program.1 lacks this line of --help: $line" ;; esac
    done < <("$root/bin/$program" --help)
done

[ "$failures" -eq 0 ] || { echo "install_test: $failures failures"; exit 1; }
echo "install_test: all checks passed"
