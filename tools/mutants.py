#!/usr/bin/env python3
"""Seeded mutation run over the product code: how many small faults do the
tests catch?

Usage: mutants.py [N [SEED]] [--list] [--no-system] [--minutes M] [--compare RESULTS.json]

Chooses N mutants (default 100) of the component's own code, deterministically
from SEED, applies each to a pristine copy of its file, rebuilds what depends
on that file in build-mutants/ (normal flags, no -Werror, ccache), runs the
unit tests that use it and, when they all pass, the system and interop tests
that cover the file's folder (three at a time; a test that fails so must
fail again alone). A mutant is killed when a test fails or runs out of
time, survives otherwise; one that does not compile is replaced by the
next one. Report: build-mutants/report.txt (share killed, survivors as
file:line and mutation, folders that no test covers); every outcome in
build-mutants/results.json.

Equivalent mutants: a survivor that no test can tell from the program (a
bound the code never reaches, a guard another check repeats) is listed with
its reason in tools/mutants-equivalent.txt after review. Such mutants still
run; the report gives the share killed of all mutants and of those not
judged equivalent, lists the judged ones apart, and names any of them that
a test killed (judged wrongly).

Which tests see a file: the unit tests whose programs link it (or, when they
run in the appliance sandbox, link or start a program or library built from
it), from the build's dependency graph; the system and interop tests from
their CTest labels: a test labelled covers:<folder> (cmake/TavrelTests.cmake)
covers the files of that folder and of the folders below it.

Mutated: agent/, DHCP/dhcpprov/, netkeel/, corvane/ (.c and .cc files; not
what lies in a tests/, fuzz/ or bench/ folder). Not mutated:
- platform/ holds stand-ins for the maker's libraries; the appliance ships the
  maker's own, so a fault there that no test catches costs the product
  nothing, and its tests only check what the system relies on.
- openwbem/ is the CIM framework every program and test links: a mutant there
  relinks and reruns nearly everything, which a cheap run cannot afford. Its
  line and branch coverage is measured by `./dev.sh coverage`.
Headers are not mutated either: a changed header rebuilds most of the tree.

Operators:
- flip: a comparison reversed (== <-> !=, < <-> >=, > <-> <=);
- bound: a bound moved by one (< <-> <=, > <-> >=) or a bound operand given
  +1 or -1;
- guard: a guard `if (...) return/throw/break/continue` whose condition is
  forced false (the check is dropped);
- cond: any other `if` condition forced false;
- rc: a returned code swapped (0 <-> 1, -1 -> 0, true <-> false, a named
  success code -> 1, a named error code -> the family's success code).

Selection is stable under edits elsewhere: every candidate gets a key, a hash
of the seed, the operator, the text of its line (without indentation), its
place in the line and the replacement. The N compiling candidates with the
smallest keys are taken. A line that is unchanged keeps its key, wherever it
moves, so a later run on an edited tree tries the same mutants where the code
is the same; candidates on changed or removed lines drop out and the next
keys fill their places. --compare reports both runs on the mutants they share.
"""

import argparse
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = ROOT / "build-mutants"
DEFAULT_N = 100
DEFAULT_SEED = 13
MUTATED_DIRS = ["agent", "DHCP/dhcpprov", "netkeel", "corvane"]
SKIP_DIRS = {"tests", "test", "fuzz", "bench"}
SOURCE_SUFFIXES = (".c", ".cc", ".cpp")
JOBS = "2"
# The sandboxed system tests mostly wait (for dhcpd, a lease, a timer), so a
# mutant runs three at a time; a failure seen so is confirmed alone.
SYSTEM_JOBS = "3"

# Survivors reviewed and judged equivalent: "<key> <path>: <reason>" per line.
# A key names the line's text, so an entry lapses when its line changes.
EQUIVALENT_LIST = ROOT / "tools" / "mutants-equivalent.txt"

UNIT_TIMEOUT_MIN = 90
SYSTEM_TIMEOUT_MIN = 120
BUILD_TIMEOUT = 900


def log(text):
    print(time.strftime("%H:%M:%S"), text, flush=True)


# ---- source masking: comments, literals and preprocessor lines become blanks ----

