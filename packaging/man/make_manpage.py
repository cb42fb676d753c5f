#!/usr/bin/env python3
"""Writes compressed manual pages.

  make_manpage.py help PROGRAM VERSION HEAD OUT.1.gz
      a page made from the program's own --help (and the --help of each
      command its usage lines name), after the hand-written sections of
      HEAD (NAME, DESCRIPTION; ENVIRONMENT, FILES, SEE ALSO after the
      marker line ".\\" --help")
  make_manpage.py gzip IN OUT.gz
      IN compressed the way Debian wants it (best, no name or time stamp)
"""
import gzip
import re
import subprocess
import sys


def write_gz(text, out):
    data = text.encode("utf-8")
    with open(out, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0,
                           compresslevel=9) as gz:
            gz.write(data)


def roff(line):
    """One line of help text as roff text: backslashes, minus signs and
    leading control characters escaped."""
    line = line.replace("\\", "\\e").replace("-", "\\-")
    if line.startswith((".", "'")):
        line = "\\&" + line
    return line


def sections(help_text):
    """Splits help text into (title, lines): a line without indentation
    that ends in ':' starts a section; the lines before the first one are
    the preamble (title None)."""
    out = [(None, [])]
    for line in help_text.splitlines():
        if line and not line[0].isspace() and line.endswith(":"):
            out.append((line[:-1], []))
        else:
            out[-1][1].append(line)
    return [(t, ls) for t, ls in out if t or any(l.strip() for l in ls)]


def verbatim(lines):
    while lines and not lines[0].strip():
        lines = lines[1:]
    while lines and not lines[-1].strip():
        lines = lines[:-1]
    body = []
    for line in lines:
        body.append(roff(line[2:] if line.startswith("  ") else line)
                    if line.strip() else "")
    # Blank lines inside .nf are kept as .sp, which man handles cleanly.
    return ".nf\n" + "\n".join(l if l else ".sp" for l in body) + "\n.fi\n"


def run(program, *args):
    r = subprocess.run([program, *args], capture_output=True, text=True)
    return r.stdout if r.returncode == 0 else ""


def help_page(program, version, head, out):
    main_help = run(program, "--help")
    if not main_help:
        sys.exit("make_manpage: %s --help gave nothing" % program)
    with open(head, encoding="utf-8") as f:
        head_text = f.read()
    before, _, after = head_text.partition('.\\" --help\n')
    page = [before.replace("@VERSION@", version)]

    usage = []
    for title, lines in sections(main_help):
        if title is None:
            continue
        if title.lower() == "usage":
            usage = lines
            page[0] = page[0].replace('.\\" synopsis\n',
                                      ".SH SYNOPSIS\n" + verbatim(lines))
        else:
            page.append(".SH %s\n" % roff(title.upper()) + verbatim(lines))
    # Commands with help of their own.
    commands = []
    for line in usage:
        m = re.match(r"\s*\S+\s+([a-z][a-z-]*)\b", line)
        if m and m.group(1) not in commands and m.group(1) != "help":
            commands.append(m.group(1))
    first = True
    for command in commands:
        text = run(program, command, "--help")
        if not text or text == main_help:
            continue
        if first:
            page.append(".SH COMMANDS\n")
            first = False
        page.append(".SS %s\n" % roff(command) + verbatim(text.splitlines()))
    page.append(after)
    write_gz("".join(page), out)


def main():
    if len(sys.argv) == 6 and sys.argv[1] == "help":
        help_page(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "gzip":
        with open(sys.argv[2], encoding="utf-8") as f:
            write_gz(f.read(), sys.argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
