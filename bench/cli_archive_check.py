#!/usr/bin/python3
"""Checks the runs of bench/cli_archive.sh: WORK COUNT."""
import collections
import json
import os
import re
import sys

work, count = sys.argv[1], int(sys.argv[2])


def lines(report, out):
    with open(os.path.join(work, report), encoding="utf-8") as f:
        rows = [json.loads(line) for line in f]
    for row in rows:
        if row["target"]:
            row["target"] = os.path.relpath(row["target"], os.path.join(work, out))
        row.pop("seconds")
    return rows


def files(out):
    top = os.path.join(work, out)
    found = set()
    for folder, _, names in os.walk(top):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), top))
    return found


whole = lines("whole.jsonl", "whole")
shards = lines("shards.jsonl", "shards")
results = collections.Counter(row["result"] for row in whole)
by_name = collections.defaultdict(set)
for row in whole:
    by_name[os.path.basename(row["source"])].add(row["result"])
mixed = sorted(name for name, outcome in by_name.items() if len(outcome) > 1)
failures = [row for row in whole if row["result"] == "failed"]
silent = [row["source"] for row in failures if not row["message"]]
targets = [row["target"] for row in whole if row["result"] == "converted"]
hidden = [name for name in files("whole") | files("shards") if ".tabrook-" in name]
changed = sum(1 for row in whole if row["changes"])

print(f"report lines: {len(whole)} of {count}; {dict(results)}")
print(f"workbooks failing in some copies but not others: {mixed or 'none'}")
print(f"failures without a message: {len(silent)}; distinct failing workbooks: "
      f"{len({os.path.basename(r['source']) for r in failures})}")
print(f"results on disk: {len(files('whole'))} for {len(targets)} converted; "
      f"names given twice: {len(targets) - len(set(targets))}")
print(f"lines with changes listed: {changed}; hidden temporaries: {len(hidden)}")
print(f"shards: same files {files('whole') == files('shards')}, same report lines "
      f"{whole == shards}")
for row_whole, row_shard in [pair for pair in zip(whole, shards) if pair[0] != pair[1]][:3]:
    print("  whole run:", json.dumps(row_whole)[:400])
    print("  shards:   ", json.dumps(row_shard)[:400])
sample = next((row for row in failures), None)
if sample:
    print("a failure line:", json.dumps(sample)[:300])
ok = (len(whole) == count and not mixed and not silent and len(files("whole")) == len(targets)
      and len(targets) == len(set(targets)) and not hidden and files("whole") == files("shards")
      and whole == shards)
print("archive check:", "passed" if ok else "FAILED")
sys.exit(0 if ok else 1)