def mask(text):
    """Returns text of the same length in which comments, string and
    character literals and preprocessor lines are spaces (newlines kept), so
    that patterns only meet code."""
    out = list(text)
    i, n = 0, len(text)
    line_start = True

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if line_start and c == "#":
            j = i
            while j < n:
                if text[j] == "\n" and text[j - 1] != "\\":
                    break
                j += 1
            blank(i, j)
            i = j
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if c in " \t":
            i += 1
            continue
        line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == 'R' and i + 1 < n and text[i + 1] == '"' and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            if m:
                end = text.find(")" + m.group(1) + '"', i)
                end = n if end < 0 else end + len(m.group(1)) + 2
                blank(i, end)
                i = end
            else:
                i += 1
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum() and text[i - 1] not in "uUL8":
                i += 1  # digit separator
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, min(j + 1, n))
            i = j + 1
        else:
            i += 1
    return "".join(out)


# ---- candidates ----

FLIP = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
BOUND = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
COMPARISON = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)")
OPERAND = re.compile(r"\s*(\d+[uUlL]*|[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*(?:\(\))?)(?=\s*(?:[);,?:]|&&|\|\|))")
IF = re.compile(r"(?<![\w#])if\s*\(")
RETURN = re.compile(r"\breturn\s+(-?\d+|true|false|[A-Z][A-Z0-9_]*)\s*;")
GUARD_BODY = re.compile(r"\s*(\{\s*)?(return\b|throw\b|break\s*;|continue\s*;|goto\b)")


class Mutant:
    __slots__ = ("path", "start", "end", "orig", "repl", "op", "line", "key", "status", "by", "seconds")

    def __init__(self, path, start, end, orig, repl, op, line):
        self.path, self.start, self.end = path, start, end
        self.orig, self.repl, self.op, self.line = orig, repl, op, line
        self.key, self.status, self.by, self.seconds = "", "", "", 0.0

    def describe(self):
        orig = " ".join(self.orig.split())
        if len(orig) > 70:
            orig = orig[:67] + "..."
        return f"{self.path}:{self.line}: {self.op}: '{orig}' -> '{self.repl}'"

    def as_dict(self):
        return {k: getattr(self, k) for k in ("key", "path", "line", "op", "orig", "repl", "status", "by", "seconds")}


