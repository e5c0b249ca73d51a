#!/usr/bin/env python3
"""Runs scripts/check-layers --root on small trees, each with one include or
link, and checks its verdict: exit 1 naming the file for an upward use, 0 for
a downward one. Usage: check_layers_test.py PATH/TO/check-layers"""
import pathlib
import subprocess
import sys
import tempfile

# (file, its text, the exit status expected)
CASES = [
    ("engine/a.h", '#include "session/b.h"\n', 1),
    ("engine/a.h", "#include <session/b.h>\n", 1),
    ("engine/a.cpp", "  #  include   <gui/widgets/w.h>\n", 1),
    ("platform/a.h", "#include <engine/b.h>\n", 1),
    ("graph/a.h", '#include "engine/b.h"\n', 1),
    ("cli/a.cpp", "#include <gui/main_window.h>\n", 1),
    ("lsp/a.cpp", '#include "graph/b.h"\n', 1),
    ("lsp/a.cpp", "#include <cli/b.h>\n", 1),
    ("gui/widgets/a.h", '#include "gui/models/b.h"\n', 1),
    ("gui/models/a.h", "#include <gui/explorer/b.h>\n", 1),
    ("engine/CMakeLists.txt",
     "add_library(korvath_engine a.cpp)\ntarget_link_libraries(korvath_engine PUBLIC korvath_session)\n", 1),
    ("session/a.h", "#include <engine/b.h>\n", 0),
    ("session/a.h", '#include "platform/b.h"\n', 0),
    ("lsp/a.cpp", "#include <session/b.h>\n", 0),
    ("gui/explorer/a.h", '#include "gui/models/b.h"\n', 0),
    ("engine/a.cpp", "#include <QtCore/QString>\n#include <string>\n", 0),
    ("engine/a.cpp", "// #include <session/b.h>\n", 0),
]

# Every run also holds a session layer that links the engine, downwards.
SESSION_CMAKE = ("add_library(korvath_session s.cpp)\n"
                 "target_link_libraries(korvath_session PUBLIC korvath_engine)\n")


def main():
    script = sys.argv[1]
    failures = 0
    for relative, text, expected in CASES:
        with tempfile.TemporaryDirectory() as root:
            session = pathlib.Path(root, "session")
            session.mkdir()
            (session / "CMakeLists.txt").write_text(SESSION_CMAKE)
            path = pathlib.Path(root, relative)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
            run = subprocess.run([sys.executable, script, "--root", root],
                                 capture_output=True, text=True)
            named = expected == 0 or relative.split("/")[0] in run.stdout
            if run.returncode != expected or not named:
                failures += 1
                print(f"FAIL {relative}: {text.strip()!r}: exit {run.returncode}, "
                      f"expected {expected}\n{run.stdout}{run.stderr}")
    print(f"{len(CASES) - failures}/{len(CASES)} cases passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
