#!/usr/bin/env python3
"""The include checker on small trees of its own: each rule it enforces, directly and through chains of
headers, must fail a tree that breaks it and pass the same tree without the break."""
import importlib.util
import pathlib
import tempfile
import unittest

_checker = importlib.util.spec_from_file_location("layers_test", pathlib.Path(__file__).with_name("layers_test.py"))
layers = importlib.util.module_from_spec(_checker)
_checker.loader.exec_module(layers)

LAYERS = """\
platform:
gl:       platform
render:   gl platform
plugins:  render gl platform
ui:       platform
app:      plugins render gl platform ui
support:  gl platform
qt:       app ui plugins/Form_*
with-qt:  ui
"""

# A clean tree: GL behind a header, a window file using the Qt base library, a test reaching gl/ through
# its support.
BASE = {
    "src/gl/GL.h": "#include <epoxy/gl.h>\n",
    "src/gl/Surface.h": "struct ISurface {};\n",
    "src/render/uFBO.h": '#include "gl/GL.h"\n',
    "src/render/Engine.h": '#include "gl/Surface.h"\n',
    "src/ui/Fonts.h": "#include <QFont>\n",
    "src/plugins/Chain.h": '#include "render/Engine.h"\n',
    "src/plugins/Form_chain.h": '#include "plugins/Chain.h"\n#include "ui/Fonts.h"\n#include <QWidget>\n',
    "src/app/Export.cpp": '#include "render/Engine.h"\n#include <QString>\n',
    "tests/support/TestSupport.h": '#include "gl/Surface.h"\n',
    "tests/platform/Text_test.cpp": '#include "support/TestSupport.h"\n',
}


class LayersCheck(unittest.TestCase):
    def problems(self, changes):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            (root / "scripts").mkdir()
            (root / "scripts/layers.txt").write_text(LAYERS)
            for name, text in {**BASE, **changes}.items():
                (root / name).parent.mkdir(parents=True, exist_ok=True)
                (root / name).write_text(text)
            return layers.check(root)

    def test_a_tree_that_follows_the_rules_passes(self):
        self.assertEqual(self.problems({}), [])

    def test_each_break_fails_with_the_file_and_the_chain_named(self):
        cases = [
            ("a Qt file reaching the GL binding through a header",
             {"src/app/Export.cpp": '#include "render/uFBO.h"\n#include <QString>\n'},
             "src/app/Export.cpp: includes Qt and reaches the GL binding through render/uFBO.h -> gl/GL.h"),
            ("a header reaching Qt and the GL binding, each through other headers",
             {"src/app/Both.h": '#include "ui/Fonts.h"\n#include "render/uFBO.h"\n'},
             "src/app/Both.h: reaches Qt through ui/Fonts.h and reaches the GL binding through "
             "render/uFBO.h -> gl/GL.h"),
            ("Qt and the binding in one file",
             {"src/app/Export.cpp": '#include <epoxy/gl.h>\n#include <QString>\n'},
             "src/app/Export.cpp: includes both Qt and the GL binding"),
            ("a folder below reaching a window file's Qt base library",
             {"src/plugins/Chain.cpp": '#include "plugins/Form_chain.h"\n'},
             "src/plugins/Chain.cpp: reaches ui/ through plugins/Form_chain.h -> ui/Fonts.h, which plugins "
             "may not use"),
            ("the same file reaching Qt outside the Qt files",
             {"src/plugins/Chain.cpp": '#include "plugins/Form_chain.h"\n'},
             "src/plugins/Chain.cpp: reaches Qt through plugins/Form_chain.h outside"),
            ("a direct include of a folder above",
             {"src/render/Engine.h": '#include "plugins/Chain.h"\n'},
             "src/render/Engine.h: includes plugins/, which render may not use"),
            ("a test reaching a folder its support may not use",
             {"tests/support/TestSupport.h": '#include "render/Engine.h"\n'},
             "tests/platform/Text_test.cpp: reaches render/ through support/TestSupport.h -> render/Engine.h"),
        ]
        for what, changes, expected in cases:
            with self.subTest(what):
                found = self.problems(changes)
                self.assertTrue(any(p.startswith(expected) for p in found), f"{expected!r} not in {found}")


if __name__ == "__main__":
    unittest.main()
