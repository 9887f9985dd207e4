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

check() {  # check NAME EXPECTED_STATUS GREP_PATTERN STREAM -- ARGS...
    local name=$1 expected=$2 pattern=$3 stream=$4
    shift 5
    "$cli" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "FAIL $name: exit $status, expected $expected"; cat "$work/err"; failures=$((failures + 1)); return
    fi
    if [ -n "$pattern" ] && ! grep -qzP -- "$pattern" "$work/$stream"; then
        echo "FAIL $name: $stream lacks /$pattern/"; cat "$work/$stream"; failures=$((failures + 1)); return
    fi
    echo "ok   $name"
}

check set-max-depth 0 '\[GraphOptions\]\n(?:[^[]*\n)?MaxDepth=12\n' out -- --set GraphOptions.MaxDepth=12 settings
check set-mag-dec 0 '\[Corrections\]\n(?:[^[]*\n)?MagDec=1.5\n' out -- --set Corrections.MagDec=1.5 settings

printf '[GraphOptions]\r\nMaxDepth=12.5\r\n' >"$work/fraction.ini"
check fraction-reads-default 0 '\nMaxDepth=10\n' out -- --settings "$work/fraction.ini" settings
check missing-settings-file 0 'does not exist' err -- --settings "$work/none.ini" settings
check missing-project 1 'Invalid Geodesy' err -- --project "$work/missing.ini" settings
check bad-set-value 2 'not a valid value for GraphOptions.MaxDepth' err -- --set GraphOptions.MaxDepth=12.5 settings
check unknown-setting 2 'unknown setting' err -- --set Nope.Key=1 settings
check malformed-set 2 'Section.Key=Value' err -- --set MaxDepth settings
check unknown-option 2 'unknown option --bogus' err -- --bogus settings
check unknown-command 2 'unknown command frobnicate' err -- frobnicate
check no-command 2 'no command' err --
check missing-value 2 'needs a value' err -- --settings
# The magnetic model shipped with the program, installed into the settings folder on first use.
check declination 0 '^1\.28148[12]\n$' out -- declination --lat 80 --lon 0 --time 2025-01-01T00:00:00Z
check declination-installs-model 0 '' out -- declination --lat 0 --lon 120 --time 2025-01-01
[ -s "$work/config/WMM.COF" ] || { echo "FAIL WMM.COF not installed"; failures=$((failures + 1)); }
check declination-bad-time 2 'ISO 8601' err -- declination --lat 0 --lon 0 --time 2025-13-01
check declination-missing 2 'needs --at FILE, or --lat, --lon and --time' err -- declination --lat 0
check declination-bad-cof 1 'nowhere.cof' err -- declination --lat 0 --lon 0 --time 2025-01-01 --cof "$work/nowhere.cof"
pd0=$data/pd0
check info-json 0 '"ensembles": 831' out -- info --json "$pd0/winriver02_transect.PD0"
check info-table 0 'RDI_withBT.000 +1721 +17-17 +earth' out -- info "$pd0/RDI_withBT.000"
check info-missing-file 1 'Cannot open .*/none.pd0: no such file' err -- info "$pd0/RDI_test01.000" "$pd0/none.pd0"
check info-reports-others 1 'RDI_test01.000 +22' out -- info "$pd0/RDI_test01.000" "$pd0/none.pd0"
# Discharge of a river transect against an independent computation of the same method (vertical
# bottom-track ranges, the navigation's boat velocity with the survey's own declination).
within() {  # within NAME EXPECTED PERCENT -- ARGS...: the total of discharge --json
    local name=$1 expected=$2 percent=$3
    shift 4
    "$cli" "$@" discharge --json "$pd0/winriver02_transect.PD0" >"$work/out" 2>"$work/err"
    if /usr/bin/python3 -c "import json,sys; t=json.load(open('$work/out'))['lines'][0]['total']; sys.exit(abs(t/$expected-1)*100>$percent)"; then
        echo "ok   $name"
    else
        echo "FAIL $name: not within $percent % of $expected"; cat "$work/out"; failures=$((failures + 1))
    fi
}
within discharge-bottom-track 625 1 --
check declination-at 0 '^19\.7[0-9]+\n$' out -- declination --at "$pd0/winriver02_transect.PD0"
within discharge-navigation 869 2 -- --set Corrections.VelReference=2 --set "Corrections.MagDec=$(cat "$work/out")"
check declination-warning 0 'MagDec\) is 0.00° while the magnetic model gives 19.73°' err -- \
    --set Corrections.VelReference=2 discharge "$pd0/winriver02_transect.PD0"
# A reference the data cannot give falls back and says so; one that a later file gives is kept.
check reference-falls-back 0 'Velocity reference set to Bottom Track: this survey has no navigation' err -- \
    --set Corrections.VelReference=2 discharge "$pd0/RDI_withBT.000"
"$cli" --set Corrections.VelReference=1 ensembles --json --processed --line 1 --count 1 \
    "$pd0/RDI_test01.000" "$pd0/winriver02.PD0" >"$work/out" 2>"$work/err"
