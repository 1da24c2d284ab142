#!/usr/bin/env python3
"""korvantix-check storing its runs: several stations at once, the database
away for part of a line's run, a schema migration, and the ways a database
can be wrong. One group per call: results_tests.py GROUP --check BINARY.
The postgres group needs the server with-postgres.sh starts."""
import argparse
import glob
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

FAILED = []

# The first schema as the program released it: a database of that version is
# made here by hand, not by the program under test.
SCHEMA_V1 = [
    "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied_at TEXT NOT NULL)",
    "CREATE TABLE runs (run_id TEXT PRIMARY KEY, serial TEXT NOT NULL, description TEXT NOT NULL,"
    " firmware TEXT NOT NULL, station TEXT NOT NULL, operator TEXT NOT NULL, program_version TEXT NOT NULL,"
    " profile_name TEXT NOT NULL, profile_hash TEXT NOT NULL, started_at TEXT NOT NULL, ended_at TEXT NOT NULL,"
    " outcome TEXT NOT NULL, interrupted INTEGER NOT NULL)",
    "CREATE INDEX runs_by_serial ON runs (serial, started_at)",
    "CREATE TABLE steps (run_id TEXT NOT NULL REFERENCES runs (run_id), step_index INTEGER NOT NULL,"
    " name TEXT NOT NULL, type TEXT NOT NULL, optional INTEGER NOT NULL, outcome TEXT NOT NULL,"
    " message TEXT NOT NULL, started_at TEXT NOT NULL, duration_ms BIGINT NOT NULL, PRIMARY KEY (run_id, step_index))",
    "CREATE TABLE measurements (run_id TEXT NOT NULL, step_index INTEGER NOT NULL,"
    " measurement_index INTEGER NOT NULL, name TEXT NOT NULL, value TEXT, units TEXT NOT NULL,"
    " low DOUBLE PRECISION, high DOUBLE PRECISION, outcome TEXT NOT NULL,"
    " PRIMARY KEY (run_id, step_index, measurement_index),"
    " FOREIGN KEY (run_id, step_index) REFERENCES steps (run_id, step_index))",
    "INSERT INTO schema_version VALUES (1, '2026-01-01T00:00:00.000Z')",
    "INSERT INTO runs VALUES ('old-run', '1000001', 'Korvantix', 'SUMI-5.7ab', 'Линия 0', 'Петров', '1.4.0',"
    " 'old profile', 'fnv1a64:0000000000000000', '2026-01-02T08:00:00.000Z', '2026-01-02T08:00:30.000Z', 'fail', 0)",
    "INSERT INTO steps VALUES ('old-run', 0, 'supply', 'supply', 0, 'fail', 'low', '2026-01-02T08:00:00.000Z', 10)",
    "INSERT INTO measurements VALUES ('old-run', 0, 0, 'supply', '9.5', 'V', 11.0, 30.0, 'fail')",
]


def expect(condition, what):
    if not condition:
        FAILED.append(what)
        print("FAILED: " + what, file=sys.stderr)
    return condition


def run(args, timeout=120, user=None):
    if user:
        args = ["runuser", "-u", user, "--"] + args
    return subprocess.run(args, capture_output=True, text=True, timeout=timeout)


class Sqlite:
    def __init__(self, path):
        self.path = path
        self.target = path

    def execute(self, statements):
        with sqlite3.connect(self.path) as db:
            for statement in statements:
                db.execute(statement)

    def rows(self, query):
        with sqlite3.connect(self.path) as db:
            return [tuple(str(v) for v in row) for row in db.execute(query).fetchall()]


class Postgres:
    """A fresh database on the test's own server."""
    count = 0

    def __init__(self, name):
        self.server = os.environ["KTX_TEST_POSTGRES"]
        self.psql = os.path.join(os.environ["KTX_TEST_PG_BIN"], "psql")
        subprocess.run([self.psql, self.server + " dbname=postgres", "-qc", "CREATE DATABASE " + name], check=True)
        self.target = self.server + " dbname=" + name

    def execute(self, statements):
        script = ";\n".join(statements) + ";\n"
        subprocess.run([self.psql, self.target, "-q", "-v", "ON_ERROR_STOP=1", "-1", "-c", script], check=True,
                       capture_output=True)

    def rows(self, query):
        out = subprocess.run([self.psql, self.target, "-AtF", "\t", "-c", query], check=True, capture_output=True,
                             text=True).stdout
        return [tuple(line.split("\t")) for line in out.splitlines()]


