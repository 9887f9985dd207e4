#!/usr/bin/env bash
# Runs `fluvex --screenshot` without a display, as `make demo` does, on a generated survey, and
# checks the picture and the exit statuses.
set -u
fluvex=$1
synth=$2
demo_ini=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export FLUVEX_DATA_DIR=$work/data FLUVEX_CONFIG_DIR=$work/config FLUVEX_CACHE_DIR=$work/cache
unset FLUVEX_PROJECT
failures=0

fail() { echo "FAIL $1"; cat "$work/err"; failures=$((failures + 1)); }

run() {  # run NAME EXPECTED_STATUS ARGS...
    local name=$1 expected=$2
    shift 2
    "$fluvex" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    if [ "$status" -ne "$expected" ]; then fail "$name: exit $status, expected $expected"; return 1; fi
    echo "ok   $name"
}

"$synth" "$demo_ini" "$work/survey" >/dev/null || { echo "FAIL the survey was not generated"; exit 1; }
log=$work/survey/demo/edit/demo.log

if run survey 0 --screenshot "$work/survey.png" --size 1024x700 --panel Discharge "$log"; then
    file "$work/survey.png" | grep -q "PNG image data, 1024 x 700," || fail "survey picture is not 1024x700"
    grep -q "Screenshot written to $work/survey.png" "$work/out" || fail "where the picture went is not said"
fi
run no-files 0 --screenshot "$work/empty.png"
[ -s "$work/empty.png" ] || fail "no picture without files"
run missing-file 1 --screenshot "$work/missing.png" "$work/survey/none.000"
run unknown-panel 2 --screenshot "$work/x.png" --panel Nowhere "$log"
grep -q '"Boat vs Water Speed"' "$work/err" || fail "unknown-panel does not list the panels"
run unwritable 1 --screenshot "$work/no/such/folder/x.png"

exit $((failures > 0))