def matching_paren(masked, open_at):
    depth = 0
    for k in range(open_at, len(masked)):
        if masked[k] == "(":
            depth += 1
        elif masked[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def success_code(masked, name):
    """The success code of a named code's family (TAVREL_RC_NOT_READABLE ->
    TAVREL_RC_OK), when the file uses one."""
    first = name.split("_")[0]
    for cand in (f"{first}_RC_OK", f"{first}_OK", f"{first}_SUCCESS", f"{first}_RC_SUCCESS"):
        if re.search(rf"\b{cand}\b", masked):
            return cand
    return None


def candidates_of(rel, text):
    masked = mask(text)
    found = []

    def add(start, end, repl, op):
        found.append(Mutant(rel, start, end, text[start:end], repl, op, text.count("\n", 0, start) + 1))

    for m in COMPARISON.finditer(masked):
        lstart = masked.rfind("\n", 0, m.start()) + 1
        if re.match(r"\s*template\b", masked[lstart:m.start()]) or "operator" in masked[lstart:m.start()]:
            continue
        op = m.group(1)
        add(m.start(), m.end(), FLIP[op], "flip")
        if op in BOUND:
            add(m.start(), m.end(), BOUND[op], "bound")
            o = OPERAND.match(masked, m.end())
            if o:
                s, e = o.start(1), o.end(1)
                add(s, e, f"{text[s:e]} + 1", "bound")
                add(s, e, f"{text[s:e]} - 1", "bound")
    for m in IF.finditer(masked):
        if re.match(r"\s*constexpr", masked[m.end() - 1:]):
            continue
        close = matching_paren(masked, m.end() - 1)
        if close < 0:
            continue
        start = m.end()
        # An init-statement stays; only the condition after it is forced.
        depth = 0
        for k in range(m.end(), close):
            ch = masked[k]
            depth += ch in "([{"
            depth -= ch in ")]}"
            if ch == ";" and depth == 0:
                start = k + 1
        while start < close and masked[start].isspace():
            start += 1
        if start >= close or masked[start:close].strip() == "false":
            continue
        guard = GUARD_BODY.match(masked, close + 1)
        add(start, close, "false", "guard" if guard else "cond")
    for m in RETURN.finditer(masked):
        value = m.group(1)
        s, e = m.start(1), m.end(1)
        if value == "true":
            repl = "false"
        elif value == "false":
            repl = "true"
        elif value == "0":
            repl = "1"
        elif re.fullmatch(r"-?\d+", value):
            repl = "0"
        elif re.search(r"_(OK|SUCCESS)$", value):
            repl = "1"
        elif re.search(r"_(RC|ERR|ERROR|FAIL|FAILED|INVALID|NOT)_?|_(FAILED|ERROR)$", value):
            repl = success_code(masked, value) or "0"
        else:
            continue
        add(s, e, repl, "rc")
    return found


def key_candidates(cands, seed, text_of):
    seen = {}
    for c in cands:
        text = text_of[c.path]
        lstart = text.rfind("\n", 0, c.start) + 1
        lend = text.find("\n", c.start)
        line = text[lstart:lend if lend >= 0 else len(text)]
        indent = len(line) - len(line.lstrip())
        col = c.start - lstart - indent
        ident = f"{seed}|{c.op}|{line.strip()}|{col}|{c.end - c.start}|{c.repl}"
        dup = seen.get((c.path, ident), 0)
        seen[(c.path, ident)] = dup + 1
        c.key = hashlib.sha256(f"{ident}|{dup}".encode()).hexdigest()[:16]
    cands.sort(key=lambda c: (c.key, c.path, c.start))


def product_files(compiled):
    files = []
    for d in MUTATED_DIRS:
        for dirpath, dirnames, filenames in os.walk(ROOT / d):
            dirnames[:] = sorted(x for x in dirnames if x not in SKIP_DIRS)
            for f in sorted(filenames):
                if not f.endswith(SOURCE_SUFFIXES):
                    continue
                rel = str((Path(dirpath) / f).relative_to(ROOT))
                if compiled is None or rel in compiled:
                    files.append(rel)
    return files


# ---- build tree: targets, dependencies, tests ----

def run(cmd, timeout=None, quiet=True, **kw):
    """Runs cmd in its own process group; returns (status, output, seconds).
    Status None: out of time (the whole group is killed)."""
    t0 = time.time()
    p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         errors="replace", start_new_session=True, **kw)
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out, time.time() - t0
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        out, _ = p.communicate()
        return None, out, time.time() - t0
    except BaseException:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        raise


