#!/usr/bin/env python3
"""The options each man page describes are the options the program's --help lists, no more, no fewer. A
difference is told option by option, so that whoever adds an option knows which side to write.
    man_help_test.py BIN_FOLDER MAN_FOLDER"""
import os
import re
import subprocess
import sys
import unittest

BIN = os.path.abspath(sys.argv.pop(1))
MAN = os.path.abspath(sys.argv.pop(1))

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)")


def help_options(text):
    """Options of --help: the first column of lines that start with two blanks and a dash."""
    options = set()
    for line in text.splitlines():
        if re.match(r"^ {1,4}-", line):
            first_column = re.split(r"\s{2,}", line.strip())[0]
            options.update(o for o in OPTION.findall(first_column))
    return options


def man_options(text):
    """Options of the man page: the tags (the line after .TP) of its OPTIONS section."""
    section = re.search(r"^\.SH OPTIONS\n(.*?)(?=^\.SH )", text, re.S | re.M)
    if not section:
        return set()
    lines = section.group(1).replace("\\-", "-").splitlines()
    options = set()
    for tag in (lines[i + 1] for i, line in enumerate(lines[:-1]) if line.startswith(".TP")):
        options.update(o for o in OPTION.findall(re.sub(r"\\f[BIRP]", " ", tag)))
    return options


class ManPagesMatchHelp(unittest.TestCase):
    def check(self, program):
        result = subprocess.run([os.path.join(BIN, program), "--help"], capture_output=True, text=True,
                                timeout=60, env={"PATH": os.environ.get("PATH", "")})
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(MAN, program + ".1"), encoding="utf-8") as f:
            documented = man_options(f.read())
        listed = help_options(result.stdout)
        self.assertTrue(listed, "no options found in --help")
        problems = []
        for option in sorted(listed - documented):
            problems.append(f"{program}: {option} is in --help but not in the man page {program}.1")
        for option in sorted(documented - listed):
            problems.append(f"{program}: {option} is in the man page {program}.1 but not in --help")
        if problems:
            self.fail("the man page and --help differ:\n" + "\n".join(problems))

    def test_lumatex(self):
        self.check("lumatex")

    def test_lumatex_render(self):
        self.check("lumatex-render")

    def test_the_readers_find_what_they_are_given(self):
        help_text = "Options:\n  --root DIR   a folder\n  -h, --help   this\n  --a, --b\n      --not-an-option here\n"
        self.assertEqual(help_options(help_text), {"--root", "-h", "--help", "--a", "--b"})
        page = ".SH OPTIONS\nText \\-\\-ignored.\n.TP\n.BI \\-\\-size \" WxH\"\nsee \\-\\-fbo\n.TP\n" \
               ".BR \\-h \", \" \\-\\-help\nshow\n.SH EXIT STATUS\n.TP\n.B \\-\\-late\n"
        self.assertEqual(man_options(page), {"--size", "-h", "--help"})


if __name__ == "__main__":
    unittest.main(verbosity=2)
