#!/usr/bin/env python3
"""Seeded mutation testing: how many small, plausible faults in the product code the test suite catches.

Each mutant changes one token on one line of a product source file (a comparison, a logical or
arithmetic operator, an integer constant, a boolean literal), rebuilds the configured build folder
with Ninja, and runs only the ctest entries whose executables were relinked by that rebuild. A
mutant is KILLED when any of those tests fails or times out, SURVIVED when all pass, and left out
of the score (NO-BUILD) when it does not compile or its rebuild takes too long. The source file is
always restored, also on Ctrl-C, and the build is brought back up to date at the end.

usage (from the project root, with a configured build folder):
  tools/mutants.py [--build build] [--count 40] [--seeds 1,2,3] [--layers ethercat,sim,...]
                   [--headers] [--files a.cpp,b.cpp] [--include-soak] [--list] [--report mutants.tsv]
                   [--resume] [--reverse]

The same seed and the same sources give the same mutants. Several seeds run in one go: a mutant
that two seeds both pick is built and tested once and counts for both. The score per layer is
printed for each seed and across all of them; --report writes one row per mutant and seed as
soon as it is decided, and --resume takes the verdicts already in that report (same file, line,
column, operator and line text) instead of running them again, so a long run can be continued.
"""
import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time

LAYERS = ["app", "model", "ethercat", "sim", "console", "widgets", "factory"]

# (name, pattern, replacement). Binary operators are matched with the spaces clang-format puts
# around them, so template brackets, shifts and arrows are not touched.
OPERATORS = [
    ("==", re.compile(r"(?<=\S) == (?=\S)"), " != "),
    ("!=", re.compile(r"(?<=\S) != (?=\S)"), " == "),
    ("<=", re.compile(r"(?<=\S) <= (?=\S)"), " < "),
    (">=", re.compile(r"(?<=\S) >= (?=\S)"), " > "),
    ("<", re.compile(r"(?<=[\w)\]]) < (?=[\w(])"), " <= "),
    (">", re.compile(r"(?<=[\w)\]]) > (?=[\w(])"), " >= "),
    ("&&", re.compile(r" && "), " || "),
    ("||", re.compile(r" \|\| "), " && "),
    ("+", re.compile(r"(?<=[\w)\]]) \+ (?=[\w(])"), " - "),
    ("-", re.compile(r"(?<=[\w)\]]) - (?=[\w(])"), " + "),
    ("true", re.compile(r"\btrue\b"), "false"),
    ("false", re.compile(r"\bfalse\b"), "true"),
    ("int+1", re.compile(r"(?<![\w.])([0-9]+)(?![\w.'])"), None),
]

SKIP_LINE = re.compile(
    r"^\s*(#|//|\*|/\*)|static_assert|Q_OBJECT|Q_PROPERTY|qDebug|qWarning|qInfo|"
    r"^\s*(case|default)\b|\btemplate\s*<|enum\b|\[\[")


def strip_strings(line):
    """The line with string and character literals and trailing comments blanked, same length."""
    out, i, n = [], 0, len(line)
    while i < n:
        c = line[i]
        if c in "\"'":
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            out.append(" " * (min(j, n - 1) - i + 1))
            i = j + 1
        elif line.startswith("//", i):
            out.append(" " * (n - i))
            break
        else:
            out.append(c)
            i += 1
    return "".join(out)[:n]


def sites(root, layers, headers):
    found = []
    exts = (".cpp", ".h") if headers else (".cpp",)
    for layer in layers:
        for dirpath, _, files in os.walk(os.path.join(root, layer)):
            for f in sorted(files):
                if not f.endswith(exts):
                    continue
                path = os.path.relpath(os.path.join(dirpath, f), root)
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as fh:
                    lines = fh.read().split("\n")
                in_block = False
                for no, line in enumerate(lines, 1):
                    s = line.strip()
                    if in_block:
                        in_block = "*/" not in s
                        continue
                    if s.startswith("/*"):
                        in_block = "*/" not in s
                        continue
                    if not s or SKIP_LINE.search(line):
                        continue
                    code = strip_strings(line)
                    for name, pat, _ in OPERATORS:
                        for m in pat.finditer(code):
                            found.append((layer, path, no, m.start(), m.end(), name))
    found.sort(key=lambda x: (x[1], x[2], x[3]))
    return found


def mutate_line(line, start, end, name):
    if name == "int+1":
        return line[:start] + str(int(line[start:end]) + 1) + line[end:]
    repl = next(r for n, _, r in OPERATORS if n == name)
    return line[:start] + repl + line[end:]


