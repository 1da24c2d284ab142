#!/usr/bin/env python3
"""korvantix-check as a line runs it: a process, its exit status, its three
record files. One case per call: program_tests.py CASE --check BINARY ..."""
import argparse
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

import jsonschema

FAILED = []


def expect(condition, what):
    if not condition:
        FAILED.append(what)
        print("FAILED: " + what, file=sys.stderr)


def run(args, cwd=None, timeout=120):
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True, timeout=timeout)


def records(folder):
    return sorted(glob.glob(os.path.join(folder, "*.json")))


def load_record(path, schema):
    with open(path, encoding="utf-8") as f:
        record = json.load(f)
    jsonschema.Draft7Validator(schema).validate(record)
    return record


def step_outcomes(record):
    return {step["type"]: step["outcome"] for step in record["steps"]}


def write_json(folder, name, value):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as f:
        json.dump(value, f)
    return path


def case_simulated_passes(o, work):
    result = run([o.check, "--simulate", "--report-dir", work, "--station", "Линия 1", "--operator", "Иванов"])
    expect(result.returncode == 0, "exit 0 for a passing tracker, got %d: %s" % (result.returncode, result.stderr))
    stem = records(work)[0][:-len(".json")] if records(work) else ""
    for suffix in (".json", ".html", ".junit.xml"):
        expect(os.path.isfile(stem + suffix), "the record file " + suffix + " is written")
    record = load_record(stem + ".json", o.schema_json)
    expect(record["outcome"] == "pass", "the record passes")
    expect(record["station"] == "Линия 1" and record["operator"] == "Иванов", "station and operator are kept")
    expect(set(step_outcomes(record).values()) == {"pass"}, "every step passes: %s" % step_outcomes(record))
    # Without a terminal: one plain line per step, no live indicator.
    step_lines = [line for line in result.stdout.splitlines() if line.startswith("[")]
    expect(len(step_lines) == len(record["steps"]), "one line per step:\n" + result.stdout)
    expect("\r" not in result.stdout, "no live redraws without a terminal")
    suite = ElementTree.parse(stem + ".junit.xml").getroot().find("testsuite")
    expect(suite.get("tests") == str(len(record["steps"])) and suite.get("failures") == "0",
           "the JUnit suite counts the steps")
    render_report(stem + ".html", o)


def render_report(html, o, name="check-report.png"):
    os.makedirs(o.screenshots, exist_ok=True)
    png = os.path.join(o.screenshots, name)
    result = run(["wkhtmltoimage", "--quiet", "--disable-javascript", "--width", "800", html, png], timeout=60)
    expect(result.returncode == 0 and os.path.getsize(png) > 10000, "the report renders to " + png + result.stderr)


def case_fault_fails_its_step(o, work):
    profile = json.loads(run([o.check, "--print-profile"]).stdout)
    for step in profile["steps"]:
        if step["type"] == "gsm":
            step["skip"] = True
    profile_path = write_json(work, "profile.json", profile)
    scenario = write_json(work, "scenario.json", {"gnss": {"antenna": "break"}})
    folder = os.path.join(work, "records")
    result = run([o.check, "--simulate=" + scenario, "--profile", profile_path, "--report-dir", folder])
    expect(result.returncode == 1, "exit 1 when a step fails, got %d" % result.returncode)
    record = load_record(records(folder)[0], o.schema_json)
    outcomes = step_outcomes(record)
    expect(outcomes.pop("gnss") == "fail", "the GNSS step fails")
    expect(outcomes.pop("gsm") == "skipped", "the GSM step is skipped")
    expect(set(outcomes.values()) == {"pass"}, "no other step fails: %s" % outcomes)
    expect(record["profile"]["name"] == profile["name"], "the record names the profile")
    render_report(records(folder)[0][:-len(".json")] + ".html", o, "check-report-failed.png")