class Tree:
    def __init__(self):
        self.env = dict(os.environ, CCACHE_BASEDIR=os.environ.get("CCACHE_BASEDIR", str(ROOT)))

    def configure(self):
        query = BUILD / ".cmake/api/v1/query/codemodel-v2"
        query.parent.mkdir(parents=True, exist_ok=True)
        query.touch()
        gen = [] if (BUILD / "CMakeCache.txt").exists() else ["-G", "Ninja"]
        # The normal build's code (-O2, RelWithDebInfo's defines) without the
        # debug information, and linked by lld: both only make the many
        # relinks cheaper.
        ld = ["-DCMAKE_%s_LINKER_FLAGS=-fuse-ld=lld" % k for k in ("EXE", "SHARED", "MODULE")] \
            if shutil.which("ld.lld") else []
        rc, out, _ = run(["cmake", "-S", str(ROOT), "-B", str(BUILD), *gen,
                          "-DTAVREL_WERROR=OFF", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                          "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG", "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG",
                          *ld, "-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"],
                         env=self.env)
        if rc != 0:
            sys.exit("configure failed:\n" + out)
        self.read_codemodel()

    def read_codemodel(self):
        reply = BUILD / ".cmake/api/v1/reply"
        index = json.loads(max(reply.glob("index-*.json")).read_text())
        model = json.loads((reply / index["reply"]["codemodel-v2"]["jsonFile"]).read_text())
        self.targets = {}
        for t in model["configurations"][0]["targets"]:
            self.targets[t["id"]] = json.loads((reply / t["jsonFile"]).read_text())
        self.by_source = {}
        self.users = {tid: set() for tid in self.targets}
        for tid, t in self.targets.items():
            for s in t.get("sources", []):
                self.by_source.setdefault(s["path"], set()).add(tid)
            for d in t.get("dependencies", []):
                self.users.setdefault(d["id"], set()).add(tid)
        self.program_of = {}
        for tid, t in self.targets.items():
            for a in t.get("artifacts", []):
                path = Path(a["path"])
                self.program_of[str(path if path.is_absolute() else BUILD / path)] = tid

    def read_objects(self):
        """The object files of each source, and their pristine digests."""
        self.objects = {}
        for e in json.loads((BUILD / "compile_commands.json").read_text()):
            src = Path(e["file"])
            rel = str(src.relative_to(ROOT)) if src.is_absolute() and ROOT in src.parents else e["file"]
            out = e.get("output") or re.search(r"\s-o\s+(\S+)", e["command"]).group(1)
            self.objects.setdefault(rel, []).append(Path(e["directory"]) / out)
        self.pristine = {rel: self.digests(rel) for rel in self.objects}

    def digests(self, rel):
        return [hashlib.sha256(o.read_bytes()).hexdigest() if o.exists() else "" for o in self.objects.get(rel, [])]

    def compiled_sources(self):
        return set(self.by_source)

    def affected(self, rel):
        todo = list(self.by_source.get(rel, ()))
        seen = set(todo)
        while todo:
            for u in self.users.get(todo.pop(), ()):
                if u not in seen:
                    seen.add(u)
                    todo.append(u)
        # Benchmarks are not run here; building them would only cost time.
        return {t for t in seen
                if not self.targets[t].get("paths", {}).get("source", "").startswith("bench")
                and self.targets[t]["type"] != "UTILITY"}

    def initial_targets(self, files):
        """What the run can use: every target that depends on a mutated file,
        and the programs and libraries that are no GoogleTest program (what a
        test may start or load). Benchmarks and the tests of openwbem/ and
        platform/ are not built."""
        need = {t for f in files for t in self.affected(f)}
        for tid, t in self.targets.items():
            frags = " ".join(f["fragment"] for f in t.get("link", {}).get("commandFragments", []))
            if t["type"] in ("EXECUTABLE", "SHARED_LIBRARY", "MODULE_LIBRARY") and "gtest" not in frags \
                    and not t.get("paths", {}).get("source", "").startswith("bench"):
                need.add(tid)
        return need

    def build(self, tids, timeout=BUILD_TIMEOUT):
        """Builds the given targets (with what they link), everything when
        tids is None. Only what a test is about to use is brought up to date:
        targets left over from an earlier mutant are rebuilt when next used."""
        cmd = ["nice", "-n", "5", "cmake", "--build", str(BUILD), "-j", JOBS]
        if tids is not None:
            cmd += ["--target", *sorted(self.targets[t]["name"] for t in tids)]
        rc, out, secs = run(cmd, timeout=timeout, env=self.env)
        return rc == 0, out, secs

    def list_tests(self):
        rc, out, _ = run(["ctest", "--test-dir", str(BUILD), "--show-only=json-v1"])
        if rc != 0:
            sys.exit("ctest --show-only failed:\n" + out[-3000:])
        data = json.loads(out[out.find("{"):])
        self.tests = []
        for t in data["tests"]:
            labels = set()
            for p in t.get("properties", []):
                if p["name"] == "LABELS":
                    labels = set(p["value"])
            if t["name"].endswith("_NOT_BUILT"):
                continue  # a test program that this run does not build
            cmd = t.get("command", [])
            progs = {self.program_of[c] for c in cmd if c in self.program_of}
            sandbox = any(c.endswith("tests/sandbox/appliance") for c in cmd)
            covers = {label[len("covers:"):] for label in labels if label.startswith("covers:")}
            self.tests.append({"name": t["name"], "labels": labels, "programs": progs, "sandbox": sandbox,
                               "covers": covers})

        programs = {p for t in self.tests for p in t["programs"]}
        # Programs and shared libraries that are no test program: what a test
        # may start or load at run time (the agent, libTavrel, the stand-ins).
        self.runtime = {tid for tid, t in self.targets.items()
                        if t["type"] in ("EXECUTABLE", "SHARED_LIBRARY", "MODULE_LIBRARY")
                        and tid not in programs
                        and not t.get("paths", {}).get("source", "").startswith("bench")}

    def unit_tests_for(self, tids):
        """Unit tests whose program links a target in tids; those in the
        sandbox also when tids holds a program or library they may start."""
        runtime = bool(self.runtime & tids)
        return [t for t in self.tests if "unit" in t["labels"]
                and (t["programs"] & tids or (t["sandbox"] and runtime))]

    def system_tests_for(self, rel):
        """System and interop tests that cover the file's folder."""
        return [t for t in self.tests if t["labels"] & {"system", "interop"} and covers(t, folder_of(rel))]

    def targets_for(self, tests):
        """What to build before running the tests: their programs and
        everything they may start."""
        return self.runtime | {p for t in tests for p in t["programs"]}


