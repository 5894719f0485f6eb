#!/usr/bin/env python3
"""The event exports of `zindra-cli replay --format`, read by the programs
people open them with: Python's csv module for the CSV (as a spreadsheet
reads it), json for JSON Lines, tshark for pcapng.  Every sample is checked:
one row, object and packet per event, the event lines exactly those of the
event pane, and tshark's comment filter finds exactly the events whose line
holds "Alarm".

usage: export_check.py ZINDRA_CLI SAMPLES_DIR    (exit 77: tshark missing)
"""
import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

COLUMNS = ["Zeit", "Protokoll", "Vorzahl", "Linie", "Melder", "Code", "Hex", "Zusatz", "Zustand",
           "Ereignis", "Drucktext", "Telegramm"]
NUMBERS = {"Vorzahl", "Linie", "Melder", "Code", "Zusatz"}

cli, samples = sys.argv[1], sys.argv[2]
tshark = shutil.which("tshark")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def run(*args):
    return subprocess.run([cli, "replay", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)


def unprotect(cell):
    # The CSV writer puts ' before a text a spreadsheet would run as a formula.
    return cell[1:] if cell[:1] == "'" and cell[1:2] in ("=", "+", "-", "@", "\t", "\r") else cell


with tempfile.TemporaryDirectory() as tmp:
    total_events = 0
    for name in sorted(os.listdir(samples)):
        if not name.endswith(".TRC"):
            continue
        path = os.path.join(samples, name)
        pane = run(path)
        check(pane.returncode == 0, f"{name}: replay exit {pane.returncode}")
        # The event pane's lines, Windows-1252 as the pane holds them.
        lines = pane.stdout.decode("cp1252", errors="strict").split("\n")[:-1] if pane.stdout else []

        out = run("--format", "csv", path)
        check(out.returncode == 0, f"{name}: csv exit {out.returncode} {out.stderr!r}")
        check(out.stdout.startswith(b"\xef\xbb\xbf"), f"{name}: csv without BOM")
        rows = list(csv.reader(io.StringIO(out.stdout.decode("utf-8-sig"), newline=""), delimiter=";"))
        check(rows[:1] == [COLUMNS], f"{name}: csv header {rows[:1]}")
        rows = rows[1:]
        check(all(len(r) == len(COLUMNS) for r in rows), f"{name}: a csv row of another width")
        shown = [unprotect(r[COLUMNS.index("Ereignis")]) for r in rows if r[COLUMNS.index("Ereignis")]]
        check(shown == lines, f"{name}: csv event lines {shown} != pane {lines}")
        # A plain trace file has no times: no made-up ones.
        check(all(r[0] == "" for r in rows), f"{name}: csv times in a file without times")

        out = run("--format", "jsonl", path)
        check(out.returncode == 0, f"{name}: jsonl exit {out.returncode}")
        objects = [json.loads(l) for l in out.stdout.decode("utf-8").split("\n") if l]
        check(len(objects) == len(rows), f"{name}: {len(objects)} json objects, {len(rows)} csv rows")
        for o, r in zip(objects, rows):
            check(list(o) == COLUMNS, f"{name}: json keys {list(o)}")
            for i, c in enumerate(COLUMNS):
                v = o[c]
                expected = "" if v is None else str(v)
                check(type(v) in ((int, type(None)) if c in NUMBERS else (str, type(None))),
                      f"{name}: json {c} is {type(v).__name__}")
                check(unprotect(r[i]) == expected, f"{name}: json {c}={v!r}, csv {r[i]!r}")

        if tshark:
            pcap = os.path.join(tmp, name + ".pcapng")
            out = run("--format", "pcapng", "--output", pcap, path)
            check(out.returncode == 0, f"{name}: pcapng exit {out.returncode} {out.stderr!r}")
            fields = ["-T", "fields", "-e", "frame.number", "-e", "rtacser.eventtype"]
            every = subprocess.run([tshark, "-n", "-r", pcap, *fields], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, check=False, text=True)
            check(every.returncode == 0, f"{name}: tshark {every.stderr}")
            packets = [l.split("\t") for l in every.stdout.splitlines()]
            check(len(packets) == len(rows), f"{name}: {len(packets)} packets, {len(rows)} events")
            check(all(p[1] == "0x02" for p in packets), f"{name}: packets not dissected as RTAC serial data")
            alarm = subprocess.run([tshark, "-n", "-r", pcap, "-Y", 'frame.comment contains "Alarm"', "-T",
                                    "fields", "-e", "frame.number"], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, check=False, text=True)
            found = [int(n) for n in alarm.stdout.split()]
            wanted = [i + 1 for i, r in enumerate(rows) if "Alarm" in (r[9] or r[10])]
            check(found == wanted, f"{name}: tshark finds alarms {found}, the events have {wanted}")
        total_events += len(rows)

    check(total_events > 100, f"only {total_events} events in all samples")

for f in failures:
    print("FAIL:", f)
if failures:
    sys.exit(1)
if not tshark:
    print("tshark is not installed (./test.sh installs it): the pcapng checks were skipped")
    sys.exit(77)
print(f"{total_events} events checked as CSV, JSON Lines and pcapng")