def case_usage_errors(o, work):
    folder = os.path.join(work, "records")
    plain_file = write_json(work, "plain", {})
    bad_profile = write_json(work, "bad.json", {"name": "p", "steps": [{"type": "gsm", "registrationS": "long"}]})
    cases = [
        (["--frobnicate"], "unknown option --frobnicate"),
        (["--serial"], "--serial needs a value"),
        (["--simulate", "--profile", bad_profile], bad_profile + ": profile key \"steps[0].registrationS\": expected a number"),
        (["--simulate", "--profile", os.path.join(work, "none.json")], "none.json"),
        (["--simulate=" + os.path.join(work, "none.json")], "scenario"),
        (["--simulate", "--report-dir", plain_file], plain_file),
        (["--simulate", "--serial", "999", "--report-dir", folder], "no tracker with the serial 999 is plugged in"),
    ]
    for args, message in cases:
        result = run([o.check] + args)
        expect(result.returncode == 2, "exit 2 for %s, got %d" % (args, result.returncode))
        expect(message in result.stderr, "%s says %r; it said %r" % (args, message, result.stderr))
    expect(records(folder) == [], "no record after a setup error")
    expect(run([o.check, "--help"]).stdout.startswith("Usage: korvantix-check"), "--help shows the usage")
    expect(run([o.check, "--version"]).stdout.startswith("korvantix-check "), "--version shows the version")
    expect(json.loads(run([o.check, "--print-profile"]).stdout)["steps"][0]["type"] == "identification",
           "--print-profile prints the profile as JSON")
    listed = run([o.check, "--simulate", "--list"])
    expect(listed.returncode == 0 and listed.stdout == "1234567\tKorvantix\tSUMI-5.7ab\n",
           "--list shows serial, description, firmware: %r" % listed.stdout)


def case_four_at_once(o, work):
    serials = ["4000001", "4000002", "4000003", "4000004"]
    folder = os.path.join(work, "records")
    processes = []
    for serial in serials:
        scenario = write_json(work, serial + ".json", {"serial": serial, "seed": int(serial) % 97})
        processes.append(subprocess.Popen([o.check, "--simulate=" + scenario, "--serial", serial, "--report-dir", folder],
                                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True))
    for process in processes:
        out, err = process.communicate(timeout=120)
        expect(process.returncode == 0, "each of the four passes, got %d: %s" % (process.returncode, err))
    found = {}
    for path in records(folder):
        record = load_record(path, o.schema_json)
        found[record["device"]["serial"]] = record["outcome"]
        expect(os.path.basename(path).startswith(record["device"]["serial"] + "-"), "a record is named by its serial")
    expect(found == {serial: "pass" for serial in serials}, "four records, one per serial: %s" % found)


def case_sigterm_during_gsm(o, work):
    process = subprocess.Popen([o.check, "--simulate", "--report-dir", work], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    # The counters step is the one before GSM; the power-on then waits 13 s.
    deadline = time.monotonic() + 30
    for line in process.stdout:
        if "counters" in line or time.monotonic() > deadline:
            break
    time.sleep(1.5)
    stopped_at = time.monotonic()
    process.send_signal(signal.SIGTERM)
    out, err = process.communicate(timeout=30)
    expect(process.returncode == 2, "exit 2 after SIGTERM, got %d: %s" % (process.returncode, err))
    # The modem's own 3 s to settle after switching off is the longest wait left.
    expect(time.monotonic() - stopped_at < 8, "the run stops promptly")
    record = load_record(records(work)[0], o.schema_json)
    outcomes = step_outcomes(record)
    expect(outcomes["gsm"] == "error", "the GSM step is recorded as error: %s" % outcomes)
    expect(outcomes["counters"] == "pass" and outcomes["accel"] == "skipped", "steps before pass, after are skipped")
    expect(record["interrupted"] is True, "the record says it was interrupted")
    sent = [e["text"] for e in record["cleanupLog"] if e["kind"] == "sent"]
    received = "".join(e["text"] for e in record["cleanupLog"] if e["kind"] == "received")
    expect("WORKGSM=0;$" in sent and "WORKGSM=0" in received, "the modem was switched off: %s" % record["cleanupLog"])


def case_no_qt(o, work):
    result = run(["ldd", o.check])
    expect(result.returncode == 0, "ldd runs")
    expect("libQt" not in result.stdout, "no Qt library is linked:\n" + result.stdout)


def case_emulated_chip(o, work):
    result = run([o.testbed, o.emulated, "--", o.check, "--report-dir", work], timeout=150)
    expect(result.returncode == 0, "the check passes on the emulated chip, got %d:\n%s\n%s"
           % (result.returncode, result.stdout, result.stderr))
    record = load_record(records(work)[0], o.schema_json)
    expect(record["device"]["serial"] == "1234567" and record["outcome"] == "pass", "the record is the chip's")


CASES = {name[len("case_"):].replace("_", "-"): fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--check", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--screenshots", default="screenshots")
    parser.add_argument("--testbed")
    parser.add_argument("--emulated")
    o = parser.parse_args()
    with open(o.schema, encoding="utf-8") as f:
        o.schema_json = json.load(f)
    work = tempfile.mkdtemp(prefix="ktx-check-")
    try:
        CASES[o.case](o, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if FAILED else 0


if __name__ == "__main__":
    sys.exit(main())
