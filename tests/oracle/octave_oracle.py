#!/usr/bin/env python3
"""Octave as the oracle of the MATLAB resolution mode.

Usage: octave_oracle.py RESOLVE_PAIRS [LIBRARY]

For every (calling file, name) pair that korvath_resolve_pairs lists (names
no class has a method of, so the answer does not depend on argument types),
Octave says which file the name reaches from that file: a probe function
written beside the caller returns functions(str2func(NAME)).file, which
sees the caller's private folder; where that gives no file (a class, a
built-in, nothing), which(NAME) from outside says. Korvath's answer must
be the same, except for the cases listed in KNOWN_DIFFERENCES.

Runs on a copy, in a temporary folder, of a fixture project of its own and
of LIBRARY (default: Octave's own m library). Exit status 77 (skipped) when
octave-cli is missing.
"""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

# Where Octave and MATLAB's documentation part, MATLAB's documentation holds:
# (caller relative to the corpus, name) -> why.
KNOWN_DIFFERENCES = {
    ("a/caller.m", "Old"):
        "MATLAB puts a constructor in an @Old folder before any function Old.m; Octave "
        "finds b/Old.m, a function beside the @Old folder, first",
}

# A project exercising every rule a name given as text goes through:
# private folders (beside a file, of a private file, of a package), class
# folders, classdef files, packages, the path order and case.
FIXTURE = {
    "a/caller.m": "function caller\nfeval('pv'); feval('shared'); feval('Cls');\n"
                  "feval('Old'); feval('later'); feval('Shared'); feval('cd_only');\n",
    "a/private/pv.m": "function pv\nfeval('pv2');\n",
    "a/private/pv2.m": "function pv2\n",
    "a/private/shared.m": "function shared\n",
    "a/later.m": "function later\n",
    "b/shared.m": "function shared\nfeval('pv');\n",
    "b/Cls.m": "classdef Cls\nend\n",
    "b/@Old/Old.m": "function o = Old\no = class(struct(), 'Old');\n",
    "b/later.m": "function later\n",
    "b/Old.m": "function Old\n",
    "b/+pk/pf.m": "function pf\nfeval('shared'); feval('pg');\n",
    "b/+pk/pg.m": "function pg\n",
    "c/user.m": "function user\nfeval('later'); feval('Cls'); feval('pv');\n",
}


def search_dirs(root):
    """The folders holding .m files, private, class and package folders
    excepted, in the order the benches' pathdef.m lists them."""
    dirs = [root]
    for parent, subdirs, _ in os.walk(root):
        dirs.extend(Path(parent) / s for s in subdirs)
    dirs.sort(key=lambda p: p.parts)

    def excluded(d):
        return any(part == "private" or part[:1] in ("@", "+")
                   for part in d.relative_to(root).parts)

    def has_m(d):
        return any(e.suffix == ".m" and e.is_file() for e in d.iterdir())

    return [d for d in dirs if not excluded(d) and has_m(d)]


def octave_string(s):
    return "'" + s.replace("'", "''") + "'"


def probe_caller(folder, probe_id):
    """The call that runs the probe written for `folder`, and the files to
    write for it; None where no probe can stand in for a caller there."""
    parts = folder.parts
    name = "kvprobe%d" % probe_id
    body = ("function r = %s(n)\n  r = '';\n  f = functions(str2func(n));\n"
            "  if isfield(f, 'file'), r = f.file; end\nend\n" % name)
    if any(p[:1] == "@" for p in parts):
        return None
    packages = [p[1:] for p in parts if p[:1] == "+"]
    if parts[-1] == "private":
        if packages:
            return None
        tramp = "kvtramp%d" % probe_id
        files = {folder / (name + ".m"): body,
                 folder.parent / (tramp + ".m"):
                     "function r = %s(n)\n  r = %s(n);\nend\n" % (tramp, name)}
        return tramp, files
    qualified = ".".join(packages + [name])
    return qualified, {folder / (name + ".m"): body}


