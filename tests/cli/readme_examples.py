#!/usr/bin/env python3
"""Runs every fluvex-cli example of the README: each command of its command list, with every
optional part given, and each "$ fluvex-cli" line. The docs and the commands must agree: a
usage error (exit 2) or a failure fails the test."""
import re
import subprocess
import sys
import tempfile
from pathlib import Path

cli, readme, data, cof = sys.argv[1:5]
pd0 = str(Path(data) / "pd0" / "RDI_test01.000")
out = tempfile.mkdtemp()
values = {"FILE": pd0, "FILES": pd0, "LOG": pd0, "DIR": out, "N": "0", "M": "1", "DEG": "45",
          "ISO8601": "2026-03-19T08:00:00Z", "KM": "0", "K,K,": "2,4,6"}
commands = ("settings", "info", "ensembles", "discharge", "export", "table", "declination")


def words(synopsis):
    # [optional] parts given, FILE... once, the first of alternatives a|b.
    text = synopsis.replace("[", "").replace("]", "").replace("...", "")
    result = []
    for word in text.split():
        word = word.split("|")[0]
        result.append(cof if result and result[-1] == "--cof" else values.get(word, word))
    return result


examples = []
for line in Path(readme).read_text().splitlines():
    listed = re.match(r"- `((%s)\b[^`]*)`" % "|".join(commands), line)
    if listed:
        examples.append(words(listed.group(1)))
    shown = re.match(r"\$ fluvex-cli (.*)", line)
    if shown:
        command = re.sub(r"\s+#.*$", "", shown.group(1))  # a trailing comment is for the reader
        examples.append(words(command.split("|")[0].replace("FILE.PD0", "FILE")))
if len(examples) < len(commands):
    sys.exit(f"FAIL readme: only {len(examples)} examples found")
failures = 0
for example in examples:
    run = subprocess.run([cli] + example, capture_output=True, text=True, cwd=Path(readme).parent)
    if run.returncode != 0:
        failures += 1
        print(f"FAIL readme example {' '.join(example)}: exit {run.returncode}\n{run.stderr}")
    else:
        print(f"ok   readme example {example[0] if example[0] != '--set' else 'settings'}")
sys.exit(1 if failures else 0)
