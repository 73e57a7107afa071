#!/usr/bin/env python3
"""Checks every #include "folder/..." in src/ and tests/ against scripts/layers.txt, that Qt is included
only where the "qt:" line allows it (whole folders, or folder/name patterns for window files), and that no
file includes both Qt and the GL binding. Prints each offending include; exit status 1 when there is one."""
import fnmatch
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
LOCAL = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)
QT = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]+|Qt[A-Za-z]*/[^>]+)>', re.M)
GL = re.compile(r'^\s*#\s*include\s+(<epoxy/[^>]+>|"gl/GL\.h"|<GL/[^>]+>)', re.M)


def read_layers():
    allowed, qt = {}, set()
    for line in (root / "scripts/layers.txt").read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        name, _, rest = line.partition(":")
        if name.strip() == "qt":
            qt = set(rest.split())
        else:
            allowed[name.strip()] = set(rest.split()) | {name.strip()}
    return allowed, qt


def qt_allowed(qt_entries, inside):
    """inside: the path below src/ or tests/. An entry without "/" allows its whole folder; one with "/"
    is a pattern for the files directly in that folder ("plugins/Form_*")."""
    for entry in qt_entries:
        if "/" not in entry:
            if inside.parts[0] == entry:
                return True
        elif len(inside.parts) == 2 and fnmatch.fnmatchcase(str(inside), entry):
            return True
    return False


def main():
    allowed, qt_folders = read_layers()
    src_folders = set(allowed)
    problems = []
    for base in ("src", "tests"):
        for path in sorted((root / base).rglob("*")):
            if path.suffix not in (".h", ".cpp") or not path.is_file():
                continue
            rel = path.relative_to(root)
            folder = rel.parts[1] if len(rel.parts) > 2 else None
            if folder not in allowed:
                if base == "src":
                    problems.append(f"{rel}: folder not in scripts/layers.txt")
                continue
            text = path.read_text(errors="replace")
            may = set(allowed[folder])
            if base == "tests":
                may |= {"support"}
            for included in LOCAL.findall(text):
                if included in src_folders and included not in may:
                    problems.append(f"{rel}: includes {included}/, which {folder} may not use")
            if QT.search(text):
                if not qt_allowed(qt_folders, pathlib.PurePosixPath(*rel.parts[1:])):
                    problems.append(f"{rel}: includes Qt outside {sorted(qt_folders)}")
                if GL.search(text):
                    problems.append(f"{rel}: includes both Qt and the GL binding")
    for p in problems:
        print(p)
    print(f"{len(problems)} layer violations" if problems else "includes follow the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
