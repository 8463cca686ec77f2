#!/usr/bin/env python3
"""Mutation run over the product sources: how many planted faults the native
suite catches.

Each mutant changes one line of one product source in a scratch copy of the
tree (build/mutation/work-N/src), which is built incrementally (only the
test programs) and run against the native tests with a time limit, stopping
at the first failure. A mutant is killed (a test failed, crashed or ran out
of time), survived, or failed to compile. Results are kept in
build/mutation/results.jsonl, so an interrupted run picks up where it
stopped; docs/mutation.md is written from them.

    scripts/mutate.py                       full run, then the report
    scripts/mutate.py --files settings/IniNumber.cpp --sample 40
    scripts/mutate.py --list                the mutants, without running them
    scripts/mutate.py --report-only         the report from the kept results

Mutants that cannot change any answer are listed, with a reason, in
scripts/mutation-equivalent.txt (one per line: its id, where it is, why) and
are not counted as survivors. Each run writes the places itself, from the
mutants' ids, and names the entries that match no mutant any more. A survivor that is left on purpose is listed
there too, its reason starting with "left:"; it still counts as a survivor.
"""

import argparse
import concurrent.futures
import dataclasses
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutation"
RESULTS = WORK / "results.jsonl"
EQUIVALENT = ROOT / "scripts" / "mutation-equivalent.txt"
REPORT = ROOT / "docs" / "mutation.md"

# The product code the native build compiles. The Win32 backend is built
# only by mingw; generated tables (*.inc) are checked whole by their own
# oracle test, entry by entry.
PRODUCT_DIRS = ["platform", "settings", "translation", "plugin"]
EXCLUDE = re.compile(r"^platform/win32/|^platform/testing\.h$|\.inc$|CMakeLists\.txt$")

# Test programs in the order they run: (target, extra arguments). The
# concurrency test only repeats what the end-to-end tests check, from
# several threads, and costs two seconds a mutant: it is left out.
STAGES = [
    ("ombrels_unit_tests", []),
    ("ombrels_case_oracle_test", []),
    ("ombrels_module_tests", ["--gtest_filter=-ModuleConcurrency.*"]),
    ("ombrels_hostile_tests", []),
]

OPERATORS = {
    "ROR": "swap a relational operator (< and <=, > and >=, == and !=)",
    "BOUND": "add or remove 1 in a bound or index (an integer literal, a subscript)",
    "LOGIC": "swap && and ||",
    "NEGATE": "negate the condition of an if or while",
    "RETURN": "replace a returned constant (a number by 0 or 1, a text by the empty text or \"x\")",
    "CALL": "delete a statement that is a call",
    "BOOL": "swap true and false",
}


@dataclasses.dataclass
class Mutant:
    file: str
    line: int  # 1-based
    op: str
    original: str
    mutated: str
    occurrence: int = 0  # of the same change to the same text earlier in the file

    @property
    def id(self):
        # Where the line stands does not count: ids survive edits elsewhere.
        key = f"{self.file}\n{self.original.strip()}\n{self.mutated.strip()}"
        if self.occurrence:
            key += f"\n{self.occurrence}"
        return hashlib.sha1(key.encode()).hexdigest()[:10]

    @property
    def change(self):
        return f"`{self.original.strip()}` → `{self.mutated.strip()}`"


# --- Finding mutants -----------------------------------------------------

def masked_lines(text):
    """The file's lines with comments, string and character literals
    replaced by \\x01 (same length), so that operators are looked for in
    code only."""
    out = []
    i, n = 0, len(text)
    buf = []
    state = None  # None, "line", "block", '"', "'"
    while i < n:
        c = text[i]
        if c == "\n":
            if state == "line":
                state = None
            out.append("".join(buf))
            buf = []
            i += 1
            continue
        if state is None:
            if text.startswith("//", i):
                state = "line"
                buf.append("\x01")
            elif text.startswith("/*", i):
                state = "block"
                buf.append("\x01\x01")
                i += 2
                continue
            elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isdigit())):
                # (a ' after a digit is a digit separator; after a letter it
                # opens a literal with a prefix, as in u'[')
                state = c
                buf.append("\x01")
            else:
                buf.append(c)
        elif state == "line":
            buf.append("\x01")
        elif state == "block":
            if text.startswith("*/", i):
                state = None
                buf.append("\x01\x01")
                i += 2
                continue
            buf.append("\x01")
        else:  # inside a literal
            if c == "\\":
                buf.append("\x01\x01")
                i += 2
                continue
            if c == state:
                state = None
            buf.append("\x01")
        i += 1
    out.append("".join(buf))
    return out


