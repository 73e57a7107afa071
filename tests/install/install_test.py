#!/usr/bin/env python3
"""cmake --install into a scratch DESTDIR: every file of the layout is there, the installed lumatex-render finds
its data through XDG_DATA_DIRS alone and renders, a user's plugin shadows the system's of the same name (also
when it is broken), and the desktop entry and the AppStream metadata pass their validators.
    install_test.py BUILD_FOLDER SOURCE_FOLDER"""
import filecmp
import os
import shutil
import sys
import unittest

from install_support import clean_environment, install_into, run, scratch, write_bmp

BUILD = os.path.abspath(sys.argv.pop(1))
SOURCE = os.path.abspath(sys.argv.pop(1))

EXPECTED = [
    "bin/lumatex",
    "bin/lumatex-render",
    "share/lumatex/plugins/invert.ini",
    "share/lumatex/shader/invert.frag",
    "share/lumatex/shader/invert.vert",
    "share/lumatex/presets/Old Film.prs",
    "share/lumatex/about.png",
    "share/applications/lumatex.desktop",
    "share/icons/hicolor/scalable/apps/lumatex.svg",
    "share/icons/hicolor/64x64/apps/lumatex.png",
    "share/metainfo/lumatex.metainfo.xml",
    "share/man/man1/lumatex.1.gz",
    "share/man/man1/lumatex-render.1.gz",
    "share/doc/lumatex/README.md",
    "share/doc/lumatex/copyright",
    "share/doc/lumatex/changelog.gz",
    "share/doc/lumatex/docs/plugins.md",
]

PLUGIN = """[FileName]\r\nShaderFileName={shader}\r\n[ScreenName]\r\nFullName={name}\r\n[Group]\r\nGroupName=Mine\r\n
[Version]\r\nPluginReader={version}\r\n[provides]\r\ntexture0=1\r\n"""


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = scratch("lumatex-install-")
        cls.root = cls.tmp.name
        cls.usr = install_into(BUILD, os.path.join(cls.root, "dest"))
        cls.home = os.path.join(cls.root, "home")
        os.makedirs(cls.home)
        cls.picture = os.path.join(cls.root, "in.bmp")
        write_bmp(cls.picture)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def render(self, *args, check=True):
        env = clean_environment(self.home, os.path.join(self.usr, "share"))
        return run([os.path.join(self.usr, "bin", "lumatex-render"), *args], env=env, check=check)

    def user_data(self, *parts):
        path = os.path.join(self.home, ".local", "share", "lumatex", *parts)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        return path

    def tearDown(self):
        shutil.rmtree(os.path.join(self.home, ".local"), ignore_errors=True)

    def test_every_file_of_the_layout_is_installed(self):
        missing = [f for f in EXPECTED if not os.path.isfile(os.path.join(self.usr, f))]
        self.assertEqual(missing, [], "missing from the install")
        for program in ("lumatex", "lumatex-render"):
            self.assertTrue(os.access(os.path.join(self.usr, "bin", program), os.X_OK), program)
        for folder in ("plugins", "shader", "presets"):
            shipped = sorted(os.listdir(os.path.join(SOURCE, "data", folder)))
            self.assertEqual(sorted(os.listdir(os.path.join(self.usr, "share", "lumatex", folder))), shipped, folder)
        self.assertFalse(os.path.exists(os.path.join(self.usr, "bin", "plugins")), "no data beside the programs")

    def test_the_installed_renderer_finds_its_data_through_xdg_data_dirs(self):
        listed = self.render("--list-plugins").stdout.splitlines()
        self.assertIn("invert.ini\tInvert\tColor", listed)
        plain = os.path.join(self.root, "plain.bmp")
        filmed = os.path.join(self.root, "filmed.bmp")
        self.render(self.picture, plain)
        result = self.render("--preset", "Old Film", self.picture, filmed)
        self.assertNotIn("warning", result.stderr)
        self.assertGreater(os.path.getsize(filmed), 64 * 48 * 4)
        self.assertFalse(filecmp.cmp(plain, filmed, shallow=False), "the preset changed the picture")
        # Without the system folder there is nothing: the data really came through XDG_DATA_DIRS.
        env = clean_environment(self.home, "/nonexistent")
        bare = run([os.path.join(self.usr, "bin", "lumatex-render"), "--list-plugins"], env=env)
        self.assertEqual(bare.stdout, "")
        self.assertIn("no plugins/ folder", bare.stderr)
        gone = run([os.path.join(self.usr, "bin", "lumatex-render"), "--preset", "Old Film", self.picture, filmed],
                   env=env, check=False)
        self.assertEqual(gone.returncode, 3, gone.stderr)

    def test_a_users_plugin_shadows_the_systems_of_the_same_name(self):
        with open(self.user_data("plugins", "Invert.INI"), "w") as f:
            f.write(PLUGIN.format(shader="mine", name="My Invert", version="0.2"))
        system_shader = os.path.join(self.usr, "share", "lumatex", "shader", "invert")
        for ext in (".vert", ".frag"):
            shutil.copy(system_shader + ext, self.user_data("shader", "mine" + ext))
        listed = self.render("--list-plugins").stdout.splitlines()
        self.assertIn("Invert.INI\tMy Invert\tMine", listed)
        self.assertEqual([line for line in listed if line.lower().startswith("invert.ini")], ["Invert.INI\tMy Invert\tMine"])

        # Broken: reported, and the system's is not taken instead.
        with open(self.user_data("plugins", "Invert.INI"), "w") as f:
            f.write(PLUGIN.format(shader="mine", name="My Invert", version="9.9"))
        result = self.render("--list-plugins")
        self.assertIn("Plugins with errors found: Invert.INI", result.stderr)
        self.assertFalse([line for line in result.stdout.splitlines() if line.lower().startswith("invert.ini")])

    def test_a_users_preset_wins_over_the_bundled_one(self):
        with open(self.user_data("presets", "Old Film.prs"), "w") as f:
            f.write("[1]\r\nPlugInName=invert.ini\r\nactive=1\r\n")
        inverted = os.path.join(self.root, "inverted.bmp")
        self.render("--preset", "Old Film", self.picture, inverted)
        with open(self.user_data("presets", "Only Invert.prs"), "w") as f:
            f.write("[1]\r\nPlugInName=invert.ini\r\nactive=1\r\n")
        same = os.path.join(self.root, "same.bmp")
        self.render("--preset", "Only Invert", self.picture, same)
        self.assertTrue(filecmp.cmp(inverted, same, shallow=False))
        # --root is exactly one folder: the user's presets are not looked at.
        result = self.render("--root", os.path.join(self.usr, "share", "lumatex"), "--preset", "Only Invert",
                             self.picture, same, check=False)
        self.assertEqual(result.returncode, 3, result.stderr)

    def test_desktop_entry_and_metadata_validate(self):
        share = os.path.join(self.usr, "share")
        desktop = run(["desktop-file-validate", os.path.join(share, "applications", "lumatex.desktop")], check=False)
        self.assertEqual((desktop.returncode, desktop.stdout + desktop.stderr), (0, ""))
        meta = run(["appstreamcli", "validate", "--no-net", "--pedantic",
                    os.path.join(share, "metainfo", "lumatex.metainfo.xml")], check=False)
        self.assertEqual(meta.returncode, 0, meta.stdout + meta.stderr)
        self.assertNotIn("W:", meta.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
