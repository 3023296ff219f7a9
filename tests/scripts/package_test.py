#!/usr/bin/env python3
"""The Debian package: packed from the build tree by CPack, unpacked into a temporary root,
its files, desktop entry and metadata checked, and the unpacked program started."""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

APP_ID = "org.korvath.Velmar"
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256, 512]
ARGS = None


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=60, **kw)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def owning_packages(soname):
    """The installed packages that hold a file named `soname` (of any architecture)."""
    lines = run(["dpkg-query", "-S", "*/" + soname]).stdout.splitlines()
    return {p.split(":")[0] for line in lines for p in line.rsplit(": ", 1)[0].split(", ")}


def program_env(display=False):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    if display:
        env["QT_QPA_PLATFORM"] = "offscreen"
    return env


class UnpackedPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="velmar-package-")
        # The program's settings, data and cache stay in the temporary folder.
        for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"):
            os.environ[name] = os.path.join(cls.tmp, name.lower())
        out = os.path.join(cls.tmp, "out")
        r = run([ARGS.cpack, "--config", os.path.join(ARGS.build_dir, "CPackConfig.cmake"),
                 "-B", out])
        if r.returncode != 0:
            raise AssertionError("cpack failed:\n" + r.stdout + r.stderr)
        debs = [f for f in os.listdir(out) if f.endswith(".deb")]
        if len(debs) != 1:
            raise AssertionError("expected one package, got %r" % debs)
        cls.deb = os.path.join(out, debs[0])
        cls.root = os.path.join(cls.tmp, "root")
        r = run(["dpkg-deb", "-x", cls.deb, cls.root])
        if r.returncode != 0:
            raise AssertionError("dpkg-deb -x failed: " + r.stderr)
        cls.program = os.path.join(cls.root, "usr/bin/velmar")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def field(self, name):
        return run(["dpkg-deb", "--field", self.deb, name]).stdout.strip()

    def path(self, rel):
        return os.path.join(self.root, rel)

    def text(self, rel):
        with open(os.path.join(self.root, rel), encoding="utf-8") as f:
            return f.read()

    def test_dependencies_name_the_package_of_every_linked_library(self):
        self.assertEqual(self.field("Package"), "velmar")
        depends = {d.strip().split(" ")[0] for d in self.field("Depends").split(",") if d.strip()}
        needed = re.findall(r"\(NEEDED\)\s+Shared library: \[(.+?)\]",
                            run(["readelf", "-d", self.program]).stdout)
        self.assertIn("libQt6Widgets.so.6", needed)
        self.assertIn("libcurl4", depends, "libcurl is loaded at run time, not linked")
        for soname in needed:
            packages = owning_packages(soname)
            self.assertTrue(packages & depends, "%s (%s) not in Depends" % (soname, packages))

    def test_files_are_in_their_xdg_places(self):
        self.assertTrue(os.access(self.program, os.X_OK))
        # (The desktop entry, metadata, manual and copyright: the tests that read them.)
        for rel in ["usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
                    "usr/share/man/man1/velmar.1.gz",
                    "usr/share/doc/velmar/changelog.Debian.gz"]:
            self.assertTrue(os.path.isfile(self.path(rel)), rel)
        for size in ICON_SIZES:
            png = self.path("usr/share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, APP_ID))
            with self.subTest(size=size):
                self.assertTrue(os.path.isfile(png))
                self.assertEqual(png_size(png), (size, size))
        # Nothing outside /usr, and no build-tree leftovers.
        self.assertEqual(sorted(os.listdir(self.root)), ["usr"])

    def test_licence_is_stated_alike_everywhere_and_lintian_finds_no_error(self):
        copyright = self.text("usr/share/doc/velmar/copyright")
        self.assertTrue(copyright.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
        self.assertIn("License: GPL-3+\n", copyright)
        metainfo = self.text("usr/share/metainfo/%s.metainfo.xml" % APP_ID)
        self.assertIn("<project_license>GPL-3.0-or-later</project_license>", metainfo)
        # The program has no web site: nothing may point at one.
        self.assertNotIn("<url", metainfo)
        self.assertEqual(self.field("Homepage"), "")
        if not shutil.which("lintian"):
            self.skipTest("lintian is not installed")
        r = run(["lintian", "--tag-display-limit", "0", self.deb])
        tags = [l for l in r.stdout.splitlines() if re.match(r"^[EWIP]: ", l)]
        for line in tags:
            print("lintian:", line, file=sys.stderr)
        self.assertEqual([l for l in tags if l.startswith("E: ")], [], r.stdout + r.stderr)

    def test_manual_carries_every_picture_it_shows(self):
        help_dir = self.path("usr/share/velmar/help")
        pictures = re.findall(r'<img[^>]*\bsrc="([^"]+)"', self.text(help_dir + "/ce_velmar.htm"))
        self.assertTrue(pictures)
        for picture in pictures:
            self.assertIsNotNone(png_size(os.path.join(help_dir, picture)), picture)

    def test_desktop_entry_and_metadata_validate(self):
        desktop = self.path("usr/share/applications/%s.desktop" % APP_ID)
        r = run(["desktop-file-validate", desktop])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertNotIn("error:", r.stdout)
        entry = dict(l.split("=", 1) for l in self.text(desktop).splitlines() if "=" in l)
        self.assertEqual(entry["Exec"].split()[0], "velmar")
        self.assertIn(entry["Exec"].split()[1], ("%F", "%U"))  # it takes folders
        self.assertEqual(entry["Icon"], APP_ID)
        for category in ("FileManager", "Network"):
            self.assertIn(category, entry["Categories"].split(";"))
        r = run(["appstreamcli", "validate", "--no-net", "--explain",
                 self.path("usr/share/metainfo/%s.metainfo.xml" % APP_ID)])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_unpacked_program_starts_and_finds_its_manual(self):
        version = self.field("Version")
        r = run([self.program, "--version"], env=program_env())
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout, "CE Velmar %s\n" % version.split("-")[0])  # 1.1 of 1.1-1
        r = run([self.program, "--help"], env=program_env())
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("Manual: %s\n" % os.path.realpath(self.path("usr/share/velmar/help/ce_velmar.htm")),
                      r.stdout)
        # Every mode pictures itself without waiting for a person (telnet asks for a host).
        for mode in ("filemanager", "telnet", "game"):
            with self.subTest(mode=mode):
                shot = os.path.join(self.tmp, mode + ".png")
                r = run([self.program, "--mode", mode, "--size", "640x480", "--screenshot", shot,
                         "/usr", "/"], env=program_env(display=True))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(png_size(shot), (640, 480))

    def test_unpacked_program_refuses_unknown_options_and_missing_folders_even_without_display(self):
        for args, text in ((["--frobnicate"], "unknown option --frobnicate"),
                           (["/no/such/folder"], "no such file or folder: /no/such/folder")):
            for display in (True, False):  # without one: no Qt platform error, no abort
                with self.subTest(args=args, display=display):
                    r = run([self.program] + args, env=program_env(display=display))
                    self.assertEqual(r.returncode, 2, r.stderr)
                    self.assertIn("velmar: " + text, r.stderr)
                    if not display:  # only our own words
                        self.assertTrue(r.stderr.startswith("velmar: "), r.stderr)
        r = run([self.program, "/"], env=program_env())
        self.assertEqual((r.returncode, r.stderr),
                         (1, "velmar: no display to show the windows on (DISPLAY is not set)\n"))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--cpack", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