def matching_paren(masked, open_at):
    depth = 0
    for j in range(open_at, len(masked)):
        if masked[j] == "(":
            depth += 1
        elif masked[j] == ")":
            depth -= 1
            if depth == 0:
                return j
    return -1


ROR_SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
ROR_RE = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s|$)")
LOGIC_RE = re.compile(r"(?<=\s)(&&|\|\|)(?=\s|$)")
INT_RE = re.compile(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.'])")
SUBSCRIPT_RE = re.compile(r"(?<=\w)\[([A-Za-z_]\w*)\]")
ARRAY_DECL_RE = re.compile(r"\b[A-Za-z_][\w:<>]*\s+[A-Za-z_]\w*\[\s*$")
COND_RE = re.compile(r"\b(if|while)\s*\(")
BOOL_RE = re.compile(r"\b(true|false)\b")
RETURN_NUM_RE = re.compile(r"^(\s*return\s+)(-?)(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(\s*;\s*)$")
RETURN_STR_RE = re.compile(r'^(\s*return\s+)(u8|u|U|L)?"((?:[^"\\]|\\.)*)"(\s*;\s*)$')
CALL_RE = re.compile(r"^(\s*)((?:::)?[A-Za-z_][\w]*(?:(?:::|\.|->)[A-Za-z_]\w*)*)\s*\(")
KEYWORDS = {"return", "if", "while", "for", "switch", "case", "throw", "delete", "new",
            "sizeof", "static_assert", "using", "typedef", "else", "do"}


RELATIONAL = ("<=", ">=", "==", "!=", "<", ">")


def is_bound(masked, start, end):
    """Whether the integer literal at [start, end) is a bound or an index:
    compared, added or subtracted, a subscript, an argument of its own, a
    loop's start, or the value of a named constant. Masks, shifts, factors,
    plain initial values and pure-specifiers ("= 0") are not."""
    before, after = masked[:start].rstrip(), masked[end:].lstrip()
    digits = masked[start:end]
    if len(digits) > 1 and digits[0] == "0" and digits[1].isdigit():
        return False  # octal: a file mode
    if ARRAY_DECL_RE.search(masked[:start]) and after.startswith("]"):
        return False  # an array's size in its declaration
    if re.search(r"\b(virtual|default|delete)\b", masked) and before.endswith("="):
        return False
    if before.endswith(("<<", ">>")) or after.startswith(("<<", ">>")):
        return False
    if before.endswith(RELATIONAL + ("+", "-", "[")) and not before.endswith("->"):
        return True
    if after.startswith(RELATIONAL + ("+", "-", "]")):
        return True
    if before.endswith(("(", ",")) and after.startswith((",", ")")):
        return True
    if before.endswith("=") and re.search(r"\bconstexpr\b|\bfor\s*\(", before):
        return True
    return False


def mutate_line(orig, masked):
    """(operator, mutated line) for every mutant of one line."""
    found = []

    def at(start, end, repl):
        return orig[:start] + repl + orig[end:]

    for m in ROR_RE.finditer(masked):
        found.append(("ROR", at(m.start(), m.end(), ROR_SWAP[m.group(1)])))

    for m in INT_RE.finditer(masked):
        if not is_bound(masked, m.start(), m.end()):
            continue
        digits, suffix = m.group(1), m.group(2)
        value = int(digits, 16) if digits[:2].lower() == "0x" else int(digits)
        for new in (value + 1, value - 1):
            if new < 0:
                continue
            text = (hex(new).upper().replace("0X", digits[:2]) if digits[:2].lower() == "0x"
                    else str(new))
            found.append(("BOUND", at(m.start(), m.end(), text + suffix)))
    for m in SUBSCRIPT_RE.finditer(masked):
        name = m.group(1)
        for delta in (" + 1", " - 1"):
            found.append(("BOUND", at(m.start(1), m.end(1), name + delta)))

    for m in LOGIC_RE.finditer(masked):
        found.append(("LOGIC", at(m.start(), m.end(), "||" if m.group(1) == "&&" else "&&")))

    for m in COND_RE.finditer(masked):
        if re.match(r"\s*constexpr\b", masked[m.end() - 1:]) or masked[:m.start()].rstrip().endswith("#"):
            continue
        open_at = m.end() - 1
        close_at = matching_paren(masked, open_at)
        if close_at < 0:
            continue  # a condition over several lines
        cond = orig[open_at + 1:close_at]
        if re.match(r"\s*(const\s|auto\s)", cond):
            continue  # a declaration, not a condition
        found.append(("NEGATE", at(open_at + 1, close_at, f"!({cond})")))

    for m in BOOL_RE.finditer(masked):
        found.append(("BOOL", at(m.start(), m.end(), "false" if m.group(1) == "true" else "true")))

    m = RETURN_NUM_RE.match(masked)
    if m:
        value = m.group(2) + m.group(3)
        new = "1" if int(m.group(3), 0) == 0 and not m.group(2) else "0"
        if new != value:
            found.append(("RETURN", orig[:m.start(2)] + new + orig[m.end(4):]))
    m = RETURN_STR_RE.match(orig)
    if m and masked.lstrip().startswith("return"):
        prefix = m.group(2) or ""
        new = '""' if m.group(3) else '"x"'
        found.append(("RETURN", m.group(1) + prefix + new + m.group(4)))

    # A whole statement that is a call: "f(x);", "a.b(c);", "::close(fd);",
    # also as the one-line body of an if ("if (c) f(x);").
    body_from = 0
    cm = COND_RE.match(masked.lstrip())
    if cm and cm.group(1) == "if":
        lead = len(masked) - len(masked.lstrip())
        close_at = matching_paren(masked, lead + cm.end() - 1)
        if close_at > 0:
            body_from = close_at + 1
    tail = masked[body_from:]
    m = CALL_RE.match(tail)
    if m and m.group(2).split("::")[0].split(".")[0] not in KEYWORDS:
        open_at = body_from + m.end() - 1
        close_at = matching_paren(masked, open_at)
        declaration = re.search(r"[A-Za-z_>]\s+[A-Za-z_]", masked[open_at:close_at])
        if close_at > 0 and masked[close_at + 1:].strip() == ";" and not declaration:
            start = body_from + len(m.group(1))
            if body_from:
                start = body_from + (len(tail) - len(tail.lstrip()))
            found.append(("CALL", orig[:start] + "{}" + orig[close_at + 2:]))

    seen, unique = set(), []
    for op, text in found:
        if text != orig and text not in seen:
            seen.add(text)
            unique.append((op, text))
    return unique


def product_files():
    files = []
    for d in PRODUCT_DIRS:
        for p in sorted((ROOT / d).rglob("*")):
            rel = p.relative_to(ROOT).as_posix()
            if p.suffix in (".cpp", ".h") and not EXCLUDE.search(rel):
                files.append(rel)
    return files


def find_mutants(files):
    mutants = []
    for rel in files:
        text = (ROOT / rel).read_text()
        lines = text.split("\n")
        masked = masked_lines(text)
        seen = {}
        for i, (orig, mask) in enumerate(zip(lines, masked)):
            stripped = mask.strip()
            if not stripped or stripped.startswith("#") or not stripped.strip("\x01"):
                continue  # blank, comment, include or other preprocessor line
            for op, text_ in mutate_line(orig, mask):
                pair = (orig.strip(), text_.strip())
                seen[pair] = seen.get(pair, -1) + 1
                mutants.append(Mutant(rel, i + 1, op, orig, text_, seen[pair]))
    return mutants


# --- The scratch copies --------------------------------------------------

def tree_files():
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                         check=True, capture_output=True).stdout.decode()
    return sorted(f for f in out.split("\0") if f and (ROOT / f).is_file())