def folder_of(rel):
    return str(Path(rel).parent)


def covers(test, folder):
    """Whether the test covers the folder: a covers label names the folder
    or one above it."""
    return any(folder == c or folder.startswith(c + "/") for c in test["covers"])


def esc(text):
    return re.sub(r"([][.*+?^$(){}|\\])", r"\\\1", text)


# Tests that fail on the pristine tree: never run against a mutant.
EXCLUDED = []


def ctest_regex(names):
    """One regex for the named tests, kept short: GoogleTest cases by their
    suite (Suite.Case -> Suite.*), other tests by name."""
    suites = sorted({n.split(".", 1)[0] for n in names if "." in n})
    plain = sorted(n for n in names if "." not in n)
    parts = [esc(s) + "\\..*" for s in suites] + [esc(n) for n in plain]
    return "^(" + "|".join(parts) + ")$"


def run_tests(names, timeout, unit=True, jobs=JOBS, stop=True):
    """Runs the named unit tests, or system and interop tests, `jobs` at a
    time. Returns the status ('pass', 'fail' with the first failing test, or
    'timeout'), the seconds, and the seconds of each test that ran."""
    if not names:
        return "pass", "", 0.0, {}
    label = "^unit$" if unit else "^(system|interop)$"
    cmd = ["nice", "-n", "5", "ctest", "--test-dir", str(BUILD), "-L", label, "-R", ctest_regex(names)]
    if EXCLUDED:
        cmd += ["-E", "^(" + "|".join(esc(n) for n in EXCLUDED) + ")$"]
    if jobs != "1":
        cmd += ["-j", jobs]
    if stop:
        cmd += ["--stop-on-failure"]
    rc, out, secs = run(cmd, timeout=timeout)
    each = {n: float(t) for n, t in re.findall(r"Test\s+#\d+: (\S+) .*?([\d.]+) sec", out)}
    if rc is None:
        return "timeout", "out of time", secs, each
    if rc == 0:
        return "pass", "", secs, each
    failed = re.findall(r"\d+ - (\S+) \((Failed|Timeout|SEGFAULT|Subprocess aborted|Child aborted|Exception|\w+)\)", out)
    return "fail", (failed[0][0] if failed else out.strip().splitlines()[-1][:80] if out.strip() else "?"), secs, each


def system_verdict(names, timeout, secs):
    """The system and interop tests of a mutant, SYSTEM_JOBS at a time, the
    shortest (by their pristine seconds) first; the first failure ends the
    others. A test that fails so must fail again when it runs alone;
    otherwise it was the load, and the tests run again one after another.
    Returns ('pass' | 'fail' | 'timeout', the failing test)."""
    waiting = sorted(names, key=lambda n: secs.get(n, 60))
    running = {}
    logs = BUILD / "system-logs"
    logs.mkdir(exist_ok=True)
    deadline = time.time() + timeout
    status, first = "pass", ""
    try:
        while (waiting or running) and status == "pass":
            while waiting and len(running) < int(SYSTEM_JOBS):
                name = waiting.pop(0)
                cmd = ["nice", "-n", "5", "ctest", "--test-dir", str(BUILD), "-R", ctest_regex([name])]
                with open(logs / f"{name}.log", "w") as out:
                    running[name] = subprocess.Popen(cmd + ["--output-on-failure"], stdout=out,
                                                     stderr=subprocess.STDOUT, start_new_session=True)
            time.sleep(0.2)
            for name, proc in list(running.items()):
                if proc.poll() is not None:
                    del running[name]
                    if proc.returncode != 0 and status == "pass":
                        status, first = "fail", name
            if status == "pass" and time.time() > deadline:
                status, first = "timeout", "out of time"
    finally:
        for proc in running.values():
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
    if status == "fail":
        again, _, _, _ = run_tests([first], timeout, unit=False, jobs="1")
        if again == "pass":
            log(f"  {first} failed only beside other tests (its output: build-mutants/system-logs/"
                f"{first}.failed.log); the tests run again one after another")
            (logs / f"{first}.log").replace(logs / f"{first}.failed.log")
            status, first, _, _ = run_tests(names, timeout, unit=False, jobs="1")
    return status, first


