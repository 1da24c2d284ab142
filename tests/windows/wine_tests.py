#!/usr/bin/env python3
"""The Windows build under Wine: test_core.exe, and korvantix-check.exe on the
stand-in ftd2xx.dll (a passing tracker whose record goes into a Cyrillic
folder, a broken antenna, no driver at all, --help in the Windows console
code pages). Every case runs at once; a fresh Wine prefix in the build folder.
Usage: wine_tests.py BUILD_DIR SCHEMA"""
import concurrent.futures
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import jsonschema

WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
USAGE_START = "Usage: korvantix-check [OPTIONS]"


class Wine:
    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.env = dict(os.environ, WINEPREFIX=os.path.join(self.build, "wine"), WINEDEBUG="-all",
                        # No Mono or Gecko installer dialogs, no display: headless.
                        WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY="", WAYLAND_DISPLAY="")

    def fresh_prefix(self):
        shutil.rmtree(self.env["WINEPREFIX"], ignore_errors=True)
        subprocess.run([WINE, "wineboot", "--init"], env=self.env, capture_output=True, timeout=180)

    def run(self, args, cwd=None, extra_env=None, timeout=150):
        env = dict(self.env, **(extra_env or {}))
        return subprocess.run([WINE] + args, cwd=cwd, env=env, capture_output=True, timeout=timeout)

    def exe(self, name):
        return os.path.join(self.build, name)


def text(data):
    return data.decode("utf-8", errors="replace")


def records(folder):
    return sorted(glob.glob(os.path.join(folder, "*.json")))


def step_outcomes(record):
    return {step["type"]: step["outcome"] for step in record["steps"]}


def case_core_tests(wine, work, schema):
    result = wine.run([wine.exe("test_core.exe"), "--gtest_brief=1"], cwd=wine.build, timeout=300)
    out = text(result.stdout)
    failures = [] if result.returncode == 0 else ["test_core.exe failed (%d):\n%s%s" % (
        result.returncode, out[-6000:], text(result.stderr)[-2000:])]
    return failures, out.strip().splitlines()[-1:] if out.strip() else []


def case_passing_tracker_into_cyrillic_folder(wine, work, schema):
    failures = []
    folder = os.path.join(work, "Линия 1 — записи")
    result = wine.run([wine.exe("korvantix-check.exe"), "--serial", "1234567", "--report-dir", folder,
                       "--station", "Линия 1", "--operator", "Иванов"], cwd=work)
    if result.returncode != 0:
        failures.append("exit 0 for a passing tracker, got %d: %s" % (result.returncode, text(result.stderr)))
    found = records(folder)
    if len(found) != 1:
        return failures + ["one record in %s, found %s" % (folder, os.listdir(work))], []
    stem = found[0][:-len(".json")]
    with open(found[0], encoding="utf-8") as f:
        record = json.load(f)
    jsonschema.Draft7Validator(schema).validate(record)
    if record["station"] != "Линия 1" or record["operator"] != "Иванов":
        failures.append("station and operator kept in UTF-8: %r %r" % (record["station"], record["operator"]))
    if set(step_outcomes(record).values()) != {"pass"}:
        failures.append("every step passes: %s" % step_outcomes(record))
    if record["device"]["serial"] != "1234567":
        failures.append("the record is the tracker's: %s" % record["device"])
    suite = ElementTree.parse(stem + ".junit.xml").getroot().find("testsuite")
    if suite.get("tests") != str(len(record["steps"])) or suite.get("failures") != "0":
        failures.append("the JUnit suite counts the steps")
    with open(stem + ".html", encoding="utf-8") as f:
        if "Иванов" not in f.read():
            failures.append("the HTML report names the operator")
    if "\r" in text(result.stdout).replace("\r\n", "\n"):
        failures.append("no live redraws without a console")
    return failures, ["record: " + os.path.relpath(found[0], work)]


