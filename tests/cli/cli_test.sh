#!/usr/bin/env bash
# Runs fluvex-cli as a user does and checks what it prints and how it exits.
set -u
cli=$1
data=$2
synth=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export FLUVEX_DATA_DIR=$work/data FLUVEX_CONFIG_DIR=$work/config FLUVEX_CACHE_DIR=$work/cache
unset FLUVEX_PROJECT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

check() {  # check NAME EXPECTED_STATUS GREP_PATTERN STREAM -- ARGS...
    local name=$1 expected=$2 pattern=$3 stream=$4
    shift 5
    "$cli" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    if [ "$status" -ne "$expected" ]; then
        fail "$name: exit $status, expected $expected"; cat "$work/err"; return
    fi
    if [ -n "$pattern" ] && ! grep -qzP -- "$pattern" "$work/$stream"; then
        fail "$name: $stream lacks /$pattern/"; cat "$work/$stream"; return
    fi
    echo "ok   $name"
}
json_check() {  # json_check NAME PYTHON_CONDITION -- ARGS...: the condition holds of the JSON r printed
    local name=$1 condition=$2
    shift 3
    "$cli" "$@" >"$work/out" 2>"$work/err"
    /usr/bin/python3 -c "import json,sys; r=json.load(open('$work/out')); sys.exit(not ($condition))" &&
        { echo "ok   $name"; return; }
    fail "$name: not $condition"; cat "$work/out" "$work/err"
}

check set-max-depth 0 '\[GraphOptions\]\n(?:[^[]*\n)?MaxDepth=12\n' out -- --set GraphOptions.MaxDepth=12 settings

check missing-settings-file 0 'does not exist' err -- --settings "$work/none.ini" settings
check missing-project 1 'Invalid Geodesy' err -- --project "$work/missing.ini" settings
check bad-set-value 2 'not a valid value for GraphOptions.MaxDepth' err -- --set GraphOptions.MaxDepth=12.5 settings
check malformed-set 2 'Section.Key=Value' err -- --set MaxDepth settings
check unknown-option 2 'unknown option --bogus' err -- --bogus settings
check unknown-command 2 'unknown command frobnicate' err -- frobnicate
check no-command 2 'no command' err --
check missing-value 2 'needs a value' err -- --settings
# The magnetic model shipped with the program, installed into the settings folder on first use.
check declination 0 '^1\.28148[12]\n$' out -- declination --lat 80 --lon 0 --time 2025-01-01T00:00:00Z
[ -s "$work/config/WMM.COF" ] || fail "WMM.COF not installed"
check declination-bad-time 2 'ISO 8601' err -- declination --lat 0 --lon 0 --time 2025-13-01
pd0=$data/pd0
check info-table 0 'RDI_withBT.000 +1721 +17-17 +earth' out -- info "$pd0/RDI_withBT.000"
check info-missing-file 1 'Cannot open .*/none.pd0: no such file' err -- info "$pd0/RDI_test01.000" "$pd0/none.pd0"
check info-reports-others 1 'RDI_test01.000 +22' out -- info "$pd0/RDI_test01.000" "$pd0/none.pd0"
# Discharge of a river transect against an independent computation of the same method (vertical
# bottom-track ranges, the navigation's boat velocity with the survey's own declination).
total="r['lines'][0]['total']"
json_check discharge-bottom-track "abs($total / 625 - 1) < 0.01" -- discharge --json "$pd0/winriver02_transect.PD0"
check declination-at 0 '^19\.7[0-9]+\n$' out -- declination --at "$pd0/winriver02_transect.PD0"
json_check discharge-navigation "abs($total / 869 - 1) < 0.02" -- --set Corrections.VelReference=2 \
    --set "Corrections.MagDec=$(cat "$work/out")" discharge --json "$pd0/winriver02_transect.PD0"
check declination-warning 0 'MagDec\) is 0.00° while the magnetic model gives 19.73°' err -- \
    --set Corrections.VelReference=2 discharge "$pd0/winriver02_transect.PD0"
# The saved clip border is in force from the start; one that cannot be read is named.
printf '0 0\n0 10\n10 10\n10 0\n0 0\n5 5\n' >"$work/far.brd"
printf '[Discharge]\r\nBorderFile=%s\r\n' "$work/far.brd" >"$work/border.ini"
json_check border-at-start "$total == 0" -- --settings "$work/border.ini" discharge --json "$pd0/winriver02_transect.PD0"
printf '[Discharge]\r\nBorderFile=%s\r\n' "$work/gone.brd" >"$work/gone.ini"
check border-unreadable 0 'Cannot use .*gone\.brd as a clip border' err -- --settings "$work/gone.ini" settings
check ensembles-window 0 '"index": 20' out -- ensembles --json "$pd0/RDI_test01.000" --first 20 --count 5
check ensembles-needs-json 2 'add --json' err -- ensembles "$pd0/RDI_test01.000"
# Written one ensemble at a time: still one JSON array, of the counts asked for.
for count in 0 1 3; do
    json_check ensembles-stream-$count "[e['index'] for e in r] == list(range($count))" -- \
        ensembles --json --processed --count $count "$pd0/RDI_withBT.000"