# ---- the source tree is always restored ----

class Restorer:
    """Keeps the pristine text of the file being mutated, on disk as well
    (build-mutants/pristine/), so that even a killed run is mended by the
    next one."""

    def __init__(self):
        self.dir = BUILD / "pristine"
        self.active = None

    def recover(self):
        if not self.dir.exists():
            return
        for saved in self.dir.rglob("*"):
            if saved.is_file():
                rel = saved.relative_to(self.dir)
                (ROOT / rel).write_bytes(saved.read_bytes())
                log(f"restored {rel} left mutated by an interrupted run")
        shutil.rmtree(self.dir)

    def apply(self, m, pristine):
        saved = self.dir / m.path
        saved.parent.mkdir(parents=True, exist_ok=True)
        saved.write_bytes(pristine.encode())
        self.active = (m.path, pristine)
        (ROOT / m.path).write_bytes((pristine[:m.start] + m.repl + pristine[m.end:]).encode())

    def restore(self):
        if self.active:
            path, pristine = self.active
            (ROOT / path).write_bytes(pristine.encode())
            (self.dir / path).unlink()
            self.active = None


# ---- the run ----

def reviewed_equivalents():
    """{(key, path): reason} of EQUIVALENT_LIST."""
    judged = {}
    if EQUIVALENT_LIST.exists():
        for line in EQUIVALENT_LIST.read_text().splitlines():
            if line.strip() and not line.startswith("#"):
                key, rest = line.split(None, 1)
                path, reason = rest.split(": ", 1)
                judged[(key, path)] = reason.strip()
    return judged


