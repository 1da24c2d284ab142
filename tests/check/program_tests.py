#!/usr/bin/env python3
"""korvantix-check as a line runs it: a process, its exit status, its three
record files. One case per call: program_tests.py CASE --check BINARY ...
(--repeat N runs the pair case N times)."""
import argparse
import glob
import json
import os
import resource
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


# A profile that takes well under a second on the simulated tracker.
SHORT_PROFILE = {"name": "short", "steps": [
    {"type": "identification", "firmware": {"min": 57, "max": 999}},
    {"type": "outputs", "outputs": [{"output": 1, "input": None}]},
    {"type": "accel", "magnitude": {"min": 0.8, "max": 1.2}}]}


def record_files(folder):
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


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
    # No tracker on the USB bus here: listing and checking agree that it is an error.
    for args in (["--list"], ["--report-dir", folder]):
        result = run([o.check] + args)
        expect(result.returncode == 2 and result.stdout.count("\t") == 0,
               "%s with no tracker exits 2, got %d: %s" % (args, result.returncode, result.stderr))


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


def case_pair_same_second(o, work):
    """Two runs of the same serial started together, over and over: each keeps
    its own whole set under its own name, never the other's files."""
    profile = write_json(work, "short.json", SHORT_PROFILE)
    folder = os.path.join(work, "records")
    sets_seen = 0
    same_second = 0
    for round_number in range(o.repeat):
        stations = ["A%d" % round_number, "B%d" % round_number]
        # The results database sits outside the folder whose files are counted.
        processes = [subprocess.Popen([o.check, "--simulate", "--profile", profile, "--report-dir", folder,
                                       "--results", os.path.join(work, "results.sqlite"),
                                       "--station", station], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                     for station in stations]
        claimed = []
        for station, process in zip(stations, processes):
            out, err = process.communicate(timeout=60)
            expect(process.returncode == 0, "round %d, %s: exit 0, got %d: %s" % (round_number, station,
                                                                                 process.returncode, err))
            paths = dict(line.split(None, 1) for line in out.splitlines() if line.split(None, 1)[0] in
                         ("record:", "report:", "junit:"))
            claimed.append(paths.get("record:", ""))
            stem = paths.get("record:", "")[:-len(".json")]
            expect(paths.get("report:") == stem + ".html" and paths.get("junit:") == stem + ".junit.xml",
                   "round %d: the three names share one stem: %s" % (round_number, paths))
            # Each file of the set is this run's: its station is in all three.
            record = load_record(stem + ".json", o.schema_json)
            expect(record["station"] == station, "round %d: the JSON is %s's" % (round_number, station))
            with open(stem + ".html", encoding="utf-8") as f:
                expect("<td>%s</td>" % station in f.read(), "round %d: the HTML is %s's" % (round_number, station))
            suite = ElementTree.parse(stem + ".junit.xml").getroot().find("testsuite")
            expect(suite.get("hostname") == station, "round %d: the JUnit file is %s's" % (round_number, station))
            sets_seen += 1
        expect(claimed[0] != claimed[1], "round %d: two runs, two records: %s" % (round_number, claimed))
        same_second += os.path.basename(claimed[0])[:24] == os.path.basename(claimed[1])[:24]
        if FAILED:
            break
    names = record_files(folder)
    expect(len(names) == 3 * sets_seen and not [n for n in names if ".tmp-" in n],
           "exactly three files per run, no temporary: %d files for %d runs" % (len(names), sets_seen))
    print("%d pairs, %d started in the same second, %d record sets, each whole and its own"
          % (o.repeat, same_second, sets_seen))


def dead_pid():
    child = subprocess.Popen(["true"])
    child.wait()
    return child.pid


def case_file_size_limit(o, work):
    """Under ulimit -f the check says the record could not be written and
    exits 2; nothing is left, and what killed runs left is cleared."""
    profile = write_json(work, "short.json", SHORT_PROFILE)
    folder = os.path.join(work, "records")
    os.makedirs(folder)
    stale = os.path.join(folder, "1234567-20261209T120000Z.json.tmp-%d-0" % dead_pid())
    fresh = os.path.join(folder, "1234567-20261209T120001Z.json.tmp-%d-0" % dead_pid())
    for path in (stale, fresh):
        with open(path, "w") as f:
            f.write("{\n  \"outcome\": \"pa")
    os.utime(stale, (time.time() - 3600, time.time() - 3600))

    def limit_file_size():
        resource.setrlimit(resource.RLIMIT_FSIZE, (2000, resource.RLIM_INFINITY))

    # subprocess gives the child the default SIGXFSZ disposition (restore_signals).
    result = subprocess.run([o.check, "--simulate", "--profile", profile, "--report-dir", folder],
                            capture_output=True, text=True, timeout=60, preexec_fn=limit_file_size)
    expect(result.returncode == 2, "exit 2 under a file-size limit, got %d: %s" % (result.returncode, result.stderr))
    expect("the record could not be written" in result.stderr and "File too large" in result.stderr,
           "it says why: %r" % result.stderr)
    expect(record_files(folder) == [os.path.basename(fresh)],
           "no record, no temporary; only a fresh one of another writer kept: %s" % record_files(folder))


def case_full_disk(o, work):
    """On a file system that fills up while the set is written, the run either
    keeps the whole set (exit 0) or nothing of it (exit 2)."""
    if os.geteuid() != 0:
        print("skipped: mounting a small tmpfs needs root")
        return
    profile = write_json(work, "short.json", SHORT_PROFILE)
    mount = os.path.join(work, "disk")
    os.makedirs(mount)
    size = 256 * 1024
    if run(["mount", "-t", "tmpfs", "-o", "size=%d" % size, "tmpfs", mount]).returncode != 0:
        print("skipped: tmpfs could not be mounted here")
        return
    try:
        outcomes = {}
        for free_pages in range(0, 6):
            folder = os.path.join(mount, "records")
            shutil.rmtree(folder, ignore_errors=True)
            for name in os.listdir(mount):
                os.remove(os.path.join(mount, name)) if name != "records" else None
            os.makedirs(folder)
            filler = os.path.join(mount, "filler")
            with open(filler, "wb") as f:
                try:
                    f.write(b"\0" * (size - free_pages * 4096))
                except OSError:
                    pass
            # The results database is on the roomy disk: this is about the record set.
            result = run([o.check, "--simulate", "--profile", profile, "--report-dir", folder,
                          "--results", os.path.join(work, "results.sqlite")], timeout=60)
            names = record_files(folder)
            outcomes[free_pages] = result.returncode
            if result.returncode == 0:
                expect(len(names) == 3, "%d pages free: exit 0 keeps the whole set: %s" % (free_pages, names))
            else:
                expect(result.returncode == 2 and "could not be written" in result.stderr,
                       "%d pages free: exit 2 with its reason, got %d: %s" % (free_pages, result.returncode,
                                                                             result.stderr))
                expect(names == [], "%d pages free: a failed publish leaves nothing: %s" % (free_pages, names))
        expect(outcomes[0] == 2 and outcomes[5] == 0, "no room fails, room for all passes: %s" % outcomes)
        print("exit status by free 4 KiB pages: %s" % outcomes)
    finally:
        run(["umount", mount])


def case_signals(o, work):
    """A closed standard output (| head) and a closed terminal (SIGHUP) still
    end through the cleanup and keep the record."""
    profile = write_json(work, "short.json", SHORT_PROFILE)
    folder = os.path.join(work, "piped")
    # | head -1: the pipe closes after the first line.
    process = subprocess.Popen([o.check, "--simulate", "--profile", profile, "--report-dir", folder],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    process.stdout.readline()
    process.stdout.close()
    process.wait(timeout=60)
    expect(process.returncode == 0, "a closed output does not kill the run, got %d" % process.returncode)
    expect(len(records(folder)) == 1, "the record is kept: %s" % record_files(folder))
    if records(folder):
        record = load_record(records(folder)[0], o.schema_json)
        expect(record["outcome"] == "pass" and any(e["kind"] == "sent" for e in record["cleanupLog"]),
               "the run ended with its cleanup: %s" % record["cleanupLog"])
    # SIGHUP during the modem's power-on, as SIGTERM.
    stop_during_gsm(o, os.path.join(work, "hangup"), signal.SIGHUP)


def case_not_utf8_or_not_tested(o, work):
    folder = os.path.join(work, "records")
    result = subprocess.run([o.check.encode(), b"--simulate", b"--station", "Иванов".encode("cp1251"),
                             b"--report-dir", folder.encode()], capture_output=True, timeout=60)
    expect(result.returncode == 2 and b"--station is not UTF-8" in result.stderr,
           "a station name that is no UTF-8 is a usage error: %d %r" % (result.returncode, result.stderr))
    expect(record_files(folder) == [], "and writes nothing")
    every_step_skipped = {"name": "nothing", "steps": [dict(step, skip=True) for step in SHORT_PROFILE["steps"]]}
    profile = write_json(work, "skipped.json", every_step_skipped)
    result = run([o.check, "--simulate", "--profile", profile, "--report-dir", folder])
    expect(result.returncode == 3, "a run that tested nothing exits 3, got %d: %s" % (result.returncode, result.stderr))
    expect("1234567: not tested" in result.stdout, "and says so: %s" % result.stdout)
    record = load_record(records(folder)[0], o.schema_json)
    expect(record["outcome"] == "not tested", "the record says not tested: %s" % record["outcome"])
    ElementTree.parse(records(folder)[0][:-len(".json")] + ".junit.xml")


def case_symlinked_report_folder(o, work):
    real = os.path.join(work, "real")
    os.makedirs(real)
    os.symlink(real, os.path.join(work, "linked"))
    profile = write_json(work, "short.json", SHORT_PROFILE)
    result = run([o.check, "--simulate", "--profile", profile, "--report-dir", os.path.join(work, "linked")])
    expect(result.returncode == 0, "a symlinked folder the user names is taken: %d %s" % (result.returncode,
                                                                                      result.stderr))
    expect(len(records(real)) == 1, "the record is in the folder it leads to: %s" % record_files(real))


def case_fault_table(o, work):
    """The check program on the simulated tracker playing each fault its
    scenario file can hold: the exit status the README gives, a whole record
    whose verdict agrees with it, and an end in bounded time."""
    profile = write_json(work, "short.json", SHORT_PROFILE)
    rows = [  # name, faults section, exit statuses allowed
        ("healthy", {}, {0}),
        ("silent", {"silent": 1}, {1}),
        ("short replies", {"shortReplies": 1}, {1}),
        ("garbage", {"garbage": 1}, {1}),
        ("CR LF mid-reply", {"lineBreaks": 1}, {0, 1}),
        ("64 KiB reply", {"floods": 1}, {0, 1}),
        # Pulled out as the run starts: no tracker found, or one that stopped
        # answering.
        ("unplugged", {"unplugAtMs": 1}, {1, 2}),
    ]
    verdicts = {0: ("pass", "marginal"), 1: ("fail", "error")}
    passed = 0
    for row, (name, faults, allowed) in enumerate(rows):
        folder = os.path.join(work, "records-%d" % row)
        scenario = write_json(work, "scenario.json", {"faults": faults})
        started = time.monotonic()
        result = run([o.check, "--simulate=" + scenario, "--profile", profile, "--report-dir", folder], timeout=90)
        seconds = time.monotonic() - started
        failures = len(FAILED)
        expect(result.returncode in allowed, "%s: exit %d, allowed %s: %s" % (name, result.returncode, sorted(allowed),
                                                                            result.stderr))
        expect(seconds < 60, "%s: ends in bounded time, took %.1f s" % (name, seconds))
        expect(result.stdout.strip() or result.stderr.strip(), "%s: says something" % name)
        if result.returncode in verdicts:
            names = [n for n in record_files(folder) if n.startswith("1234567-")]
            expect(len(names) == 3, "%s: one whole record set: %s" % (name, names))
            if records(folder):
                record = load_record(records(folder)[0], o.schema_json)
                expect(record["outcome"] in verdicts[result.returncode],
                       "%s: the verdict %s agrees with exit %d" % (name, record["outcome"], result.returncode))
        elif result.returncode == 2:
            expect("tracker" in result.stderr.lower() or "трекер" in result.stderr.lower(),
                   "%s: exit 2 says the tracker is missing: %r" % (name, result.stderr))
        ok = len(FAILED) == failures
        passed += ok
        print("%-20s exit %d  %5.1f s  %s" % (name, result.returncode, seconds, "ok" if ok else "FAIL"))
    print("%d faults, %d passed" % (len(rows), passed))


def case_report_folder_faults(o, work):
    """A FIFO, a file or a folder it may not write where the records go: exit
    2 naming the folder, at once, and nothing written anywhere else."""
    profile = write_json(work, "short.json", SHORT_PROFILE)
    os.chmod(work, 0o755)
    os.chmod(profile, 0o644)

    def fifo(path):
        os.mkfifo(path)

    def plain_file(path):
        with open(path, "w") as f:
            f.write("not a folder\n")

    def read_only(path):
        os.makedirs(path)
        os.chmod(path, 0o555)

    def as_nobody():
        # Root writes into a read-only folder; a technician does not.
        os.setgid(65534)
        os.setuid(65534)

    faults = [("a FIFO", fifo, None), ("a file", plain_file, None)]
    if os.geteuid() == 0:
        faults.append(("a read-only folder", read_only, as_nobody))
    for name, make, preexec in faults:
        folder = os.path.join(work, "records-" + name.split()[-1])
        make(folder)
        before = sorted(os.listdir(work))
        started = time.monotonic()
        result = subprocess.run([o.check, "--simulate", "--profile", profile, "--report-dir", folder],
                                capture_output=True, text=True, timeout=60, preexec_fn=preexec)
        expect(result.returncode == 2, "%s: exit 2, got %d: %s" % (name, result.returncode, result.stderr))
        expect(folder in result.stderr, "%s: the folder is named: %r" % (name, result.stderr))
        expect(time.monotonic() - started < 30, "%s: no wait on it" % name)
        expect(sorted(os.listdir(work)) == before, "%s: nothing written beside it: %s" % (name, os.listdir(work)))
        if os.path.isdir(folder):
            expect(os.listdir(folder) == [], "%s: nothing in it" % name)


def case_profile_schema(o, work):
    """The profile's JSON Schema and the program agree on what a profile is."""
    with open(o.profile_schema, encoding="utf-8") as f:
        schema = json.load(f)
    validator = jsonschema.Draft7Validator(schema)
    default = json.loads(run([o.check, "--print-profile"]).stdout)
    errors = list(validator.iter_errors(default))
    expect(not errors, "the built-in profile passes the schema: %s" % [e.message for e in errors])
    supply = {"type": "supply", "supply": {"min": 9, "max": 32}}
    bad = [
        ({"name": "p", "steps": [dict(supply, suply={"min": 9, "max": 32})]}, "steps[0].suply"),
        ({"name": "p", "steps": [{"type": "accel", "registrationS": 5}]}, "steps[0].registrationS"),
        ({"name": "p", "steps": [dict(supply, name="")]}, "steps[0].name"),
        ({"name": "p", "steps": [{"type": "identification"}]}, "steps[0].firmware"),
        ({"name": "p", "steps": [{"type": "gnss", "latitude": 55, "longitude": 61}]}, "steps[0].radiusM"),
        ({"name": "p", "steps": [{"type": "supply", "supply": {"min": 9, "max": 32, "typ": 12}}]}, "steps[0].supply.typ"),
    ]
    for profile, key in bad:
        expect(list(validator.iter_errors(profile)), "the schema refuses %s" % profile)
        path = write_json(work, "bad.json", profile)
        result = run([o.check, "--simulate", "--profile", path, "--report-dir", os.path.join(work, "records")])
        expect(result.returncode == 2 and ('profile key "%s"' % key) in result.stderr,
               "the program refuses %s naming %s: %s" % (profile, key, result.stderr))
    expect(record_files(os.path.join(work, "records")) == [], "no record after a refused profile")


def case_sigterm_during_gsm(o, work):
    stop_during_gsm(o, work, signal.SIGTERM)


def stop_during_gsm(o, work, stop_signal):
    process = subprocess.Popen([o.check, "--simulate", "--report-dir", work], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    # The counters step is the one before GSM; the power-on then waits 13 s.
    deadline = time.monotonic() + 30
    for line in process.stdout:
        if "counters" in line or time.monotonic() > deadline:
            break
    time.sleep(1.5)
    stopped_at = time.monotonic()
    process.send_signal(stop_signal)
    out, err = process.communicate(timeout=30)
    expect(process.returncode == 2, "exit 2 after signal %d, got %d: %s" % (stop_signal, process.returncode, err))
    # The modem's own 3 s to settle after switching off is the longest wait left.
    expect(time.monotonic() - stopped_at < 8, "the run stops promptly")
    expect(len(records(work)) == 1, "the record is kept")
    if not records(work):
        return
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
    # The chip going bad, or pulled out as the run starts: the check fails
    # (or finds no tracker) in bounded time, and a run it made keeps a whole
    # record with that verdict.
    profile = write_json(work, "short.json", SHORT_PROFILE)
    for name, faults, allowed in [("silent", {"silent": 1}, {1}), ("garbage", {"garbage": 1}, {1}),
                                  ("unplugged", {"unplugAtMs": 0}, {1, 2})]:
        folder = os.path.join(work, "emulated-" + name)
        scenario = write_json(work, "emulated-%s.json" % name, {"faults": faults})
        started = time.monotonic()
        result = run([o.testbed, o.emulated, "--scenario=" + scenario, "--", o.check, "--profile", profile,
                      "--report-dir", folder], timeout=150)
        expect(result.returncode in allowed, "%s chip: exit %d, allowed %s:\n%s" % (name, result.returncode,
                                                                                  sorted(allowed), result.stderr))
        expect(time.monotonic() - started < 120, "%s chip: bounded" % name)
        if result.returncode == 1:
            expect(len([n for n in record_files(folder) if n.startswith("1234567-")]) == 3,
                   "%s chip: one whole record set: %s" % (name, record_files(folder)))
            if records(folder):
                expect(load_record(records(folder)[0], o.schema_json)["outcome"] in ("fail", "error"),
                       "%s chip: the record fails" % name)
        if result.returncode == 2:
            expect("tracker" in result.stderr.lower(), "%s chip: exit 2 says why: %r" % (name, result.stderr))
        print("emulated chip %-10s exit %d  %.1f s" % (name, result.returncode, time.monotonic() - started))


CASES = {name[len("case_"):].replace("_", "-"): fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--check", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--screenshots", default="screenshots")
    parser.add_argument("--testbed")
    parser.add_argument("--emulated")
    parser.add_argument("--profile-schema")
    parser.add_argument("--repeat", type=int, default=20)
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
