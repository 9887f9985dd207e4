#!/usr/bin/env bash
# The RTF report read by a real word processor: fluvex-cli writes the report of three generated
# lines with non-ASCII names, LibreOffice converts it to PDF, and poppler's tools check that it has
# three pages, each with its line's name and one picture of the section's size.
# Two reports written at once must each hold their own pictures.
# The reading skips (exit 77) when LibreOffice or poppler-utils are missing; scripts/install-deps
# installs them. KEEP=DIR keeps the report, the PDF and its pages as PNG pictures in DIR.
set -u
cli=$1
synth=$2
demo_ini=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export FLUVEX_DATA_DIR=$work/data FLUVEX_CONFIG_DIR=$work/config FLUVEX_CACHE_DIR=$work/cache
unset FLUVEX_PROJECT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Three crossings of the demo river as plain instrument files, renamed after lines with accents,
# a Nordic letter and Greek.
sed -e 's/^Lines = .*/Lines = 3/' -e 's/^LineFiles = .*/LineFiles = none/' "$demo_ini" >"$work/survey.ini"
"$synth" "$work/survey.ini" "$work/survey" >/dev/null || { echo "FAIL the survey was not generated"; exit 1; }
names=("Café crossing" "Müller Brücke" "Ørsund Δέλτα")
files=()
for i in 0 1 2; do
    mv "$work/survey/demo_00$((i + 1)).PD0" "$work/survey/${names[$i]}.PD0"
    files+=("$work/survey/${names[$i]}.PD0")
done

"$cli" export rtf --out "$work/out" "${files[@]}" 2>"$work/err" || { fail "export rtf"; cat "$work/err"; exit 1; }
report=$work/out/${names[0]}.rtf
[ -s "$report" ] || { fail "no report at $report"; ls -R "$work/out"; exit 1; }
[ -z "$(ls -A "$work/cache" 2>/dev/null)" ] || fail "the report left files in the scratch folder: $(ls "$work/cache")"

# Two reports at once, of different velocity components, are each what it is when written alone.
for component in 0 1; do
    "$cli" --set GraphOptions.Velocity=$component export rtf --out "$work/together$component" "${files[@]}" 2>/dev/null &
done
wait
for component in 0 1; do
    "$cli" --set GraphOptions.Velocity=$component export rtf --out "$work/alone$component" "${files[@]}" 2>/dev/null
    cmp -s "$work/alone$component/${names[0]}.rtf" "$work/together$component/${names[0]}.rtf" ||
        fail "the report of component $component written beside another differs from it written alone"
done
cmp -s "$work/alone0/${names[0]}.rtf" "$work/alone1/${names[0]}.rtf" && fail "the components' reports are the same"

for tool in soffice pdfinfo pdftotext pdfimages; do
    if ! command -v "$tool" >/dev/null; then
        [ "$failures" -eq 0 ] || exit 1
        echo "SKIP: $tool is missing, so the report was not read back (LibreOffice writer and poppler-utils read it)"
        exit 77
    fi
done

# A private LibreOffice profile, so that the check neither waits for nor changes a user's own.
timeout 180 soffice -env:UserInstallation="file://$work/lo-profile" --headless --convert-to pdf \
    --outdir "$work/pdf" "$report" >"$work/soffice.log" 2>&1
pdf=$work/pdf/${names[0]}.pdf
[ -s "$pdf" ] || { fail "LibreOffice wrote no PDF"; cat "$work/soffice.log"; exit 1; }

pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" = 3 ] || fail "the PDF has $pages pages, expected 3"
for page in 1 2 3; do
    text=$(pdftotext -f "$page" -l "$page" "$pdf" -)
    grep -qF "${names[$((page - 1))]}.PD0" <<<"$text" || fail "page $page lacks its heading: $text"
done
# Per image: page number, width, height and encoding, after the two header lines.
images=$(pdfimages -list "$pdf" | awk 'NR > 2 {print $1, $4, $5, $3}')
expected=$'1 650 400 image\n2 650 400 image\n3 650 400 image'
[ "$images" = "$expected" ] || fail "pictures per page (page width height type): $images"

if [ -n "${KEEP:-}" ]; then
    mkdir -p "$KEEP"
    cp "$report" "$pdf" "$KEEP"/
    command -v pdftoppm >/dev/null && pdftoppm -r 60 -png "$pdf" "$KEEP/page"
    echo "kept in $KEEP"
fi
[ "$failures" -eq 0 ] && echo "ok   the report of three lines reads as three pages with their headings and pictures"
exit $((failures > 0))