# Test folders most likely to catch a fault in each layer; they run first, the rest only when
# these all pass, so a killed mutant costs little.
NEAR = {"app": ["app"], "model": ["model"], "ethercat": ["stack", "bus", "ecmaster"],
        "sim": ["sim", "bus"], "console": ["console"], "widgets": ["widgets"],
        "factory": ["factory"]}


def test_table(build):
    out = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                         capture_output=True, text=True, check=True).stdout
    table = []
    for t in json.loads(out)["tests"]:
        files = [a for a in t.get("command", []) if os.path.isfile(a)]
        wd = next((p["value"] for p in t.get("properties", [])
                   if p["name"] == "WORKING_DIRECTORY"), "")
        area = os.path.basename(wd.rstrip("/"))
        table.append((t["name"], files, area))
    return table


def run_tests(build, names, timeout):
    """True when every named test passes."""
    regex = "^(" + "|".join(re.escape(n) for n in names) + ")$"
    try:
        r = subprocess.run(
            ["ctest", "--test-dir", build, "-j", str(os.cpu_count() or 2), "--timeout",
             str(timeout), "--stop-on-failure", "--no-tests=error", "-R", regex],
            capture_output=True, text=True, timeout=timeout * 4,
            env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        return r.returncode == 0
    except subprocess.TimeoutExpired:
        return False


def ninja(build, timeout):
    try:
        r = subprocess.run(["cmake", "--build", build], capture_output=True, text=True,
                           timeout=timeout)
        return r.returncode == 0
    except subprocess.TimeoutExpired:
        return None


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default="build")
    ap.add_argument("--count", type=int, default=40)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--seeds", help="comma-separated seeds, run in one go (overrides --seed)")
    ap.add_argument("--layers", default=",".join(LAYERS))
    ap.add_argument("--headers", action="store_true", help="mutate headers too (slow rebuilds)")
    ap.add_argument("--files", help="comma-separated source paths: sample only their sites, to "
                                    "judge the tests of a few files rather than of the product")
    ap.add_argument("--include-soak", action="store_true", help="also run the fault soak")
    ap.add_argument("--build-timeout", type=int, default=600)
    ap.add_argument("--test-timeout", type=int, default=300)
    ap.add_argument("--list", action="store_true", help="print the chosen mutants and stop")
    ap.add_argument("--report")
    ap.add_argument("--reverse", action="store_true",
                    help="run the mutants last first (a second runner from the other end)")
    ap.add_argument("--resume", action="store_true",
                    help="reuse the verdicts already in --report")
    args = ap.parse_args()

    root = os.getcwd()
    layers = [l for l in args.layers.split(",") if os.path.isdir(os.path.join(root, l))]
    everything = sites(root, layers, args.headers)
    if args.files:
        wanted = set(args.files.split(","))
        everything = [site for site in everything if site[1] in wanted]
    if not everything:
        sys.exit("no mutation sites found under " + ", ".join(layers))
    seeds = [int(x) for x in args.seeds.split(",")] if args.seeds else [args.seed]
    picked = {}  # site -> seeds that picked it
    for seed in seeds:
        for site in random.Random(seed).sample(everything, min(args.count, len(everything))):
            picked.setdefault(site, []).append(seed)
    chosen = sorted(picked, key=lambda x: (x[1], x[2], x[3]), reverse=args.reverse)
    print(f"{len(everything)} sites in {', '.join(layers)}; {len(chosen)} mutants, "
          f"seeds {', '.join(map(str, seeds))}")
    if args.list:
        for layer, path, no, s, e, name in chosen:
            print(f"{path}:{no}  {name}  seeds {','.join(map(str, picked[(layer, path, no, s, e, name)]))}")
        return

    def line_of(path, no):
        with open(os.path.join(root, path), encoding="utf-8") as fh:
            return fh.read().split("\n")[no - 1].strip()

    known = {}  # (path, line, column, operator, line text) -> (verdict, tests, seconds)
    if args.resume and args.report and os.path.isfile(args.report):
        with open(args.report, encoding="utf-8") as fh:
            next(fh, None)
            for row in fh:
                f = row.rstrip("\n").split("\t")
                if len(f) >= 10:
                    known[(f[2], int(f[3]), int(f[4]), f[5], f[9])] = (f[6], int(f[7]), float(f[8]))
    report = None
    if args.report:
        report = open(args.report, "w", encoding="utf-8")
        report.write("seed\tlayer\tfile\tline\tcolumn\toperator\tverdict\ttests\tseconds\tline_text\n")

    if not os.path.isfile(os.path.join(args.build, "build.ninja")):
        sys.exit(f"{args.build} is not a configured Ninja build folder")
    print("bringing the build up to date ...", flush=True)
    if not ninja(args.build, 3600):
        sys.exit("the unmutated build fails; fix it first")
    table = test_table(args.build)

    state = {"path": None, "text": None}

    def restore(*_):
        if state["path"]:
            with open(state["path"], "w", encoding="utf-8") as fh:
                fh.write(state["text"])
            state["path"] = None

    def on_signal(signum, _):
        restore()
        sys.exit(128 + signum)

    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)

    results = []
    try:
        for i, site in enumerate(chosen, 1):
            layer, path, no, s, e, name = site
            key = (path, no, s, name, line_of(path, no))
            if key in known:
                verdict, ran, secs = known[key]
                results.append((layer, path, no, name, verdict, ran, secs, key[4], picked[site]))
                for seed in picked[site]:
                    report.write("\t".join(str(x) for x in (seed, layer, path, no, s, name, verdict, ran, secs, key[4])) + "\n")
                report.flush()
                print(f"[{i}/{len(chosen)}] {verdict:8} {path}:{no} {name:5} (from the report)", flush=True)
                continue
            full = os.path.join(root, path)
            with open(full, encoding="utf-8") as fh:
                text = fh.read()
            lines = text.split("\n")
            original = lines[no - 1]
            lines[no - 1] = mutate_line(original, s, e, name)
            state.update(path=full, text=text)
            before = time.time()
            with open(full, "w", encoding="utf-8") as fh:
                fh.write("\n".join(lines))
            os.utime(full, None)
            built = ninja(args.build, args.build_timeout)
            verdict, ran = "NO-BUILD", 0
            if built:
                affected = [(n, area) for n, files, area in table
                            if any(os.path.getmtime(f) >= before for f in files)
                            and (args.include_soak or "soak" not in n)]
                ran = len(affected)
                near = [n for n, area in affected if area in NEAR.get(layer, [])]
                far = [n for n, area in affected if area not in NEAR.get(layer, [])]
                if not affected:
                    verdict = "SURVIVED"  # no test links this code at all
                elif all(run_tests(args.build, group, args.test_timeout)
                         for group in (near, far) if group):
                    verdict = "SURVIVED"
                else:
                    verdict = "KILLED"
            restore()
            secs = time.time() - before
            results.append((layer, path, no, name, verdict, ran, secs, original.strip(), picked[site]))
            if report:
                for seed in picked[site]:
                    report.write("\t".join(str(x) for x in (seed, layer, path, no, s, name, verdict, ran,
                                                             round(secs), original.strip())) + "\n")
                report.flush()
            print(f"[{i}/{len(chosen)}] {verdict:8} {path}:{no} {name:5} tests {ran:3} "
                  f"{secs:5.0f}s | {original.strip()[:90]}", flush=True)
    finally:
        restore()
        print("restoring the build ...", flush=True)
        ninja(args.build, 3600)

    def score_line(label, rows):
        scored = [r for r in rows if r[4] != "NO-BUILD"]
        killed = sum(r[4] == "KILLED" for r in scored)
        score = 100.0 * killed / len(scored) if scored else 0.0
        return f"{killed:3}/{len(scored):<3} {score:5.1f}%"

    columns = [str(seed) for seed in seeds] + (["all seeds"] if len(seeds) > 1 else [])
    print("\nkilled/scored per layer" + ("" if len(seeds) > 1 else f", seed {seeds[0]}")
          + " (NO-BUILD left out)")
    print(f"{'layer':10} " + " ".join(f"{c:>14}" for c in columns))
    for layer in layers + ["total"]:
        rows = results if layer == "total" else [r for r in results if r[0] == layer]
        if not rows:
            continue
        cells = [score_line(seed, [r for r in rows if seed in r[8]]) for seed in seeds]
        if len(seeds) > 1:
            # across seeds a mutant picked twice counts twice, as each seed's sample holds it
            cells.append(score_line("all", [r for r in rows for _ in r[8]]))
        print(f"{layer:10} " + " ".join(f"{c:>14}" for c in cells))
    survivors = [r for r in results if r[4] == "SURVIVED"]
    if survivors:
        print("\nsurvivors (a test that fails on each would catch a real fault):")
        for r in survivors:
            print(f"  {r[1]}:{r[2]} {r[3]} [seed {','.join(map(str, r[8]))}] | {r[7][:100]}")
    if report:
        report.close()


if __name__ == "__main__":
    main()
