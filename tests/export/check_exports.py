#!/usr/bin/python3
"""Reads the CSV and workbook exports in a folder with readers other than ours.

Usage: check_exports.py FOLDER

Every .csv must parse with Python's csv module: a header, one row per ping, each line ending in a
comma and CR LF; numbers from 0, times as hh:mm:s.sss, other fields empty or a number. Every .xlsx
must open in openpyxl: each sheet holds the ensemble table without amplitude columns, headings and
times as text, every other cell a number with a fixed-decimals format, column 1 counting from 1.
A sheet whose CSV (the sheet name up to its last '.', then ".csv") is in the folder must hold the
same table within the decimals of the two files, empty where the CSV's positions are empty or its
bottom track all zeros; when the folder holds workbooks, every CSV must have its sheet.

Exit status: 0 when every file passed; 1 when a check failed or there was nothing to check; 2 when
the folder is missing or openpyxl cannot be imported (use Debian's /usr/bin/python3).
"""

import collections
import csv
import io
import pathlib
import re
import sys

LEADING = ["Number", "Time", "Heading(deg)", "Pitch(rad)", "Roll(rad)", "Depth", "X", "Y",
           "Lat", "Lon"]
BOTTOM_TRACK = ["BT E(m/s)", "BT N(m/s)", "BT Vel", "BT Dir"]
CELL = ["E(m/s)", "N(m/s)", "U(m/s)", "Vel", "Dir"]
AMPLITUDE = ["Beam1Amp", "Beam2Amp", "Beam3Amp", "Beam4Amp"]
TIME = re.compile(r"\d\d:\d\d:\d{1,2}\.\d{3}")
NUMBER = re.compile(r"-?\d+(\.\d+)?")
RENAMED_SHEET = re.compile(r".* \(\d+\)")
FORMAT = re.compile(r"0(?:\.(0+))?")
MAX_REPORTS = 20


class Report:
    """Counts failures per file, printing the first few of each."""

    def __init__(self):
        self.per_file = collections.Counter()

    def fail(self, where, message):
        self.per_file[where[0]] += 1
        if self.per_file[where[0]] <= MAX_REPORTS:
            print(": ".join(str(part) for part in where) + ": " + message, file=sys.stderr)


def expected_headings(names):
    """The headings the table's layout calls for, judged from its cell count; None if the
    leading or bottom-track part is wrong."""
    if names[:len(LEADING)] != LEADING:
        return None
    rest = names[len(LEADING):]
    headings = list(LEADING)
    if rest[:len(BOTTOM_TRACK)] == BOTTOM_TRACK:
        headings += BOTTOM_TRACK
        rest = rest[len(BOTTOM_TRACK):]
    cells = sum(1 for name in rest if name.endswith(" Dir"))
    for cell in range(cells):
        headings += ["Cell%d %s" % (cell, quantity) for quantity in CELL]
    if len(headings) < len(names):
        for cell in range(cells):
            headings += ["Cell%d %s" % (cell, beam) for beam in AMPLITUDE]
    return headings


def read_csv(path, report):
    """The header names and rows of a CSV export, each row without its empty last field."""
    data = path.read_bytes()
    if not data.endswith(b"\r\n") or data.count(b"\n") != data.count(b"\r\n"):
        report.fail((path.name,), "lines must end in CR LF")
    rows = list(csv.reader(io.StringIO(data.decode("ascii"), newline="")))
    if not rows:
        report.fail((path.name,), "no header")
        return [], []
    for number, row in enumerate(rows, start=1):
        if not row or row[-1] != "":
            report.fail((path.name, "line %d" % number), "must end with a comma")
        else:
            row.pop()
    names = rows[0]
    if expected_headings(names) != names:
        report.fail((path.name, "header"), "unexpected headings: " + ",".join(names[:16]))
    for index, row in enumerate(rows[1:]):
        where = (path.name, "row %d" % index)
        if len(row) != len(names):
            report.fail(where, "%d fields for %d headings" % (len(row), len(names)))
            continue
        if row[0] != str(index):
            report.fail(where, "number %r" % row[0])
        if not TIME.fullmatch(row[1]):
            report.fail(where, "time %r" % row[1])
        for column, field in enumerate(row[2:], start=2):
            if field and not NUMBER.fullmatch(field):
                report.fail(where, "%s is %r" % (names[column], field))
    return names, rows[1:]


def decimals(text):
    return len(text) - text.index(".") - 1 if "." in text else 0


def same_number(csv_text, sheet_text):
    """Equal within half a unit of the last decimal of each text."""
    tolerance = 0.5 * 10 ** -decimals(csv_text) + 0.5 * 10 ** -decimals(sheet_text) + 1e-9
    return abs(float(csv_text) - float(sheet_text)) <= tolerance