def compare(results, previous_path):
    earlier = json.loads(Path(previous_path).read_text())["mutants"]
    # One line of text can stand in several files (a "return 0;"), so a key
    # names a mutant together with its file; a key found in one other file
    # only is the same line moved there.
    by_place = {(r["key"], r["path"]): r for r in earlier}
    by_key = {}
    for r in earlier:
        by_key.setdefault(r["key"], []).append(r)
    prev = {}
    for r in results:
        p = by_place.get((r["key"], r["path"]))
        if p is None and len(by_key.get(r["key"], [])) == 1:
            p = by_key[r["key"]][0]
        if p is not None:
            prev[(r["key"], r["path"])] = p
    common = [r for r in results if (r["key"], r["path"]) in prev and r["status"] in ("killed", "survived")
              and prev[(r["key"], r["path"])]["status"] in ("killed", "survived")]
    if not common:
        return ["compare: no mutant in common"]
    before = sum(prev[(r["key"], r["path"])]["status"] == "killed" for r in common)
    after = sum(r["status"] == "killed" for r in common)
    lines = [f"compare with {previous_path}: {len(common)} mutants in both runs; "
             f"killed before {before} ({100 * before / len(common):.1f}%), "
             f"now {after} ({100 * after / len(common):.1f}%)"]
    for r in common:
        if prev[(r["key"], r["path"])]["status"] == "killed" and r["status"] == "survived":
            lines.append(f"  now survives: {r['path']}:{r['line']}: {r['op']}: '{r['orig']}' -> '{r['repl']}'")
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("n", nargs="?", type=int, default=DEFAULT_N)
    ap.add_argument("seed", nargs="?", type=int, default=DEFAULT_SEED)
    ap.add_argument("--list", action="store_true", help="list the first N candidates and stop")
    ap.add_argument("--compare", metavar="RESULTS.json", help="an earlier results.json to compare with")
    ap.add_argument("--no-system", action="store_true", help="unit tests only")
    ap.add_argument("--minutes", type=float, help="start no mutant after this many minutes; report what ran")
    args = ap.parse_args()
    t_start = time.time()

    BUILD.mkdir(exist_ok=True)
    restorer = Restorer()
    restorer.recover()
    tree = Tree()
    log("configuring build-mutants/")
    tree.configure()
    files = product_files(tree.compiled_sources())
    text_of = {f: (ROOT / f).read_bytes().decode() for f in files}
    cands = [c for f in files for c in candidates_of(f, text_of[f])]
    key_candidates(cands, args.seed, text_of)
    log(f"{len(cands)} candidate mutants in {len(files)} files; seed {args.seed}")
    if args.list:
        for c in cands[:args.n]:
            print(c.key, c.describe())
        return 0

    log("building build-mutants/ (pristine)")
    ok, out, secs = tree.build(tree.initial_targets(files), timeout=7200)
    if not ok:
        sys.exit("the pristine tree does not build:\n" + out[-4000:])
    tree.read_objects()
    tree.list_tests()

    # The tests must pass on the pristine tree; one that fails already is left out.
    unit_all = [t["name"] for t in tree.tests if "unit" in t["labels"]]
    log(f"pristine unit tests ({len(unit_all)})")
    status, first, unit_secs, _ = run_tests(unit_all, timeout=3600, stop=False)
    excluded = EXCLUDED
    if status != "pass":
        rc, out, _ = run(["ctest", "--test-dir", str(BUILD), "--rerun-failed", "-N"])
        excluded += re.findall(r"Test\s+#\d+: (\S+)", out)
        log(f"failing on the pristine tree, left out: {' '.join(excluded) or first}")
    tree.tests = [t for t in tree.tests if t["name"] not in excluded]
    unit_timeout = max(UNIT_TIMEOUT_MIN, 3 * unit_secs)
    folders = sorted({folder_of(f) for f in files})
    uncovered = [d for d in folders if not any(covers(t, d) for t in tree.tests)]
    for d in uncovered:
        log(f"no test covers {d}/ (CTest label covers:{d} or a folder above it)")
    test_secs = {}
    bad = []
    if not args.no_system:
        names = sorted({t["name"] for f in files for t in tree.system_tests_for(f)})
        log(f"pristine system and interop tests that cover the mutated folders ({len(names)})")
        status, first, _, test_secs = run_tests(names, timeout=7200, unit=False, jobs=SYSTEM_JOBS, stop=False)
        if status != "pass":
            # Only what fails alone as well is left out.
            rc, out, _ = run(["ctest", "--test-dir", str(BUILD), "--rerun-failed", "-N"])
            again = re.findall(r"Test\s+#\d+: (\S+)", out) or [first]
            status, first, _, _ = run_tests(again, timeout=7200, unit=False, jobs="1", stop=False)
            rc, out, _ = run(["ctest", "--test-dir", str(BUILD), "--rerun-failed", "-N"])
            bad = [] if status == "pass" else re.findall(r"Test\s+#\d+: (\S+)", out) or [first]
        if bad:
            log(f"failing on the pristine tree, left out: {' '.join(bad)}")
            excluded += bad
            tree.tests = [t for t in tree.tests if t["name"] not in bad]
    prep_secs = time.time() - t_start
    log(f"prepared in {prep_secs:.0f}s; unit tests {unit_secs:.0f}s, timeout {unit_timeout:.0f}s per mutant")

    chosen, skipped = [], []
    interrupted = False
    stopped = ""
    try:
        for m in cands:
            if len(chosen) >= args.n:
                break
            if args.minutes and time.time() - t_start > 60 * args.minutes:
                stopped = f"stopped after {args.minutes:g} minutes"
                log(stopped)
                break
            t0 = time.time()
            tids = tree.affected(m.path)
            unit = tree.unit_tests_for(tids)
            restorer.apply(m, text_of[m.path])
            try:
                ok, out, _ = tree.build(tree.by_source[m.path] | tree.targets_for(unit))
                if not ok:
                    m.status = "not-compiling"
                    skipped.append(m)
                    continue
                # A mutant that compiles to the same code (one in code the
                # preprocessor leaves out, or one the optimiser undoes) can
                # fail no test: it is replaced, like one that does not compile.
                if tree.digests(m.path) == tree.pristine.get(m.path):
                    m.status = "equivalent"
                    skipped.append(m)
                    continue
                status, first, _, _ = run_tests([t["name"] for t in unit], unit_timeout)
                m.status, m.by = ("killed", first) if status != "pass" else ("survived", "")
                if m.status == "survived" and not args.no_system:
                    group_tests = tree.system_tests_for(m.path)
                    if group_tests and tree.build(tree.targets_for(group_tests))[0]:
                        t_out = max(SYSTEM_TIMEOUT_MIN, 3 * sum(test_secs.get(t["name"], 60) for t in group_tests))
                        status, first = system_verdict([t["name"] for t in group_tests], t_out, test_secs)
                        if status != "pass":
                            m.status, m.by = "killed", first if status == "fail" else "timeout"
            finally:
                restorer.restore()
                m.seconds = round(time.time() - t0, 1)
            chosen.append(m)
            killed = sum(x.status == "killed" for x in chosen)
            log(f"[{len(chosen)}/{args.n}] {m.status:8} {m.seconds:5.0f}s {m.describe()}"
                f"{'  by ' + m.by if m.by else ''}  (killed {killed}/{len(chosen)})")
    except KeyboardInterrupt:
        interrupted = True
        log("interrupted: the source tree is restored; reporting what ran")
    finally:
        restorer.restore()

    elapsed = time.time() - t_start
    killed = [m for m in chosen if m.status == "killed"]
    survived = [m for m in chosen if m.status == "survived"]
    share = 100.0 * len(killed) / len(chosen) if chosen else 0.0
    # Judged equivalent: they still run; a killed one was judged wrongly.
    judged = reviewed_equivalents()
    equivalent = [m for m in survived if (m.key, m.path) in judged]
    misjudged = [m for m in killed if (m.key, m.path) in judged]
    survived = [m for m in survived if (m.key, m.path) not in judged]
    effective = len(chosen) - len(equivalent)
    share_effective = 100.0 * len(killed) / effective if effective else 0.0
    head = (subprocess.run(["git", "-C", str(ROOT), "rev-parse", "--short", "HEAD"],
                           capture_output=True, text=True).stdout.strip())
    results = [m.as_dict() for m in chosen + skipped]
    report = [
        f"mutation run on {head}: seed {args.seed}, {len(chosen)} mutants"
        f"{' (interrupted)' if interrupted else ''}{' (' + stopped + ')' if stopped else ''}",
        f"killed {len(killed)}, survived {len(survived) + len(equivalent)} ({len(equivalent)} of them judged "
        f"equivalent); share killed {share:.1f}%, {share_effective:.1f}% of the {effective} not equivalent",
        f"replaced: "
        f"{sum(m.status == 'not-compiling' for m in skipped)} not compiling, "
        f"{sum(m.status == 'equivalent' for m in skipped)} compiled to the same code; candidates {len(cands)}",
        f"elapsed {elapsed / 60:.1f} min (preparation {prep_secs / 60:.1f} min)",
        "operators: " + ", ".join(f"{op} {sum(m.op == op for m in chosen)} "
                                  f"({sum(m.op == op and m.status == 'killed' for m in chosen)} killed)"
                                  for op in ("flip", "bound", "guard", "cond", "rc")),
    ]
    if excluded:
        report.append("tests left out (failing on the pristine tree): " + " ".join(excluded))
    for d in uncovered:
        report.append(f"no test covers {d}/ (CTest label covers:{d} or a folder above it)")
    if args.compare:
        report += compare(results, args.compare)
    report.append("")
    report.append("survivors:")
    report += [f"  {m.describe()}" for m in survived]
    report.append("")
    report.append(f"survivors judged equivalent ({EQUIVALENT_LIST.relative_to(ROOT)}):")
    report += [f"  {m.describe()}: {judged[(m.key, m.path)]}" for m in equivalent]
    if misjudged:
        report.append("")
        report.append("killed, though judged equivalent (take them off the list):")
        report += [f"  {m.describe()}" for m in misjudged]
    report.append("")
    report.append("replaced (not compiling, or the same code):")
    report += [f"  {m.describe()}" for m in skipped]
    (BUILD / "report.txt").write_text("\n".join(report) + "\n")
    (BUILD / "results.json").write_text(json.dumps(
        {"seed": args.seed, "n": args.n, "head": head, "elapsed_seconds": round(elapsed),
         "killed": len(killed), "survived": len(survived), "equivalent": len(equivalent),
         "replaced": len(skipped), "share": round(share, 1), "share_not_equivalent": round(share_effective, 1),
         "mutants": results}, indent=1) + "\n")
    print("\n".join(report[:report.index("")]))
    print(f"report: {BUILD / 'report.txt'}")
    return 130 if interrupted else 0


def interrupt(signum, frame):
    raise KeyboardInterrupt()


if __name__ == "__main__":
    # SIGTERM and SIGHUP end the run like Ctrl-C: the mutated file is restored first.
    signal.signal(signal.SIGTERM, interrupt)
    signal.signal(signal.SIGHUP, interrupt)
    sys.exit(main())