def digest(files):
    h = hashlib.sha1()
    for f in files:
        h.update(f.encode() + b"\0" + (ROOT / f).read_bytes() + b"\0")
    return h.hexdigest()[:16]


def is_test_file(f):
    return f.startswith("tests/")


class Worker:
    def __init__(self, index, generator, log):
        self.dir = WORK / f"work-{index}"
        self.src = self.dir / "src"
        self.build = self.dir / "build"
        self.tmp = self.dir / "tmp"
        self.generator = generator
        self.log = log
        self.timeouts = {}

    def sync(self):
        """Copies the tree into the scratch source folder; unchanged files
        are left alone so that the build stays incremental."""
        self.src.mkdir(parents=True, exist_ok=True)
        for f in tree_files():
            target = self.src / f
            data = (ROOT / f).read_bytes()
            if not target.exists() or target.read_bytes() != data:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(data)
                shutil.copymode(ROOT / f, target)

    def configure(self):
        if (self.build / "CMakeCache.txt").exists():
            return
        gen = ["-G", "Ninja"] if self.generator == "ninja" else []
        subprocess.run(["cmake", "-S", str(self.src), "-B", str(self.build), *gen,
                        "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g0",
                        "-DCMAKE_C_FLAGS_DEBUG=-O0 -g0"],
                       check=True, stdout=subprocess.DEVNULL)

    def compile(self, target):
        r = subprocess.run(["cmake", "--build", str(self.build), "--target", target, "-j2"],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        return r.returncode == 0, r.stdout.decode(errors="replace")

    def environment(self):
        if self.tmp.exists():
            shutil.rmtree(self.tmp, ignore_errors=True)
        home = self.tmp / "home"
        home.mkdir(parents=True)
        env = dict(os.environ, TMPDIR=str(self.tmp), HOME=str(home),
                   XDG_CONFIG_HOME=str(home / ".config"))
        env.pop("OMBRELS_REGISTRY_ROOT", None)
        return env

    def run_stage(self, target, args, timeout):
        exe = self.build / "tests" / target
        env = self.environment()
        p = subprocess.Popen([str(exe), "--gtest_brief=1", "--gtest_fail_fast", *args],
                             cwd=self.tmp, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, start_new_session=True)
        try:
            out, _ = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.communicate()
            return "timeout", ""
        if p.returncode == 0:
            return "pass", ""
        failed = re.findall(r"\[  FAILED  \] (\S+)", out.decode(errors="replace"))
        return ("crash" if p.returncode < 0 else "fail"), (failed[0] if failed else "")

    def baseline(self):
        """Builds the unchanged tree and runs every stage; its times set
        the time limits."""
        self.sync()
        self.configure()
        for target, args in STAGES:
            ok, out = self.compile(target)
            if not ok:
                sys.exit(f"mutate: the unchanged tree does not build:\n{out[-3000:]}")
            start = time.monotonic()
            result, test = self.run_stage(target, args, 600)
            took = time.monotonic() - start
            if result != "pass":
                sys.exit(f"mutate: the unchanged tree fails {target} ({result} {test})")
            self.timeouts[target] = max(10.0, 5 * took)

    def run(self, mutant):
        path = self.src / mutant.file
        original = path.read_text()
        lines = original.split("\n")
        assert lines[mutant.line - 1] == mutant.original
        lines[mutant.line - 1] = mutant.mutated
        path.write_text("\n".join(lines))
        start = time.monotonic()
        build_s = test_s = 0.0
        status, detail = "survived", ""
        try:
            for target, args in STAGES:
                t0 = time.monotonic()
                ok, out = self.compile(target)
                build_s += time.monotonic() - t0
                if not ok:
                    status = "compile-error"
                    errors = [l for l in out.splitlines() if "error" in l]
                    detail = errors[0][:200] if errors else ""
                    break
                t0 = time.monotonic()
                result, test = self.run_stage(target, args, self.timeouts[target])
                test_s += time.monotonic() - t0
                if result != "pass":
                    status = "killed"
                    detail = f"{target}: {result} {test}".strip()
                    break
        finally:
            path.write_text(original)
        return dict(status=status, detail=detail, build_s=round(build_s, 2),
                    test_s=round(test_s, 2), total_s=round(time.monotonic() - start, 2))


# --- Results and report --------------------------------------------------

def load_results():
    results = {}
    if RESULTS.exists():
        for line in RESULTS.read_text().splitlines():
            try:
                r = json.loads(line)
            except json.JSONDecodeError:
                continue  # a line cut by an interrupted run
            results[(r["id"], r["product"])] = r
    return results


def load_equivalent():
    equivalent = {}
    if EQUIVALENT.exists():
        for line in EQUIVALENT.read_text().splitlines():
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            parts = line.split(None, 2)
            equivalent[parts[0]] = parts[2] if len(parts) > 2 else ""
    return equivalent


def sync_equivalent_locations():
    """Writes each listed mutant's present place (file:line) into the list,
    from the mutants of every product source, so that places never drift;
    returns the ids that no present mutant has (stale entries)."""
    if not EQUIVALENT.exists():
        return []
    where = {m.id: f"{m.file}:{m.line}" for m in find_mutants(product_files())}
    lines, stale = [], []
    for line in EQUIVALENT.read_text().splitlines():
        parts = line.split(None, 2)
        if line.strip() and not line.lstrip().startswith("#") and len(parts) == 3:
            if parts[0] in where:
                line = f"{parts[0]} {where[parts[0]]} {parts[2]}"
            else:
                stale.append(parts[0])
        lines.append(line)
    text = "\n".join(lines) + "\n"
    if text != EQUIVALENT.read_text():
        EQUIVALENT.write_text(text)
    return stale


def cell(text):
    """Text for a Markdown table cell."""
    return text.replace("|", "\\|")


def write_report(mutants, results, file_hash, equivalent, args, wall, ran):
    rows = []
    for m in mutants:
        r = results.get((m.id, file_hash[m.file]))
        status = r["status"] if r else "not run"
        if status == "survived" and m.id in equivalent and not equivalent[m.id].startswith("left:"):
            status = "equivalent"
        rows.append((m, status, r))
    count = lambda pred: sum(1 for row in rows if pred(row))
    run = [row for row in rows if row[2]]
    killed = count(lambda r: r[1] == "killed")
    survived = count(lambda r: r[1] == "survived")
    equiv = count(lambda r: r[1] == "equivalent")
    compile_err = count(lambda r: r[1] == "compile-error")
    not_run = count(lambda r: r[1] == "not run")
    timeouts = count(lambda r: r[1] == "killed" and "timeout" in r[2]["detail"])
    scored = killed + survived
    rate = 100.0 * killed / scored if scored else 0.0

    costs = [r[2]["total_s"] for r in run if r[1] != "compile-error"]
    builds = [r[2]["build_s"] for r in run]
    tests = [r[2]["test_s"] for r in run]
    mean = lambda xs: sum(xs) / len(xs) if xs else 0.0

    out = ["# Mutation run", "",
           "How many planted faults the native suite catches. Produced by "
           "`scripts/mutate.py` (see its help); do not edit by hand.", ""]
    scope = "all product sources" if not (args.files or args.sample) else "a subset"
    if args.files:
        scope += " (" + ", ".join(args.files) + ")"
    if args.sample:
        scope += f" (a fixed sample of {args.sample} mutants, seed {args.seed})"
    out += [f"- Scope: {scope}; {len(mutants)} mutants over {len({m.file for m in mutants})} files.",
            "- Tests run: " +
            ", ".join(t + (" " + " ".join(a) if a else "") for t, a in STAGES) +
            ", each stopping at its first failure, with a time limit of five times its "
            "unchanged run (at least 10 s).",
            f"- **Kill rate: {rate:.1f} %** ({killed} killed of {scored} that compiled and are "
            f"not equivalent); {equiv} equivalent, {compile_err} did not compile, "
            f"{timeouts} of the killed ran out of time" +
            (f", **{not_run} not run yet**." if not_run else "."),
            f"- Cost per mutant (built and run): {mean(costs):.1f} s on average "
            f"(build {mean(builds):.1f} s, tests {mean(tests):.1f} s); "
            f"sum over the mutants {sum(r[2]['total_s'] for r in run) / 60:.0f} min, about the "
            "time of a full run one mutant at a time (a mutant in a header rebuilds every "
            "unit that includes it, some 25 s)"
            + (f"; the last call ran {ran} mutants in {wall / 60:.0f} min." if wall else "."),
            "- Reproduce: `scripts/mutate.py"
            + (" --files " + " ".join(args.files) if args.files else "")
            + (f" --sample {args.sample} --seed {args.seed}" if args.sample else "")
            + " --fresh` (without `--fresh` it reuses the kept "
            "results: a result holds while its file is unchanged; survivors run again when the "
            "tests change).",
            ""]

    out += ["Not mutated: the Win32 backend (built only by mingw, tested under wine), the "
            "host tool, the tests, the generated case table (`settings/UpperCaseTable.inc`, "
            "checked entry by entry against ICU), comments, includes and other preprocessor "
            "lines. Conditions and calls that span several lines are not negated or deleted; "
            "a literal counts as a bound when it is compared, added or subtracted, an index, "
            "an argument of its own, a loop's start or a named constant (not masks, shifts or "
            "factors).", ""]
    out += ["## Operators", "", "| Operator | What it does | Mutants | Killed | Survived | "
            "Equivalent | Did not compile |", "|---|---|---|---|---|---|---|"]
    for op, what in OPERATORS.items():
        sel = [r for r in rows if r[0].op == op]
        c = lambda s: sum(1 for r in sel if r[1] == s)
        out.append(f"| {op} | {cell(what)} | {len(sel)} | {c('killed')} | {c('survived')} | "
                   f"{c('equivalent')} | {c('compile-error')} |")
    out += ["", "## Units", "", "| Unit | Mutants | Killed | Survived | Equivalent | "
            "Did not compile | Not run | Kill rate |", "|---|---|---|---|---|---|---|---|"]
    for f in sorted({m.file for m in mutants}):
        sel = [r for r in rows if r[0].file == f]
        c = lambda s: sum(1 for r in sel if r[1] == s)
        k, s = c("killed"), c("survived")
        out.append(f"| {f} | {len(sel)} | {k} | {s} | {c('equivalent')} | "
                   f"{c('compile-error')} | {c('not run')} | "
                   f"{(100.0 * k / (k + s)) if k + s else 100.0:.0f} % |")

    out += ["", "## Survivors", ""]
    surv = [r for r in rows if r[1] == "survived"]
    if not surv:
        out.append("None.")
    else:
        out += ["| Id | Where | Operator | Change | Why it is left |", "|---|---|---|---|---|"]
        for m, _, _ in surv:
            why = equivalent.get(m.id, "")[len("left:"):].strip()
            out.append(f"| {m.id} | {m.file}:{m.line} | {m.op} | {cell(m.change)} | {cell(why)} |")
    out += ["", "## Equivalent mutants", "",
            "Listed with their reasons in `scripts/mutation-equivalent.txt`.", ""]
    eq = [r for r in rows if r[1] == "equivalent"]
    if eq:
        out += ["| Id | Where | Change | Why it changes no answer |", "|---|---|---|---|"]
        for m, _, _ in eq:
            out.append(f"| {m.id} | {m.file}:{m.line} | {cell(m.change)} | "
                       f"{cell(equivalent[m.id])} |")
    REPORT.parent.mkdir(parents=True, exist_ok=True)
    REPORT.write_text("\n".join(out) + "\n")
    return killed, survived, equiv, compile_err, not_run, rate


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--files", nargs="*", help="only these product sources (paths from the root)")
    ap.add_argument("--sample", type=int, default=0, help="a fixed sample of this many mutants")
    ap.add_argument("--seed", type=int, default=11, help="seed of the sample")
    ap.add_argument("--jobs", type=int, default=1, help="mutants run side by side (own build each)")
    ap.add_argument("--max-minutes", type=float, default=0, help="stop starting mutants after this")
    ap.add_argument("--fresh", action="store_true", help="forget the kept results")
    ap.add_argument("--list", action="store_true", help="print the mutants and stop")
    ap.add_argument("--report-only", action="store_true", help="write the report, run nothing")
    ap.add_argument("--no-report", action="store_true", help="do not write docs/mutation.md")
    args = ap.parse_args()

    stale = sync_equivalent_locations()
    if stale:
        print(f"mutate: {len(stale)} listed equivalents match no mutant of the present sources "
              f"(code gone or changed): {', '.join(stale)}", file=sys.stderr)
    files = product_files()
    if args.files:
        unknown = set(args.files) - set(files)
        if unknown:
            sys.exit(f"mutate: not a product source: {', '.join(sorted(unknown))}")
        files = [f for f in files if f in args.files]
    mutants = find_mutants(files)
    if args.sample and args.sample < len(mutants):
        mutants = sorted(random.Random(args.seed).sample(mutants, args.sample),
                         key=lambda m: (m.file, m.line))
    if args.list:
        for m in mutants:
            print(f"{m.id} {m.file}:{m.line} {m.op} {m.change}")
        print(f"{len(mutants)} mutants", file=sys.stderr)
        return

    # A result holds while the mutated file is unchanged; a survivor is run
    # again when the tests change (a kill stays a kill as long as no test
    # is weakened: --fresh for figures that must not lean on that).
    tree = tree_files()
    file_hash = {f: digest([f]) for f in files}
    tests = digest([f for f in tree if is_test_file(f)])
    equivalent = load_equivalent()
    WORK.mkdir(parents=True, exist_ok=True)
    if args.fresh and RESULTS.exists():
        RESULTS.unlink()
    results = load_results()

    def done(m):
        r = results.get((m.id, file_hash[m.file]))
        # Tests that grew may kill a survivor; a kill stays a kill, and so
        # does a survivor marked equivalent.
        if r is None:
            return False
        if r["status"] != "survived" or r["tests"] == tests:
            return True
        return m.id in equivalent and not equivalent[m.id].startswith("left:")

    todo = [m for m in mutants if not done(m)]
    wall = 0.0
    counter = [0]
    if todo and not args.report_only:
        try:
            os.nice(10)
        except OSError:
            pass
        generator = "ninja" if shutil.which("ninja") else "make"
        workers = [Worker(i, generator, sys.stdout) for i in range(max(1, args.jobs))]
        print(f"mutate: {len(mutants)} mutants, {len(todo)} to run, {len(workers)} at a time")
        for w in workers:
            w.baseline()
        by_file = {}
        for m in todo:
            by_file.setdefault(m.file, []).append(m)
        queue = list(by_file.values())
        lock = threading.Lock()
        start = time.monotonic()
        stop = [False]

        def work(worker):
            while True:
                with lock:
                    if not queue or stop[0]:
                        return
                    group = queue.pop(0)
                for m in group:
                    if args.max_minutes and time.monotonic() - start > 60 * args.max_minutes:
                        stop[0] = True
                    if stop[0]:
                        return
                    r = worker.run(m)
                    record = dict(id=m.id, product=file_hash[m.file], tests=tests, file=m.file,
                                  line=m.line, op=m.op, original=m.original,
                                  mutated=m.mutated, **r)
                    with lock:
                        results[(m.id, file_hash[m.file])] = record
                        with RESULTS.open("a") as fh:
                            fh.write(json.dumps(record) + "\n")
                        counter[0] += 1
                        flag = "" if r["status"] == "killed" else "  <-- " + r["status"]
                        print(f"[{counter[0]}/{len(todo)}] {m.id} {m.file}:{m.line} {m.op} "
                              f"{r['total_s']:.1f}s{flag}", flush=True)

        with concurrent.futures.ThreadPoolExecutor(len(workers)) as pool:
            list(pool.map(work, workers))
        wall = time.monotonic() - start

    if not args.no_report:
        k, s, e, c, n, rate = write_report(mutants, results, file_hash, equivalent, args, wall,
                                           counter[0] if todo and not args.report_only else 0)
        print(f"mutate: killed {k}, survived {s}, equivalent {e}, did not compile {c}, "
              f"not run {n}; kill rate {rate:.1f} %; report in {REPORT.relative_to(ROOT)}")


if __name__ == "__main__":
    main()
