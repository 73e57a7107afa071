#!/usr/bin/env python3
"""Checks every #include "folder/..." in src/ and tests/ against scripts/layers.txt, that Qt is included
only where the "qt:" line allows it (whole folders, or folder/name patterns for window files), and that no
file includes both Qt and the GL binding. Each rule holds through chains of project headers too: a file may
not reach a folder it may not include, nor Qt where Qt is not allowed, nor the GL binding when it includes
Qt, through any header it includes. Prints each offending include; exit status 1 when there is one."""
import collections
import fnmatch
import pathlib
import re
import sys

LOCAL = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)
PROJECT = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
QT = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]+|Qt[A-Za-z]*/[^>]+)>', re.M)
GL = re.compile(r'^\s*#\s*include\s+(<epoxy/[^>]+>|"gl/GL\.h"|<GL/[^>]+>)', re.M)
# In a header reached through others: the binding's own headers, so that a chain ends at gl/GL.h.
GL_SYSTEM = re.compile(r'^\s*#\s*include\s+(<epoxy/[^>]+>|<GL/[^>]+>)', re.M)
SUPPORT = "support"


def read_layers(root):
    allowed, qt, with_qt = {}, set(), set()
    for line in (root / "scripts/layers.txt").read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        name, _, rest = line.partition(":")
        name = name.strip()
        if name == "qt":
            qt = set(rest.split())
        elif name == "with-qt":
            with_qt = set(rest.split())
        else:
            allowed[name] = set(rest.split()) | {name}
    return allowed, qt, with_qt


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


class Tree:
    """The project's source files, their texts and the project headers each one includes."""

    def __init__(self, root):
        self.root = root
        self.files = [p for base in ("src", "tests") for p in sorted((root / base).rglob("*"))
                      if p.suffix in (".h", ".cpp") and p.is_file()]
        self.text = {p: p.read_text(errors="replace") for p in self.files}
        by_resolved = {p.resolve(): p for p in self.files}
        self.includes = {p: self._resolve_all(p, by_resolved) for p in self.files}

    def _resolve_all(self, path, by_resolved):
        found = []
        for name in PROJECT.findall(self.text[path]):
            # As the compiler finds them: beside the file first, then the include roots.
            for candidate in (path.parent / name, self.root / "src" / name, self.root / "tests" / name):
                if candidate.is_file() and candidate.resolve() in by_resolved:
                    found.append(by_resolved[candidate.resolve()])
                    break
        return found

    def reached(self, path):
        """Every project header path reaches through includes, each with the shortest chain leading to it
        (a list of headers, the reached one last)."""
        chains = {}
        queue = collections.deque((header, [header]) for header in self.includes[path])
        while queue:
            header, chain = queue.popleft()
            if header in chains or header == path:
                continue
            chains[header] = chain
            queue.extend((next_header, chain + [next_header]) for next_header in self.includes[header])
        return chains

    def name(self, path):
        """A header as it is included: its path below src/ or tests/."""
        return str(pathlib.PurePosixPath(*path.relative_to(self.root).parts[1:]))

    def chain_text(self, chain):
        return " -> ".join(self.name(header) for header in chain)


def check(root):
    allowed, qt_entries, with_qt = read_layers(root)
    src_folders = set(allowed)
    tree = Tree(root)
    problems = []
    for path in tree.files:
        rel = path.relative_to(root)
        base = rel.parts[0]
        inside = pathlib.PurePosixPath(*rel.parts[1:])
        folder = rel.parts[1] if len(rel.parts) > 2 else None
        text = tree.text[path]
        known = folder in allowed
        if not known and base == "src":
            problems.append(f"{rel}: folder not in scripts/layers.txt")
        may_qt = known and qt_allowed(qt_entries, inside)
        reached = tree.reached(path)

        if known:
            may = set(allowed[folder]) | (with_qt if may_qt else set())
            if base == "tests":
                may |= {SUPPORT}
            for included in LOCAL.findall(text):
                if included in src_folders and included not in may:
                    problems.append(f"{rel}: includes {included}/, which {folder} may not use")
            # Through headers: what the file may include, and for tests what their support may.
            may_reach = may | (allowed.get(SUPPORT, set()) if base == "tests" else set())
            told = set()
            for header, chain in reached.items():  # shortest chains first
                reached_folder = tree.name(header).split("/", 1)[0]
                if len(chain) < 2 or reached_folder in told:
                    continue  # included directly: checked above
                if reached_folder in src_folders and reached_folder not in may_reach:
                    told.add(reached_folder)
                    problems.append(f"{rel}: reaches {reached_folder}/ through {tree.chain_text(chain)}, "
                                    f"which {folder} may not use")

        qt_here = bool(QT.search(text))
        qt_chain = next((chain for header, chain in reached.items() if QT.search(tree.text[header])), None)
        if known and not may_qt:
            if qt_here:
                problems.append(f"{rel}: includes Qt outside {sorted(qt_entries)}")
            elif qt_chain:
                problems.append(f"{rel}: reaches Qt through {tree.chain_text(qt_chain)} outside "
                                f"{sorted(qt_entries)}")
        if qt_here or qt_chain:
            gl_here = bool(GL.search(text))
            gl_chain = next((chain for header, chain in reached.items() if GL_SYSTEM.search(tree.text[header])),
                            None)
            if qt_here and gl_here:
                problems.append(f"{rel}: includes both Qt and the GL binding")
            elif gl_here or gl_chain:
                how_qt = "includes Qt" if qt_here else f"reaches Qt through {tree.chain_text(qt_chain)}"
                how_gl = "includes the GL binding" if gl_here else \
                    f"reaches the GL binding through {tree.chain_text(gl_chain)}"
                problems.append(f"{rel}: {how_qt} and {how_gl}")
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = check(root)
    for p in problems:
        print(p)
    print(f"{len(problems)} layer violations" if problems else "includes follow the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
