#!/usr/bin/env python3
"""The layering check fails on each kind of fault and passes a clean tree."""
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import check_layering  # noqa: E402

LAYERS = "low core:\nhigh: low\n"


class LayeringCheck(unittest.TestCase):
    def faults(self, files, layers=LAYERS):
        with tempfile.TemporaryDirectory() as root:
            root = pathlib.Path(root)
            for name, text in files.items():
                (root / name).parent.mkdir(parents=True, exist_ok=True)
                (root / name).write_text(text)
            for folder in {pathlib.Path(name).parts[0] for name in files}:
                sources = " ".join(path.name for path in (root / folder).glob("*.[ch]*"))
                (root / folder / "CMakeLists.txt").write_text(f"quorvel_library({folder} SOURCES {sources})\n")
            (root / "layers.txt").write_text(layers)
            table, core = check_layering.read_layers(root / "layers.txt")
            return check_layering.check(root, table, core, {"QWidget"})

    def test_clean_tree_passes(self):
        self.assertEqual(self.faults({"low/A.h": "#include <QImage>\n", "high/B.h": '#include "low/A.h"\n'}), [])

    def test_each_fault_is_reported(self):
        cases = {
            "upward include": ({"low/A.h": '#include "high/B.h"\n', "high/B.h": ""}, LAYERS, "may not include"),
            "widgets in the core": ({"low/A.h": "#include <QWidget>\n"}, LAYERS, "core folder"),
            "circle": ({"low/A.h": ""}, "low: high\nhigh: low\n", "circle"),
            "folder outside the table": ({"low/A.h": "", "other/C.h": ""}, LAYERS, "not in the layer table"),
        }
        for name, (files, layers, text) in cases.items():
            with self.subTest(name):
                faults = self.faults(files, layers)
                self.assertTrue(any(text in fault for fault in faults), faults)

    def test_unlisted_source_is_reported(self):
        with tempfile.TemporaryDirectory() as root:
            root = pathlib.Path(root)
            (root / "low").mkdir()
            (root / "low" / "A.h").write_text("")
            (root / "low" / "CMakeLists.txt").write_text("quorvel_library(low SOURCES)\n")
            faults = check_layering.check(root, {"low": set()}, set(), set())
            self.assertEqual(faults, ["src/low/A.h is not listed in src/low/CMakeLists.txt"])


if __name__ == "__main__":
    unittest.main()