if grep -q 'reference set to' "$work/err" ||
    ! /usr/bin/python3 -c "import json,sys; sys.exit(json.load(open('$work/out'))[0]['reference'] == [0, 0, 0, 0])"; then
    echo "FAIL reference-from-every-file"; cat "$work/err"; failures=$((failures + 1))
else
    echo "ok   reference-from-every-file"
fi
# The saved clip border is in force from the start; one that cannot be read is named and kept.
printf '0 0\n0 10\n10 10\n10 0\n0 0\n5 5\n' >"$work/far.brd"
printf '[Discharge]\r\nBorderFile=%s\r\n' "$work/far.brd" >"$work/border.ini"
"$cli" --settings "$work/border.ini" discharge --json "$pd0/winriver02_transect.PD0" >"$work/out" 2>"$work/err"
if /usr/bin/python3 -c "import json,sys; sys.exit(json.load(open('$work/out'))['lines'][0]['total'] != 0)"; then
    echo "ok   border-at-start"
else
    echo "FAIL border-at-start: the far border does not clip"; cat "$work/out" "$work/err"; failures=$((failures + 1))
fi
printf '[Discharge]\r\nBorderFile=%s\r\n' "$work/gone.brd" >"$work/gone.ini"
check border-unreadable 0 'Cannot use .*gone\.brd as a clip border' err -- --settings "$work/gone.ini" settings
check border-kept 0 'BorderFile=.*gone\.brd' out -- --settings "$work/gone.ini" settings
check declination-at-no-position 1 'RDI_test01.000: No position' err -- declination --at "$pd0/RDI_test01.000"
check ensembles-window 0 '"index": 20' out -- ensembles --json "$pd0/RDI_test01.000" --first 20 --count 5
check ensembles-processed 0 '"processed"' out -- ensembles --json --processed "$pd0/RDI_withBT.000" --count 1
check ensembles-needs-json 2 'add --json' err -- ensembles "$pd0/RDI_test01.000"
check ensembles-needs-file 2 'needs FILE' err -- ensembles --json
# A survey as the acquisition suite leaves it: a line log, edited files, the raw folder.
printf '[Survey]\nName = s\nLines = 2\n[Track]\nEnsembles = 20\n[Suite]\nLineFiles = kq2\n' >"$work/s.ini"
"$synth" "$work/s.ini" "$work/survey" >/dev/null || { echo "FAIL synth"; failures=$((failures + 1)); }
log=$work/survey/s/edit/s.log
check info-log 0 '"name": "s_002.000"(?s).*"planned_points": 2,(?s).*"with_nav_record": 20' out -- info --json "$log"
check info-log-table 0 '\n1 +s_002.000 +20 ' out -- info "$log"
check ensembles-line 0 '"index": 0,(?s).*"number": 21,' out -- ensembles --json --line 1 --count 1 "$log"
check ensembles-no-line 1 'no line 5: 2 line\(s\) loaded' err -- ensembles --json --line 5 "$log"
check discharge-report 0 'Units: m³/s(?s).*\ns_001.000 +[0-9]+\.[0-9]{2}  ' out -- discharge "$log"
check discharge-json 0 '"ensembles": 20(?s).*"unit": "m³/s"' out -- discharge --json "$log"
for kind in csv xyz xyzi xlsx; do
    check "export-$kind" 0 '' out -- export "$kind" --out "$work/exports" "$log"
done
[ -s "$work/exports/s_002.csv" ] && [ -s "$work/exports/s.xlsx" ] ||
    { echo "FAIL exports missing"; ls "$work/exports"; failures=$((failures + 1)); }
if /usr/bin/python3 -c 'import openpyxl' 2>/dev/null; then
    /usr/bin/python3 "$(dirname "$0")/../export/check_exports.py" "$work/exports" ||
        { echo "FAIL exports unreadable"; failures=$((failures + 1)); }
fi
check export-one-line 0 '' out -- export csv --line 1 --out "$work/one" "$log"
[ -s "$work/one/s_002.csv" ] && [ ! -e "$work/one/s_001.csv" ] ||
    { echo "FAIL --line"; failures=$((failures + 1)); }
touch "$work/not-a-folder"
check export-bad-folder 1 'cannot use .* as the output folder' err -- export csv --out "$work/not-a-folder" "$log"
check export-usage 2 'csv, xyz, xyzi, xlsx or rtf' err -- export pdf --out "$work/exports" "$log"
check export-rtf-line 2 'the report hold every line' err -- export rtf --line 1 --out "$work/exports" "$log"
rm "$work"/survey/s/raw/s_001.000
check log-missing-raw 0 'Failed to load ADCP file matching :.*s_001_[0-9]+\.kq2 in RAW folder.\nContinue loading files\? Yes' err -- info "$log"
check help 0 'Usage: fluvex-cli' out -- --help
check version 0 '^fluvex-cli [0-9]+\.[0-9]+' out -- --version

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