def case_broken_antenna_fails_its_step(wine, work, schema):
    failures = []
    profile = json.loads(text(wine.run([wine.exe("korvantix-check.exe"), "--print-profile"]).stdout))
    for step in profile["steps"]:
        if step["type"] == "gsm":
            step["skip"] = True  # its 13 s power-on wait has nothing to do with the antenna
    profile_path = os.path.join(work, "profile.json")
    scenario_path = os.path.join(work, "антенна.json")
    with open(profile_path, "w", encoding="utf-8") as f:
        json.dump(profile, f)
    with open(scenario_path, "w", encoding="utf-8") as f:
        json.dump({"gnss": {"antenna": "break"}}, f)
    folder = os.path.join(work, "records")
    # The stand-in driver reads its scenario from the environment, by a
    # Windows path.
    result = wine.run([wine.exe("korvantix-check.exe"), "--profile", "profile.json", "--report-dir", "records"],
                      cwd=work, extra_env={"KTX_FAKE_D2XX_SCENARIO": "антенна.json"})
    if result.returncode != 1:
        failures.append("exit 1 when a step fails, got %d: %s" % (result.returncode, text(result.stderr)))
    found = records(folder)
    if len(found) != 1:
        return failures + ["one record, found %s" % found], []
    with open(found[0], encoding="utf-8") as f:
        record = json.load(f)
    jsonschema.Draft7Validator(schema).validate(record)
    outcomes = step_outcomes(record)
    if outcomes.pop("gnss") != "fail" or outcomes.pop("gsm") != "skipped" or set(outcomes.values()) != {"pass"}:
        failures.append("only the GNSS step fails: %s" % step_outcomes(record))
    gnss = next(step for step in record["steps"] if step["type"] == "gnss")
    failed = [m["name"] for m in gnss["measurements"] if m["outcome"] in ("fail", "error")]
    if failed != ["antenna"]:
        failures.append("the antenna is what fails: %s" % gnss["measurements"])
    return failures, []


def case_no_driver_installed(wine, work, schema):
    # The program alone in a folder: Windows finds no ftd2xx.dll anywhere.
    alone = os.path.join(work, "alone")
    os.makedirs(alone)
    shutil.copy(wine.exe("korvantix-check.exe"), alone)
    result = wine.run([os.path.join(alone, "korvantix-check.exe"), "--report-dir", "records"], cwd=alone)
    failures = []
    if result.returncode != 2:
        failures.append("exit 2 without the D2XX driver, got %d" % result.returncode)
    if "the FTDI D2XX driver is not installed: ftd2xx.dll could not be loaded" not in text(result.stderr):
        failures.append("says the driver is missing: %r" % text(result.stderr))
    if os.path.exists(os.path.join(alone, "records")) and os.listdir(os.path.join(alone, "records")):
        failures.append("no record without a driver")
    # The simulated tracker needs no driver.
    listed = wine.run([os.path.join(alone, "korvantix-check.exe"), "--simulate", "--list"], cwd=alone)
    if listed.returncode != 0 or text(listed.stdout).replace("\r\n", "\n") != "1234567\tKorvantix\tSUMI-5.7ab\n":
        failures.append("--simulate --list works without the driver: %r" % text(listed.stdout))
    return failures, []


def case_help_in_console_code_pages(wine, work, schema):
    failures = []
    for code_page in ("866", "1251", "437"):
        result = wine.run(["cmd", "/c", "chcp %s >nul & %s --help" % (code_page, wine.exe("korvantix-check.exe"))],
                          cwd=work)
        out = text(result.stdout).replace("\r\n", "\n")
        if result.returncode != 0 or not out.startswith(USAGE_START) or "Exit status:" not in out:
            failures.append("--help under code page %s: exit %d, %r" % (code_page, result.returncode, out[:200]))
    return failures, []


CASES = [case_core_tests, case_passing_tracker_into_cyrillic_folder, case_broken_antenna_fails_its_step,
         case_no_driver_installed, case_help_in_console_code_pages]


def main():
    build, schema_path = sys.argv[1], sys.argv[2]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    wine = Wine(build)
    wine.fresh_prefix()
    failed = False
    with concurrent.futures.ThreadPoolExecutor(len(CASES)) as pool:
        works = {case: tempfile.mkdtemp(prefix="ktx-wine-") for case in CASES}
        futures = {case: pool.submit(case, wine, works[case], schema) for case in CASES}
        for case in CASES:
            name = case.__name__[len("case_"):].replace("_", "-")
            try:
                failures, notes = futures[case].result()
            except Exception as error:  # a crash or timeout of the case itself
                failures, notes = ["%s: %r" % (type(error).__name__, error)], []
            print("%s %s" % ("FAILED" if failures else "passed", name))
            for line in failures:
                print("    " + line)
            for line in notes:
                print("    " + line)
            failed = failed or bool(failures)
            if not failures:
                shutil.rmtree(works[case], ignore_errors=True)
    wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
    subprocess.run([wineserver, "-k"], env=wine.env, capture_output=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
