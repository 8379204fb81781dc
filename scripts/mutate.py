#!/usr/bin/env python3
"""Mutation run: applies each mutant of tests/mutants/*.txt to a copy of the tree,
rebuilds the named targets, runs the named tests and reports whether a test noticed.

A mutant file holds blocks separated by blank lines; '#' lines are comments:

    id: comms-crc-init
    file: comms/modbus_client.cpp
    from: std::uint16_t crc = 0xFFFF;
    to: std::uint16_t crc = 0xFFFE;
    target: test_comms
    tests: ModbusCrc BuildRequest

'from' and 'to' are exact text (everything after "from: " up to the end of the line;
"\\n" stands for a line break, "\\\\" for a backslash). 'from' must occur exactly once
in the file, or 'nth: k' names the k-th occurrence (1-based). 'target' lists build targets (spaces between);
those that are test programs (build/tests/<name>) are run with 'tests', test suite
names (a parametrised suite's instances included) or Suite.Test patterns (spaces
between), as their --gtest_filter.

Outcomes: killed (a test failed, or timed out: a hanging test counts as killed),
survived, did-not-compile (counted apart, not in the score), not-applicable (the text is
not in the file, or the file is gone: the code moved on since the mutant was written).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MUTANTS_DIR = ROOT / "tests" / "mutants"


@dataclass
class Mutant:
    id: str
    file: str
    old: str
    new: str
    targets: list
    tests: list
    nth: int = 0
    source: str = ""
    note: str = ""


@dataclass
class Outcome:
    mutant: Mutant
    result: str
    detail: str = ""
    seconds: float = 0.0


def unescape(text):
    return re.sub(r"\\([\\n])", lambda m: "\n" if m.group(1) == "n" else "\\", text)


def parse_mutant_file(path):
    mutants, block = [], {}

    def flush():
        if not block:
            return
        missing = [k for k in ("id", "file", "from", "to", "target", "tests") if k not in block]
        if missing:
            sys.exit(f"{path.name}: mutant {block.get('id', '?')} lacks {', '.join(missing)}")
        mutants.append(
            Mutant(
                id=block["id"],
                file=block["file"],
                old=unescape(block["from"]),
                new=unescape(block["to"]),
                targets=block["target"].split(),
                tests=block["tests"].split(),
                nth=int(block.get("nth", "0")),
                source=path.stem,
                note=block.get("why", ""),
            )
        )
        block.clear()

    for raw in path.read_text().splitlines():
        if raw.startswith("#"):
            continue
        if not raw.strip():
            flush()
            continue
        key, sep, value = raw.partition(": ")
        if not sep:
            key, value = raw.rstrip(":"), ""
        block[key.strip()] = value
    flush()
    return mutants


def load_mutants():
    mutants = []
    for path in sorted(MUTANTS_DIR.glob("*.txt")):
        mutants.extend(parse_mutant_file(path))
    ids = [m.id for m in mutants]
    dupes = {i for i in ids if ids.count(i) > 1}
    if dupes:
        sys.exit("duplicate mutant ids: " + ", ".join(sorted(dupes)))
    return mutants


def select(mutants, patterns):
    if not patterns:
        return mutants
    return [m for m in mutants if any(m.id.startswith(p) or m.source == p for p in patterns)]


def mutate_text(text, m):
    count = text.count(m.old)
    if count == 0:
        return None, "text not found"
    if m.nth == 0 and count > 1:
        return None, f"text found {count} times (give nth)"
    if m.nth > count:
        return None, f"only {count} occurrences"
    at = -1
    for _ in range(max(m.nth, 1)):
        at = text.index(m.old, at + 1)
    return text[:at] + m.new + text[at + len(m.old):], ""


def sync_tree(src_dir, keep):
    """Copies the working tree's tracked and new files into the mutation copy; files
    whose content did not change keep their time stamps, so the build stays incremental."""
    listing = subprocess.run(
        ["git", "ls-files", "-co", "--exclude-standard", "-z"],
        cwd=ROOT, check=True, capture_output=True,
    ).stdout.decode().split("\0")
    wanted = set()
    for rel in filter(None, listing):
        if rel.startswith("tests/mutants/"):
            continue
        origin = ROOT / rel
        if not origin.is_file():
            continue
        wanted.add(rel)
        copy = src_dir / rel
        data = origin.read_bytes()
        if copy.is_file() and copy.read_bytes() == data:
            continue
        copy.parent.mkdir(parents=True, exist_ok=True)
        copy.write_bytes(data)
        shutil.copymode(origin, copy)
    for path in src_dir.rglob("*"):
        if keep in path.parents:
            continue
        if path.is_file() and path.relative_to(src_dir).as_posix() not in wanted:
            path.unlink()


def run(cmd, cwd, limit, env=None):
    try:
        proc = subprocess.run(
            cmd, cwd=cwd, env=env, capture_output=True, text=True, timeout=limit,
            start_new_session=True,
        )
        return proc.returncode, proc.stdout + proc.stderr, False
    except subprocess.TimeoutExpired as e:
        out = (e.stdout or b"") + (e.stderr or b"")
        return -1, out.decode(errors="replace") if isinstance(out, bytes) else out, True


class Runner:
    def __init__(self, args):
        self.args = args
        self.work = Path(args.workdir).resolve()
        self.src = self.work / "src"
        # The build folder sits inside the copy, as build/ does in a working tree, so
        # the compiler cache sees the same relative paths as an ordinary build.
        self.build = self.src / "build"
        self.env = dict(os.environ)
        self.env.setdefault("CCACHE_DIR", "/work/ccache")
        self.env.setdefault("CCACHE_BASEDIR", str(self.src))
        # Debug builds hash the working folder unless told not to; the copy's objects
        # then come from the cache the working tree's build filled.
        self.env.setdefault("CCACHE_NOHASHDIR", "1")

    def prepare(self):
        self.src.mkdir(parents=True, exist_ok=True)
        sync_tree(self.src, self.build)
        if not (self.build / "build.ninja").exists():
            cmd = ["cmake", "-S", str(self.src), "-B", str(self.build), "-G", "Ninja"]
            if shutil.which("ccache"):
                cmd += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
            rc, out, _ = run(cmd, self.work, None, self.env)
            if rc != 0:
                sys.exit("configure failed:\n" + out[-3000:])

    def build_targets(self, targets, limit=None):
        cmd = ["cmake", "--build", str(self.build), f"-j{self.args.jobs}", "--target", *targets]
        rc, out, timed_out = run(cmd, self.work, limit, self.env)
        return rc == 0 and not timed_out, out

    def run_tests(self, targets, suites):
        """Runs each test program among the targets once, on the named suites (one
        process per program: much faster than a process per test on two cores)."""
        # A bare suite name also matches its parametrised instances ("Rows/Suite.Test/0").
        pattern = ":".join(name if "." in name else f"{name}.*:*/{name}.*" for name in suites)
        outputs, timed_out = [], False
        for target in targets:
            program = self.build / "tests" / target
            if not program.is_file():
                continue  # built for the others (a tool a test runs)
            cmd = [str(program), f"--gtest_filter={pattern}", "--gtest_brief=1"]
            rc, out, hung = run(cmd, self.build / "tests", self.args.test_timeout, self.env)
            outputs.append(out)
            if hung:
                return False, True, "\n".join(outputs)
            if rc != 0:
                return False, False, "\n".join(outputs)
            if re.search(r"\[  PASSED  \] 0 tests", out):
                return False, False, f"{target}: no test matches {pattern}"
        return True, timed_out, "\n".join(outputs)

    def baseline(self, mutants):
        failing = set()
        keys = sorted({(tuple(m.targets), tuple(m.tests)) for m in mutants})
        print("building the unchanged copy and running the chosen tests on it", flush=True)
        ok, out = self.build_targets(sorted({t for key in keys for t in key[0]}))
        if not ok:
            sys.exit("the unchanged tree does not build:\n" + out[-3000:])
        for key in keys:
            passed, _, out = self.run_tests(list(key[0]), list(key[1]))
            if not passed:
                print(f"baseline: {' '.join(key[1])} fail on the unchanged tree; "
                      "their mutants are skipped", flush=True)
                print(out[-2000:], flush=True)
                failing.add(key)
        return failing

    def try_mutant(self, m):
        path = self.src / m.file
        if not path.is_file():
            return Outcome(m, "not-applicable", "file not found")
        original = path.read_text()
        mutated, why = mutate_text(original, m)
        if mutated is None:
            return Outcome(m, "not-applicable", why)
        start = time.monotonic()
        path.write_text(mutated)
        try:
            built, out = self.build_targets(m.targets, self.args.build_timeout)
            if not built:
                return Outcome(m, "did-not-compile", first_error(out), time.monotonic() - start)
            passed, timed_out, out = self.run_tests(m.targets, m.tests)
            seconds = time.monotonic() - start
            if timed_out:
                return Outcome(m, "killed", "time-out (hanging test)", seconds)
            if passed:
                return Outcome(m, "survived", "", seconds)
            return Outcome(m, "killed", first_failure(out), seconds)
        finally:
            path.write_text(original)


def first_error(out):
    for line in out.splitlines():
        if "error:" in line:
            return line.strip()[:160]
    return "build failed"


def first_failure(out):
    for line in out.splitlines():
        if line.startswith("[  FAILED  ]") or "no test matches" in line:
            return re.sub(r"\s+", " ", line.strip())[:160]
    return "test program failed (crash or exit status)"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("only", nargs="*", help="mutant id prefixes or mutant file names (subsystems)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--workdir", default=str(ROOT / "build-mutate"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--test-timeout", type=int, default=120,
                        help="seconds per test program run; a run that takes longer is killed "
                        "and its mutant counted as killed (a hanging test)")
    parser.add_argument("--build-timeout", type=int, default=900, help="seconds per mutant's rebuild (the first, whole build has no limit)")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip checking that the chosen tests pass on the unchanged tree")
    parser.add_argument("--results", help="results file (default: <workdir>/results.tsv)")
    args = parser.parse_args()

    mutants = select(load_mutants(), args.only)
    if not mutants:
        sys.exit("no mutant matches")
    if args.list:
        missing = 0
        for m in mutants:
            path = ROOT / m.file
            why = mutate_text(path.read_text(), m)[1] if path.is_file() else "file not found"
            missing += 1 if why else 0
            print(f"{m.id:30} {m.file:40} {' '.join(m.targets)}: {' '.join(m.tests)}"
                  + (f"  [not applicable: {why}]" if why else ""))
        print(f"{len(mutants)} mutants, {missing} not applicable to this tree")
        return

    runner = Runner(args)
    runner.prepare()
    failing = set() if args.no_baseline else runner.baseline(mutants)
    results_path = Path(args.results) if args.results else runner.work / "results.tsv"
    outcomes = []
    with results_path.open("w") as results:
        results.write("id\tresult\tseconds\tdetail\n")
        for i, m in enumerate(mutants, 1):
            if (tuple(m.targets), tuple(m.tests)) in failing:
                outcome = Outcome(m, "not-applicable", "tests fail on the unchanged tree")
            else:
                outcome = runner.try_mutant(m)
            outcomes.append(outcome)
            line = f"[{i}/{len(mutants)}] {m.id:34} {outcome.result:16} {outcome.detail}"
            print(line.rstrip(), flush=True)
            results.write(f"{m.id}\t{outcome.result}\t{outcome.seconds:.0f}\t{outcome.detail}\n")
            results.flush()
    report(outcomes)


def report(outcomes):
    counts = {}
    for o in outcomes:
        counts[o.result] = counts.get(o.result, 0) + 1
    killed, survived = counts.get("killed", 0), counts.get("survived", 0)
    print()
    for name in ("killed", "survived", "did-not-compile", "not-applicable"):
        print(f"{name:16} {counts.get(name, 0)}")
    hung = sum(1 for o in outcomes if o.detail.startswith("time-out"))
    if hung:
        print(f"(of the killed, {hung} by a time-out)")
    scored = killed + survived
    if scored:
        print(f"score: {killed}/{scored} killed = {100.0 * killed / scored:.1f} %")
    for o in outcomes:
        if o.result == "survived":
            print(f"survivor: {o.mutant.id} ({o.mutant.file}) {o.mutant.note}".rstrip())


if __name__ == "__main__":
    main()
