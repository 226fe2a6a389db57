#!/usr/bin/env python3
"""Checks planex run reports and their metrics files.

    check-run-report.py [--schema SCHEMA] [--outcome OUTCOME] REPORT [METRICS]
    check-run-report.py [--schema SCHEMA] --cases REPORT METRICS OUTCOME [REPORT METRICS OUTCOME ...]

A report must be valid against the run report's JSON Schema (docs/run-report.schema.json, or
SCHEMA); its metrics must pass `promtool check metrics` and give the report's figures (outcome,
error lines, rows per table, persons). With an outcome the report must say that outcome. Exits 0
when all holds, 1 with the reasons on standard error otherwise.
"""
import argparse
import json
import os
import re
import subprocess
import sys

import jsonschema

HERE = os.path.dirname(os.path.abspath(__file__))


def samples(text):
    """The metrics' samples: {(name, frozenset of label pairs): value}."""
    out = {}
    for line in text.splitlines():
        if not line or line.startswith("#"):
            continue
        m = re.fullmatch(r'([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)', line)
        if not m:
            raise ValueError("unreadable sample: " + line)
        labels = frozenset(re.findall(r'([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\.)*)"', m.group(2) or ""))
        out[(m.group(1), labels)] = float(m.group(3))
    return out


def check(report_path, metrics_path, outcome, schema_path):
    problems = []
    with open(report_path, encoding="utf-8") as f:
        report = json.load(f)
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())
    problems += ["report: %s at %s" % (e.message, "/".join(map(str, e.path))) for e in validator.iter_errors(report)]
    if outcome is not None and report.get("outcome") != outcome:
        problems.append("report: outcome %r, expected %r" % (report.get("outcome"), outcome))
    if metrics_path is None:
        return problems
    with open(metrics_path, encoding="utf-8") as f:
        text = f.read()
    lint = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True, text=True)
    if lint.returncode != 0:
        problems.append("metrics: promtool: " + (lint.stdout + lint.stderr).strip())
    try:
        got = samples(text)
    except ValueError as e:
        return problems + ["metrics: %s" % e]
    want = {("planex_run_outcome", frozenset({("outcome", report["outcome"])})): 1,
            ("planex_run_error_lines", frozenset()): report["error_lines"],
            ("planex_run_peak_memory_bytes", frozenset()): report["peak_memory_bytes"],
            ("planex_run_info", frozenset({("version", report["version"])})): 1}
    for table, rows in report["rows"].items():
        for kind in ("added", "rewritten"):
            want[("planex_run_rows", frozenset({("table", table), ("kind", kind)}))] = rows[kind]
    for step in ("read", "batched", "daily", "handed_over"):
        want[("planex_run_persons", frozenset({("step", step)}))] = report["persons"][step]
    for reason, n in report["persons"]["fallback_reasons"].items():
        want[("planex_run_person_fallbacks", frozenset({("reason", reason)}))] = n
    for code in ("range_reversed", "no_persons", "pnr_width", "end_year_past"):
        want[("planex_run_warnings", frozenset({("code", code)}))] = \
            sum(1 for w in report.get("warnings", []) if w["code"] == code)
    for key, value in want.items():
        if got.get(key) != value:
            problems.append("metrics: %s%s is %s, the report says %s" % (key[0], dict(key[1]), got.get(key), value))
    ones = [dict(k[1])["outcome"] for k, v in got.items() if k[0] == "planex_run_outcome" and v == 1]
    if len(ones) != 1:
        problems.append("metrics: %d outcomes at 1" % len(ones))
    if report["duration_seconds"] is not None and \
            abs(got.get(("planex_run_duration_seconds", frozenset()), -1) - report["duration_seconds"]) > 1e-6:
        problems.append("metrics: duration differs from the report's")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="+")
    parser.add_argument("--outcome")
    parser.add_argument("--cases", action="store_true", help="files are triples of report, metrics and outcome")
    parser.add_argument("--schema", default=os.path.join(HERE, "..", "docs", "run-report.schema.json"))
    args = parser.parse_args()
    if args.cases:
        if len(args.files) % 3 != 0:
            parser.error("--cases takes triples of report, metrics and outcome")
        cases = [tuple(args.files[i:i + 3]) for i in range(0, len(args.files), 3)]
    else:
        if len(args.files) > 2:
            parser.error("one report and at most one metrics file")
        cases = [(args.files[0], args.files[1] if len(args.files) > 1 else None, args.outcome)]
    problems = []
    for report, metrics, outcome in cases:
        try:
            problems += ["%s: %s" % (report, p) for p in check(report, metrics, outcome, args.schema)]
        except (OSError, ValueError, KeyError, TypeError) as e:
            problems.append("%s: %s: %s" % (report, type(e).__name__, e))
    for p in problems:
        print("check-run-report: " + p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