def fast_profile(o, work):
    """The built-in profile without its long waits (modem, fix, counters, sensors)."""
    profile = json.loads(run([o.check, "--print-profile"]).stdout)
    for step in profile["steps"]:
        if step["type"] in ("gsm", "gnss", "counters", "clock", "onewire", "rs485"):
            step["skip"] = True
    path = os.path.join(work, "fast-profile.json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(profile, f)
    return path


def scenario(work, serial, faulty):
    path = os.path.join(work, "scenario-%s.json" % serial)
    with open(path, "w", encoding="utf-8") as f:
        json.dump({"serial": serial, "power": 100 if faulty else 555}, f)
    return path


def check_run(o, work, serial, folder, station, target, faulty=False, user=None):
    return run([o.check, "--simulate=" + scenario(work, serial, faulty), "--profile", o.profile, "--report-dir", folder,
                "--station", station, "--operator", "оператор " + station, "--results", target], user=user)


def records(folder):
    return sorted(glob.glob(os.path.join(folder, "*.json")))


def record_keys(folders):
    """(station, serial, start) of every record written: what must be stored, once."""
    keys = []
    for folder in folders:
        for path in records(folder):
            with open(path, encoding="utf-8") as f:
                record = json.load(f)
            keys.append((record["station"], record["device"]["serial"], record["start"]))
    return sorted(keys)


def stored_keys(db):
    return sorted(db.rows("SELECT station, serial, started_at FROM runs"))


def outbox(folder):
    return glob.glob(os.path.join(folder, "results-outbox", "*.json"))


def run_stations(o, work, db, stations, runs_each, during=None):
    """Each station a thread running its trackers one after another, as a line
    does; every tenth tracker fails its supply step."""
    codes = {}
    folders = []

    def station_line(index):
        name = "Станция %d" % (index + 1)
        folder = os.path.join(work, "station-%d" % (index + 1))
        codes[name] = []
        for number in range(runs_each):
            serial = "%d%03d" % (index + 5, number + 1)
            result = check_run(o, work, serial, folder, name, db.target, faulty=number % 10 == 9)
            codes[name].append((serial, result.returncode, result.stderr))

    for index in range(stations):
        folders.append(os.path.join(work, "station-%d" % (index + 1)))
    threads = [threading.Thread(target=station_line, args=(index,)) for index in range(stations)]
    for thread in threads:
        thread.start()
    if during:
        during(folders)
    for thread in threads:
        thread.join()
    return codes, folders


def expect_stations_stored(db, codes, folders, runs):
    written = record_keys(folders)
    expect(len(written) == runs, "%d records written, got %d" % (runs, len(written)))
    stored = stored_keys(db)
    expect(stored == written, "every record stored once: %d stored, %d written, lost %s, twice %s" % (
        len(stored), len(written), sorted(set(written) - set(stored))[:3],
        sorted({k for k in stored if stored.count(k) > 1})[:3]))
    expect(db.rows("SELECT COUNT(DISTINCT run_id) FROM runs") == [(str(runs),)], "run ids are unique")
    for station, results in codes.items():
        for serial, code, stderr in results:
            wanted = (1,) if serial.endswith("0") else (0, 4)
            if not expect(code in wanted, "%s %s exit %d: %s" % (station, serial, code, stderr)):
                return


def expect_history_and_export(o, db, work):
    history = run([o.check, "--history", "5010", "--results", db.target])
    lines = history.stdout.splitlines()
    expect(history.returncode == 0 and len(lines) == 1, "--history lists the one run of 5010: %r %s" % (
        lines, history.stderr))
    expect(lines and lines[0].split("\t")[1:] == ["Станция 1", "оператор Станция 1", "fail", "supply"],
           "the history line names station, operator, outcome and failed step: %r" % lines)
    csv_path = os.path.join(work, "all.csv")
    exported = run([o.check, "--export", csv_path, "--results", db.target, "--from", "2000-01-01", "--to", "2999-12-31"])
    expect(exported.returncode == 0, "--export exits 0: " + exported.stderr)
    measurements = db.rows("SELECT COUNT(*) FROM measurements")[0][0]
    with open(csv_path, encoding="utf-8", newline="") as f:
        rows = f.read().split("\r\n")
    expect(len(rows) - 2 == int(measurements), "one CSV row per measurement: %d rows, %s stored" % (
        len(rows) - 2, measurements))
    none = run([o.check, "--export", csv_path, "--results", db.target, "--from", "2000-01-01", "--to", "2000-01-01"])
    with open(csv_path, encoding="utf-8") as f:
        expect(none.returncode == 0 and f.read().count("\n") == 1, "a day without runs exports the header only")


def expect_same_record_twice_is_one_run(o, db, folder):
    before = db.rows("SELECT COUNT(*) FROM runs")
    first = records(folder)[0]
    os.makedirs(os.path.join(folder, "results-outbox"), exist_ok=True)
    shutil.copy(first, os.path.join(folder, "results-outbox", os.path.basename(first)))
    synced = run([o.check, "--sync", "--report-dir", folder, "--results", db.target])
    expect(synced.returncode == 0 and not outbox(folder), "--sync empties the outbox: " + synced.stderr)
    expect(db.rows("SELECT COUNT(*) FROM runs") == before, "a record stored again adds no run")


def expect_migration_from_version_1(o, db, work):
    db.execute(SCHEMA_V1)
    history = run([o.check, "--history", "1000001", "--results", db.target])
    expect(history.returncode == 0, "a version 1 database is migrated: %d %s" % (history.returncode, history.stderr))
    expect(history.stdout.startswith("2026-01-02T08:00:00.000Z\tЛиния 0\tПетров\tfail\tsupply"),
           "the run stored at version 1 is kept: %r" % history.stdout)
    expect(db.rows("SELECT MAX(version) FROM schema_version") == [("2",)], "the schema is at version 2")
    expect(db.rows("SELECT COUNT(*) FROM measurements WHERE run_id = 'old-run'") == [("1",)], "its measurement is kept")
    folder = os.path.join(work, "after-migration")
    stored = check_run(o, work, "1000001", folder, "Линия 2", db.target)
    expect(stored.returncode == 0, "a run is stored after the migration: " + stored.stderr)
    lines = run([o.check, "--history", "1000001", "--results", db.target]).stdout.splitlines()
    expect(len(lines) == 2 and "Линия 2" in lines[0], "the new run comes first: %r" % lines)
    file_column = db.rows("SELECT record_file FROM runs WHERE station = 'Линия 2'")
    expect(file_column == [(os.path.realpath(records(folder)[0]),)], "the new run keeps its record file: %r" % file_column)


def expect_refused(o, work, name, target, message, user=None, folder=None):
    """A passing tracker, a database that cannot take its run: the record is
    written, the run waits in the outbox, the message says why, exit 4."""
    folder = folder or os.path.join(work, "refused-" + name)
    result = check_run(o, work, "2000001", folder, "Линия 9", target, user=user)
    expect(result.returncode == 4, "%s: exit 4, got %d: %s" % (name, result.returncode, result.stderr))
    expect(message in result.stderr, "%s: the message says %r: %s" % (name, message, result.stderr))
    expect(len(records(folder)) == 1, "%s: the JSON record is written" % name)
    expect(len(outbox(folder)) == 1 and "waits in the outbox" in result.stderr, "%s: the run waits in the outbox" % name)
    return result


def expect_bad_sqlite(o, work):
    newer = Sqlite(os.path.join(work, "newer.sqlite"))
    newer.execute(["CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied_at TEXT NOT NULL)",
                   "INSERT INTO schema_version VALUES (99, '2030-01-01T00:00:00.000Z')"])
    expect_refused(o, work, "newer-schema", newer.target, "has schema version 99; this program knows versions up to 2")
    expect(newer.rows("SELECT version FROM schema_version") == [("99",)], "a newer database is left as it was")
    history = run([o.check, "--history", "1", "--results", newer.target])
    expect(history.returncode == 4 and "schema version 99" in history.stderr, "--history on it exits 4")

    # Read-only: as root every file is writable, so the check runs as nobody.
    folder = os.path.join(work, "read-only")
    os.makedirs(folder)
    read_only = Sqlite(os.path.join(folder, "read-only.sqlite"))
    made = check_run(o, work, "2000003", os.path.join(work, "made"), "Линия 9", read_only.target)
    expect(made.returncode == 0, "the database to make read-only is made: " + made.stderr)
    os.chmod(read_only.path, 0o444)
    user = None
    if os.geteuid() == 0:
        user = "nobody"
        shutil.chown(folder, "nobody")
        os.chmod(work, 0o755)
    expect_refused(o, work, "read-only", read_only.target, "readonly database", user=user, folder=folder)

    # A failing tracker keeps its own exit status.
    failing = check_run(o, work, "2000002", os.path.join(work, "failing"), "Линия 9", newer.target, faulty=True)
    expect(failing.returncode == 1, "a failed tracker exits 1 whatever the database: %d" % failing.returncode)

    usage = run([o.check, "--export", os.path.join(work, "x.csv"), "--from", "2026-02-30"])
    expect(usage.returncode == 2 and "2026-02-30" in usage.stderr, "an impossible date is a usage error")


def group_sqlite(o, work):
    db = Sqlite(os.path.join(work, "line.sqlite"))
    started = time.monotonic()
    runs = 200 // o.scale
    codes, folders = run_stations(o, work, db, 1, runs)
    print("%d runs from one station into SQLite: %.1f s, %d bytes (%.0f bytes a run)" % (
        runs, time.monotonic() - started, os.path.getsize(db.path), os.path.getsize(db.path) / runs))
    expect_stations_stored(db, codes, folders, runs)
    expect_history_and_export(o, db, work)
    expect_same_record_twice_is_one_run(o, db, folders[0])
    expect_migration_from_version_1(o, Sqlite(os.path.join(work, "v1.sqlite")), work)
    expect_bad_sqlite(o, work)
    # The default: a file in the report folder.
    folder = os.path.join(work, "default")
    result = run([o.check, "--simulate", "--profile", o.profile, "--report-dir", folder])
    expect(result.returncode == 0 and os.path.isfile(os.path.join(folder, "korvantix-results.sqlite")),
           "without --results the runs go to korvantix-results.sqlite in the report folder: " + result.stderr)


def group_postgres(o, work):
    server = os.environ["KTX_TEST_POSTGRES"]
    db = Postgres("line")
    started = time.monotonic()
    runs_each = 50 // o.scale
    codes, folders = run_stations(o, work, db, 4, runs_each)
    print("4 stations x %d runs into PostgreSQL at once: %.1f s" % (runs_each, time.monotonic() - started))
    expect_stations_stored(db, codes, folders, 4 * runs_each)
    expect_history_and_export(o, db, work)
    expect_same_record_twice_is_one_run(o, db, folders[1])
    size = db.rows("SELECT pg_total_relation_size('runs') + pg_total_relation_size('steps')"
                   " + pg_total_relation_size('measurements')")[0][0]
    print("PostgreSQL: %s bytes for %d runs (%.0f bytes a run)" % (size, 4 * runs_each, int(size) / (4 * runs_each)))

    # The server stops for part of the line's run and comes back.
    outage_db = Postgres("outage")
    outage_work = os.path.join(work, "outage")
    os.makedirs(outage_work)

    def outage(folders):
        def written():
            return sum(len(records(folder)) for folder in folders)
        deadline = time.monotonic() + 120
        while written() < 50 // o.scale and time.monotonic() < deadline:
            time.sleep(0.1)
        subprocess.run(os.environ["KTX_TEST_PG_STOP"], shell=True, check=True)
        down_from = written()
        while written() < down_from + 40 // o.scale and time.monotonic() < deadline:
            time.sleep(0.1)
        subprocess.run(os.environ["KTX_TEST_PG_START"], shell=True, check=True)
        print("server stopped from record %d to %d" % (down_from, written()))

    codes, folders = run_stations(o, outage_work, outage_db, 4, runs_each, during=outage)
    waited = sum(1 for results in codes.values() for _, code, stderr in results if "waits in the outbox" in stderr)
    expect(waited >= 20 // o.scale, "runs during the outage wait in the outbox: %d" % waited)
    for folder in folders:
        synced = run([o.check, "--sync", "--report-dir", folder, "--results", outage_db.target])
        expect(synced.returncode == 0, "--sync stores what waits: " + synced.stderr)
        expect(not outbox(folder), "the outbox is empty after --sync")
    expect_stations_stored(outage_db, {}, folders, 4 * runs_each)

    expect_migration_from_version_1(o, Postgres("v1"), work)
    expect_refused(o, work, "wrong-conninfo", "hostx=nowhere dbname=x", 'invalid connection option "hostx"')
    wrong = server.replace("password=", "password=wrong")
    refused = expect_refused(o, work, "refused-password", wrong + " dbname=line", "password authentication failed")
    expect("password=***" in refused.stderr and "password=wrong" not in refused.stderr,
           "the password is not shown: " + refused.stderr)
    expect_refused(o, work, "no-server", "postgresql://ktx@127.0.0.1:1/line", "Connection refused")


GROUPS = {"sqlite": group_sqlite, "postgres": group_postgres}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("group", choices=sorted(GROUPS))
    parser.add_argument("--check", required=True)
    parser.add_argument("--quick", dest="scale", action="store_const", const=5, default=1,
                        help="a fifth of the runs (the sanitizer build)")
    parser.add_argument("--full", dest="scale", action="store_const", const=1)
    o = parser.parse_args()
    work = tempfile.mkdtemp(prefix="ktx-results-")
    try:
        o.profile = fast_profile(o, work)
        GROUPS[o.group](o, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if FAILED else 0


if __name__ == "__main__":
    sys.exit(main())