def compare_row(where, names, csv_row, sheet_row, report):
    if sheet_row[0] != str(int(csv_row[0]) + 1):
        report.fail(where, "number %r for CSV %r" % (sheet_row[0], csv_row[0]))
    if sheet_row[1] != csv_row[1]:
        report.fail(where, "time %r for CSV %r" % (sheet_row[1], csv_row[1]))
    bottom_track_empty = False
    if names[len(LEADING):len(LEADING) + 4] == BOTTOM_TRACK:
        bottom_track = slice(len(LEADING), len(LEADING) + 4)
        bottom_track_empty = all(value is None for value in sheet_row[bottom_track])
        if bottom_track_empty and csv_row[bottom_track] != ["0"] * 4:
            report.fail(where, "bottom track empty, CSV has %s" % csv_row[bottom_track])
    for column in range(2, len(names)):
        value, field = sheet_row[column], csv_row[column]
        if bottom_track_empty and names[column] in BOTTOM_TRACK:
            continue
        if value is None or field == "":
            if (value is None) != (field == ""):
                report.fail(where, "%s is %r, CSV %r" % (names[column], value, field))
        elif not same_number(field, value):
            report.fail(where, "%s is %r, CSV %r" % (names[column], value, field))


def shown_number(cell):
    """The text a spreadsheet shows for a number cell of format "0" or "0.00...", None when the
    cell is not such a number. Spreadsheets show no negative zero."""
    if isinstance(cell.value, bool) or not isinstance(cell.value, (int, float)):
        return None
    match = FORMAT.fullmatch(cell.number_format or "")
    if match is None:
        return None
    text = "%.*f" % (len(match.group(1) or ""), cell.value)
    return text[1:] if text.startswith("-") and float(text) == 0 else text


def check_sheet(workbook_name, sheet, csv_tables, report):
    where = (workbook_name, sheet.title)
    rows = []
    for number, row in enumerate(sheet.iter_rows(), start=1):
        values = []
        for column, cell in enumerate(row):
            value = cell.value
            if value is not None and (number == 1 or column == 1):
                if cell.data_type != "s" or not isinstance(value, str):
                    report.fail(where + ("row %d" % number,), "cell %r is not text" % value)
            elif value is not None:
                value = shown_number(cell)
                if value is None:
                    report.fail(where + ("row %d" % number,),
                                "cell %r (%s) is not a formatted number"
                                % (cell.value, cell.number_format))
            values.append(value)
        rows.append(values)
    if not rows:
        report.fail(where, "empty sheet")
        return
    width = len(rows[0])
    rows = [row + [None] * (width - len(row)) for row in rows]
    names = rows[0]
    headings = expected_headings(names)
    if headings != names or any(name.endswith("Amp") for name in names):
        report.fail(where, "unexpected headings: " + ",".join(map(str, names[:16])))
        return
    for index, row in enumerate(rows[1:], start=1):
        if row[0] != str(index):
            report.fail(where + ("row %d" % (index + 1),), "number %r" % row[0])
    stem = sheet.title.rsplit(".", 1)[0]
    if RENAMED_SHEET.fullmatch(sheet.title) or stem not in csv_tables:
        return
    csv_names, csv_rows = csv_tables[stem]
    if csv_names[:len(names)] != names:
        report.fail(where, "headings differ from %s.csv" % stem)
        return
    if len(csv_rows) != len(rows) - 1:
        report.fail(where, "%d rows, %s.csv has %d" % (len(rows) - 1, stem, len(csv_rows)))
        return
    for index, (csv_row, sheet_row) in enumerate(zip(csv_rows, rows[1:])):
        if len(csv_row) >= len(names):
            compare_row(where + ("row %d" % (index + 2),), names, csv_row, sheet_row, report)


def main(arguments):
    if len(arguments) != 2 or not pathlib.Path(arguments[1]).is_dir():
        print("usage: check_exports.py FOLDER", file=sys.stderr)
        return 2
    try:
        import openpyxl
    except ImportError:
        print("openpyxl is missing: run this with /usr/bin/python3", file=sys.stderr)
        return 2
    folder = pathlib.Path(arguments[1])
    report = Report()
    csv_tables = {path.stem: read_csv(path, report) for path in sorted(folder.glob("*.csv"))}
    workbooks = sorted(folder.glob("*.xlsx"))
    if not csv_tables and not workbooks:
        print("nothing to check in %s" % folder, file=sys.stderr)
        return 1
    sheet_stems = set()
    for path in workbooks:
        try:
            workbook = openpyxl.load_workbook(path, read_only=True)
        except Exception as error:  # any failure to read is the finding
            report.fail((path.name,), "does not open: %s" % error)
            continue
        for sheet in workbook.worksheets:
            sheet_stems.add(sheet.title.rsplit(".", 1)[0])
            check_sheet(path.name, sheet, csv_tables, report)
        workbook.close()
    if workbooks:
        for stem in sorted(set(csv_tables) - sheet_stems):
            report.fail((stem + ".csv",), "no sheet in the workbooks")
    failures = sum(report.per_file.values())
    print("%d files checked, %d failures" % (len(csv_tables) + len(workbooks), failures),
          file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