def run_corpus(label, corpus, tool, tmp):
    work = tmp / label
    copy = work / "lib"
    shutil.copytree(corpus, copy, symlinks=False)
    cwd = work / "cwd"
    cwd.mkdir()
    dirs = search_dirs(copy)
    listed = subprocess.run([tool, str(cwd)] + [str(d) for d in dirs], check=True,
                            capture_output=True, text=True).stdout
    pairs = [line.split("\t") for line in listed.splitlines() if line]
    by_folder = {}
    for caller, name, answer in pairs:
        by_folder.setdefault(Path(caller).parent, []).append((caller, name, answer))

    # The corpus's folders before Octave's own, which the driver needs (which
    # is an m-file); compiled functions found there are no files to compare.
    script = ["path([%s, pathsep, path()]);" %
              octave_string(os.pathsep.join(str(d) for d in dirs)),
              "fid = fopen(%s, 'w');" % octave_string(str(work / "octave.tsv"))]
    probes = {}
    for i, folder in enumerate(sorted(by_folder)):
        made = probe_caller(folder, i)
        if made is None:
            continue
        call, files = made
        for path, text in files.items():
            path.write_text(text)
        probes[folder] = i
        names = sorted({name for _, name, _ in by_folder[folder]})
        script.append("names = {%s};" % ", ".join(octave_string(n) for n in names))
        script.append("for k = 1:numel(names)\n  try\n    r = feval(%s, names{k});\n"
                      "  catch\n    r = '?';\n  end\n"
                      "  fprintf(fid, 'P\\t%d\\t%%s\\t%%s\\n', names{k}, r);\nend" %
                      (octave_string(call), i))
    every_name = sorted({name for _, name, _ in pairs})
    script.append("names = {%s};" % ", ".join(octave_string(n) for n in every_name))
    script.append("for k = 1:numel(names)\n  try\n    w = which(names{k});\n  catch\n"
                  "    w = '?';\n  end\n  fprintf(fid, 'W\\t%s\\t%s\\n', names{k}, w);\nend")
    script.append("fclose(fid);")
    (work / "driver.m").write_text("\n".join(script) + "\n")
    subprocess.run(["octave-cli", "--no-init-file", "--no-site-file", "--no-window-system",
                    "-q", str(work / "driver.m")], cwd=cwd, check=True, timeout=1200,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    probed = {}
    which = {}
    for line in (work / "octave.tsv").read_text().splitlines():
        fields = line.split("\t")
        if fields[0] == "P" and len(fields) == 4:
            probed[(int(fields[1]), fields[2])] = fields[3]
        elif fields[0] == "W" and len(fields) == 3:
            which[fields[1]] = fields[2]

    def is_file(answer):
        return answer.startswith(str(copy)) and answer.endswith(".m")

    compared = differences = known = unanswered = 0
    shown = 0
    for folder, rows in sorted(by_folder.items()):
        if folder not in probes:
            continue
        for caller, name, answer in rows:
            got = probed.get((probes[folder], name))
            if got is None or got == "?":
                unanswered += 1
                continue
            oracle = got if is_file(got) else (which.get(name, "") if is_file(which.get(name, ""))
                                               else "")
            compared += 1
            if oracle == answer:
                continue
            rel = str(Path(caller).relative_to(copy))
            if (rel, name) in KNOWN_DIFFERENCES:
                known += 1
                continue
            differences += 1
            if shown < 40:
                shown += 1
                print("%s: %s in %s: Korvath %r, Octave %r" %
                      (label, name, rel, answer.replace(str(copy), "") or None,
                       oracle.replace(str(copy), "") or None))
    print("%s: %d pairs compared, %d differ, %d known differences, %d not answered by Octave,"
          " %d callers in folders no probe can stand in" %
          (label, compared, differences, known, unanswered,
           sum(len(r) for f, r in by_folder.items() if f not in probes)))
    return compared, differences


def default_library():
    base = Path("/usr/share/octave")
    versions = []
    if base.is_dir():
        for entry in base.iterdir():
            if entry.name[:1].isdigit() and (entry / "m").is_dir():
                parts = [int(p) if p.isdigit() else 0 for p in entry.name.split(".")]
                versions.append((parts, entry / "m"))
    return max(versions)[1] if versions else None


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    if shutil.which("octave-cli") is None:
        print("octave_oracle: octave-cli is not installed (apt-get install octave); skipped")
        return 77
    tool = os.path.abspath(argv[1])
    library = Path(argv[2]) if len(argv) > 2 else default_library()
    failed = False
    with tempfile.TemporaryDirectory(prefix="octave-oracle.") as tmp_name:
        tmp = Path(tmp_name)
        fixture = tmp / "fixture-src"
        for rel, text in FIXTURE.items():
            (fixture / rel).parent.mkdir(parents=True, exist_ok=True)
            (fixture / rel).write_text(text)
        compared, differ = run_corpus("fixture", fixture, tool, tmp)
        failed = failed or differ > 0 or compared < len(FIXTURE)
        if library is not None and library.is_dir():
            compared, differ = run_corpus("library", library, tool, tmp)
            failed = failed or differ > 0 or compared == 0
        else:
            print("octave_oracle: no Octave library found; only the fixture compared")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