done
check ensembles-needs-file 2 'needs FILE' err -- ensembles --json
# A survey as the acquisition suite leaves it: a line log, edited files, the raw folder.
printf '[Survey]\nName = s\nLines = 2\n[Track]\nEnsembles = 20\n[Suite]\nLineFiles = kq2\n' >"$work/s.ini"
"$synth" "$work/s.ini" "$work/survey" >/dev/null || fail "synth"
log=$work/survey/s/edit/s.log
check info-log 0 '"name": "s_002.000"(?s).*"planned_points": 2,(?s).*"with_nav_record": 20' out -- info --json "$log"
check ensembles-line 0 '"index": 0,(?s).*"number": 21,' out -- ensembles --json --line 1 --count 1 "$log"
check ensembles-no-line 1 'no line 5: 2 line\(s\) loaded' err -- ensembles --json --line 5 "$log"
# Each kind reaches its writer; what the files hold is checked where they are written.
for kind in csv xyz xyzi xlsx dxf2d dxf3d; do
    check "export-$kind" 0 '' out -- export "$kind" --out "$work/$kind" "$log"
    [ -n "$(ls -A "$work/$kind" 2>/dev/null)" ] || fail "$kind wrote nothing"
done
check export-one-line 0 '' out -- export csv --line 1 --out "$work/one" "$log"
[ -s "$work/one/s_002.csv" ] && [ ! -e "$work/one/s_001.csv" ] || fail "--line"
touch "$work/not-a-folder"
check export-bad-folder 1 'cannot use .* as the output folder' err -- export csv --out "$work/not-a-folder" "$log"
check export-contours 0 'Success\n.*wrote .*s_002\.dxf' err -- export contours --mode vertical --line 1 --out "$work/contours" "$log"
check export-contours-mode 2 'mode horizontal\|vertical' err -- export contours --mode sideways --out "$work/contours" "$log"
check export-usage 2 'csv, xyz, xyzi, xlsx, rtf, dxf2d, dxf3d or contours' err -- export pdf --out "$work/exports" "$log"
# The log's own folder, however it is named.
(cd "$work/survey/s/edit" && "$cli" info s.log >"$work/out" 2>&1 && "$cli" info ./s.log >>"$work/out" 2>&1) &&
    [ "$(grep -c 's_002.000 *20 ' "$work/out")" -eq 2 ] ||
    { fail "log from its folder"; cat "$work/out"; }
# Whatever was asked for and not loaded is named, and the status says so.
long=$(printf 'x%.0s' $(seq 300))
printf 's_002.kq2\n%s/s_002.kq2\n' "$long" >"$work/survey/s/edit/long.log"
check log-long-entry 1 "Failed to load ADCP file matching :.*x{300}/s_002.kq2" err -- info "$work/survey/s/edit/long.log"
printf '\n  \r\n' >"$work/survey/s/edit/blank.log"
check log-blank 1 'line log .*blank.log lists no lines' err -- info "$work/survey/s/edit/blank.log"
check log-absent 1 'Cannot open line log .*none.log: no such file' err -- info "$work/none.log"
(cd "$work" && printf 'sample' >data.ydff && /usr/bin/python3 -c 'import zipfile,sys; z=zipfile.ZipFile("lines.zip","w"); z.write("data.ydff","Line 4/data.ydff")')
check archive-unreadable-line 1 'Cannot (open|read) .*Line 4.ydff.*Line 4/data.ydff of .*lines.zip' err -- info "$work/lines.zip"
rm "$work"/survey/s/raw/s_001.000
check log-missing-raw 1 'Failed to load ADCP file matching :.*s_001_[0-9]+\.kq2 in RAW folder.\nContinue loading files\? Yes' err -- info "$log"
# A name that is not UTF-8 (Latin-1 "cafe" with an acute e) is written replaced in JSON.
cp "$pd0/RDI_test01.000" "$work/caf"$'\xe9'".PD0"
check json-latin1-name 0 '"name": "caf[^"]+\.PD0"' out -- info --json "$work/caf"$'\xe9'".PD0"
iconv -f UTF-8 -t UTF-8 "$work/out" >/dev/null || fail "JSON not UTF-8"
# Two lines of one name: the second file gets its own name.
mkdir -p "$work/a" "$work/b"
cp "$pd0/RDI_test01.000" "$work/a/same.PD0"; cp "$pd0/RDI_test01.000" "$work/b/same.PD0"
cp "$pd0/RDI_test01.000" "$work/a/same.000"
check export-same-names 0 'same.PD0 is written to .*same_2.csv(?s).*same_3.csv' err -- \
    export csv --out "$work/same" "$work/a/same.PD0" "$work/b/same.PD0" "$work/a/same.000"
[ -s "$work/same/same.csv" ] && [ -s "$work/same/same_2.csv" ] && [ -s "$work/same/same_3.csv" ] ||
    { fail "same names"; ls "$work/same"; }
# Outside the model's years or heights: the value, and a warning.
check declination-1900 0 'outside the years 2025.0 to 2030.0' err -- declination --lat 45 --lon 0 --time 1900-01-01
check declination-depth 0 'height of -7000.000 km lies outside' err -- declination --lat 45 --lon 0 --time 2026-01-01 --height -7000
check declination-in-range 0 '' err -- declination --lat 45 --lon 0 --time 2026-01-01 --height 0.1
[ -s "$work/err" ] && fail "declination warns in range"
here=$(dirname "$0")
/usr/bin/python3 "$here/readme_examples.py" "$cli" "$here/../../README.md" "$data" "$here/../../resources/WMM2025.COF" ||
    failures=$((failures + 1))
check help 0 'Usage: fluvex-cli' out -- --help

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
