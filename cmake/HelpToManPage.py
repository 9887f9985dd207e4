#!/usr/bin/env python3
"""Writes a program's manual page from its own --help text and a roff template.

The --help text is the one source of a program's commands and options: this turns it into the
SYNOPSIS, DESCRIPTION and the sections that follow, and the template adds what only the manual
holds (environment, files, examples). The layout the help text follows:

  Usage: PROGRAM ...                    first line: the synopsis
  Heading (a remark):                   a section (OPTIONS, COMMANDS ...); the remark opens it
  Heading: text                         a short section of its own (e.g. "Exit status: ...")
    TERM  description                   an item: a term, two or more spaces, its description
                  more description      deeper lines continue the item above
  other text at the margin              a paragraph of the current section

usage: HelpToManPage.py PROGRAM TEMPLATE OUTPUT VERSION
The template's line ".\\\" @HELP@" is replaced by the generated sections, and @VERSION@ anywhere
by VERSION.
"""

import re
import subprocess
import sys

ITEM = re.compile(r"^ {2,}(\S.*?)(?: {2,}(\S.*))?$")
HEADING = re.compile(r"^([A-Z][a-z]+(?: [a-z]+){0,2})(?: \(([^)]*)\))?:(?: (.*))?$")
METAVARIABLE = re.compile(r"^[A-Z][A-Z0-9_]*(?:x[A-Z][A-Z0-9_]*)?(?:\.[a-z0-9]+)?(?:\.\.\.)?$")


def escape(text, literal=False):
    """Roff-safe text: backslashes kept, no control lines, and the ASCII minus (\\-) wherever a
    dash is typed: in literal words, and in prose where it starts a word (--json)."""
    text = text.replace("\\", "\\e")
    if literal:
        text = text.replace("-", "\\-")
    else:
        text = re.sub(r"(?<![\w-])-", r"\\-", text)
        text = re.sub(r"(?<=\\-)-", r"\\-", text)
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def term_roff(term):
    """A term with literal words in bold and placeholders (FILE, DEG ...) in italics."""
    parts = []
    for word in term.split(" "):
        pieces = re.split(r"([\[\]|])", word)
        out = ""
        for piece in pieces:
            if not piece:
                continue
            if piece in "[]|":
                out += piece
            elif METAVARIABLE.match(piece):
                out += "\\fI" + escape(piece) + "\\fR"
            else:
                out += "\\fB" + escape(piece, literal=True) + "\\fR"
        parts.append(out)
    return " ".join(parts)


class Page:
    def __init__(self):
        self.lines = []
        self.item_open = False

    def section(self, title):
        self.lines.append(".SH " + title.upper())
        self.item_open = False

    def paragraph(self, text):
        if self.item_open or (self.lines and not self.lines[-1].startswith(".SH")):
            self.lines.append(".PP")
        self.lines.append(escape(text))
        self.item_open = False

    def item(self, term, description):
        self.lines.append(".TP")
        self.lines.append(term_roff(term))
        if description:
            self.lines.append(escape(description))
        self.item_open = True

    def continuation(self, text):
        self.lines.append(escape(text))


def description_column(lines):
    """Where most items' descriptions start: a term that reaches it leaves a single space."""
    columns = [line.index(match.group(2), len(match.group(1)) + 2) for line in lines
               for match in [ITEM.match(line)] if match and match.group(2)]
    return max(set(columns), key=columns.count) if columns else None


def split_item(line, column):
    """A term and its description; a term running into the description column is cut there."""
    match = ITEM.match(line)
    term, description = match.group(1), match.group(2)
    if description is None and column and len(line) > column and line[column - 1] == " " \
            and line[column] != " ":
        term, description = line[:column].strip(), line[column:].strip()
    return term, description


def convert(help_text):
    lines = help_text.rstrip("\n").split("\n")
    column = description_column(lines)
    usage = lines[0]
    if not usage.lower().startswith("usage: "):
        raise SystemExit("HelpToManPage: the help text must start with 'Usage: '")
    page = Page()
    page.section("Synopsis")
    program, _, arguments = usage[len("usage: "):].partition(" ")
    page.lines.append(".B " + escape(program, literal=True))
    page.lines.append(term_roff(arguments))
    page.section("Description")
    continuing_paragraph = False
    for line in lines[1:]:
        if not line.strip():
            continuing_paragraph = False
            continue
        heading = HEADING.match(line) if not line.startswith(" ") else None
        item = ITEM.match(line)
        if heading:
            page.section(heading.group(1))
            for text in (heading.group(2), heading.group(3)):
                if text:
                    text = text[0].upper() + text[1:]
                    page.paragraph(text if text.endswith((".", "!", "?")) else text + ".")
            continuing_paragraph = bool(heading.group(3))
        elif item and page.item_open and len(line) - len(line.lstrip()) > 4:
            page.continuation(line.strip())
        elif item:
            page.item(*split_item(line, column))
            continuing_paragraph = False
        elif continuing_paragraph:
            page.continuation(line)
        else:
            page.paragraph(line)
            continuing_paragraph = True
    return "\n".join(page.lines) + "\n"


def main():
    if len(sys.argv) != 5:
        raise SystemExit(__doc__)
    program, template_path, output_path, version = sys.argv[1:]
    help_text = subprocess.run([program, "--help"], check=True, capture_output=True,
                               text=True).stdout
    with open(template_path, encoding="utf-8") as template_file:
        template = template_file.read()
    if ".\\\" @HELP@\n" not in template:
        raise SystemExit("HelpToManPage: " + template_path + " has no '.\\\" @HELP@' line")
    page = template.replace(".\\\" @HELP@\n", convert(help_text)).replace("@VERSION@", version)
    with open(output_path, "w", encoding="utf-8") as output:
        output.write(page)


if __name__ == "__main__":
    main()
