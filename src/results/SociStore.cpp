// The results database through SOCI: one set of statements for its sqlite3
// and postgresql back ends (standard SQL, ON CONFLICT for the idempotent
// insert, both engines' transactional DDL for the migrations).
#include "results/ResultsStore.h"

#include <soci/soci.h>

#include <chrono>
#include <map>

#include "check/Record.h"

namespace ktx::results {
namespace {

// Each entry brings the schema from the version before it to its own.
// Never edit one that was released: add the next.
const std::vector<std::vector<const char*>> kMigrations = {
    {
        "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied_at TEXT NOT NULL)",
        "CREATE TABLE runs (run_id TEXT PRIMARY KEY, serial TEXT NOT NULL, description TEXT NOT NULL,"
        " firmware TEXT NOT NULL, station TEXT NOT NULL, operator TEXT NOT NULL, program_version TEXT NOT NULL,"
        " profile_name TEXT NOT NULL, profile_hash TEXT NOT NULL, started_at TEXT NOT NULL, ended_at TEXT NOT NULL,"
        " outcome TEXT NOT NULL, interrupted INTEGER NOT NULL)",
        "CREATE INDEX runs_by_serial ON runs (serial, started_at)",
        "CREATE TABLE steps (run_id TEXT NOT NULL REFERENCES runs (run_id), step_index INTEGER NOT NULL,"
        " name TEXT NOT NULL, type TEXT NOT NULL, optional INTEGER NOT NULL, outcome TEXT NOT NULL,"
        " message TEXT NOT NULL, started_at TEXT NOT NULL, duration_ms BIGINT NOT NULL,"
        " PRIMARY KEY (run_id, step_index))",
        "CREATE TABLE measurements (run_id TEXT NOT NULL, step_index INTEGER NOT NULL,"
        " measurement_index INTEGER NOT NULL, name TEXT NOT NULL, value TEXT, units TEXT NOT NULL,"
        " low DOUBLE PRECISION, high DOUBLE PRECISION, outcome TEXT NOT NULL,"
        " PRIMARY KEY (run_id, step_index, measurement_index),"
        " FOREIGN KEY (run_id, step_index) REFERENCES steps (run_id, step_index))",
    },
    {
        // Where the record was written: the window opens its HTML report.
        "ALTER TABLE runs ADD COLUMN record_file TEXT",
        // --export selects by start time.
        "CREATE INDEX runs_by_start ON runs (started_at)",
    },
};
static_assert(ResultsStore::kSchemaVersion == 2, "a migration per schema version");

// A failed migration is tried again: another station may have created or
// migrated the schema in the same moment, and its commit wins.
constexpr int kMigrationTries = 5;

// The database library's message on one line, without the statement text.
std::string plainMessage(const soci::soci_error& failure)
{
    std::string text = failure.get_error_message();
    if (const size_t statement = text.find(" while executing \""); statement != std::string::npos)
        text.erase(statement);
    if (const size_t scope = text.find(": "); scope != std::string::npos && text.substr(0, scope).find("::") != std::string::npos)
        text.erase(0, scope + 2);
    std::string out;
    for (const char c : text) {
        const bool space = c == '\n' || c == '\r' || c == '\t' || c == ' ';
        if (space && (out.empty() || out.back() == ' '))
            continue;
        out += space ? ' ' : c;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

std::string nowIso()
{
    using namespace std::chrono;
    return check::isoTime(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

soci::indicator presence(bool present) { return present ? soci::i_ok : soci::i_null; }

}  // namespace

struct ResultsStore::Session {
    soci::session sql;
};

bool resultsDatabaseBuilt() { return true; }

ResultsStore::ResultsStore() = default;
ResultsStore::~ResultsStore() = default;

namespace {

// The stored schema version; 0 for a database without the schema.
int storedVersion(soci::session& sql)
{
    try {
        int version = 0;
        soci::indicator known = soci::i_null;
        sql << "SELECT MAX(version) FROM schema_version", soci::into(version, known);
        return known == soci::i_ok ? version : 0;
    } catch (const soci::soci_error&) {
        return 0;
    }
}

bool migrate(soci::session& sql, const std::string& shown, std::string& error)
{
    std::string lastFailure;
    for (int attempt = 0; attempt < kMigrationTries; ++attempt) {
        const int version = storedVersion(sql);
        if (version > ResultsStore::kSchemaVersion) {
            error = "results database " + shown + " has schema version " + std::to_string(version) +
                    "; this program knows versions up to " + std::to_string(ResultsStore::kSchemaVersion) +
                    " (a newer program made it: use that one)";
            return false;
        }
        if (version == ResultsStore::kSchemaVersion)
            return true;
        try {
            soci::transaction migration(sql);
            const std::string appliedAt = nowIso();
            for (int next = version + 1; next <= ResultsStore::kSchemaVersion; ++next) {
                for (const char* statement : kMigrations[next - 1])
                    sql << statement;
                sql << "INSERT INTO schema_version (version, applied_at) VALUES (:version, :at)", soci::use(next),
                    soci::use(appliedAt);
            }
            migration.commit();
            return true;
        } catch (const soci::soci_error& failure) {
            lastFailure = plainMessage(failure);
        }
    }
    error = "results database " + shown + ": the schema could not be created or migrated: " + lastFailure;
    return false;
}

}  // namespace

bool ResultsStore::open(const ResultsTarget& target, std::string& error)
{
    shown_ = shownTarget(target);
    session_.reset();
    const std::string connection = connectionText(target, kConnectSeconds, error);
    if (!error.empty())
        return (error = "results database: " + error), false;
    auto opened = std::make_unique<Session>();
    try {
        // The back end is loaded by name on first use: linked, PostgreSQL's
        // client library and the two dozen it needs (Kerberos, LDAP, TLS)
        // were loaded and bound at every start of the window and the check.
        opened->sql.open(target.engine == Engine::Sqlite ? "sqlite3" : "postgresql", connection);
    } catch (const soci::soci_error& failure) {
        error = "results database " + shown_ + " could not be opened: " + plainMessage(failure);
        return false;
    }
    if (!migrate(opened->sql, shown_, error))
        return false;
    session_ = std::move(opened);
    return true;
}

Stored ResultsStore::store(const RunRows& run, const std::string& recordFile, std::string& error)
{
    if (!session_)
        return (error = "results database " + shown_ + " is not open"), Stored::Failed;
    soci::session& sql = session_->sql;
    try {
        soci::transaction storing(sql);
        // The insert comes first: a run another station stored meanwhile
        // waits on its commit here and is then left alone.
        const int interrupted = run.interrupted ? 1 : 0;
        soci::statement insertRun = (sql.prepare <<
            "INSERT INTO runs (run_id, serial, description, firmware, station, operator, program_version,"
            " profile_name, profile_hash, started_at, ended_at, outcome, interrupted, record_file)"
            " VALUES (:id, :serial, :description, :firmware, :station, :operator, :version, :profile, :hash,"
            " :start, :end, :outcome, :interrupted, :file) ON CONFLICT (run_id) DO NOTHING",
            soci::use(run.runId), soci::use(run.serial), soci::use(run.description), soci::use(run.firmware),
            soci::use(run.station), soci::use(run.operatorName), soci::use(run.programVersion),
            soci::use(run.profileName), soci::use(run.profileHash), soci::use(run.start), soci::use(run.end),
            soci::use(run.outcome), soci::use(interrupted), soci::use(recordFile));
        insertRun.execute(true);
        if (insertRun.get_affected_rows() == 0) {
            storing.rollback();
            return Stored::AlreadyThere;
        }

        StepRow step;
        int stepOptional = 0;
        soci::statement insertStep = (sql.prepare <<
            "INSERT INTO steps (run_id, step_index, name, type, optional, outcome, message, started_at, duration_ms)"
            " VALUES (:id, :index, :name, :type, :optional, :outcome, :message, :start, :duration)",
            soci::use(run.runId), soci::use(step.index), soci::use(step.name), soci::use(step.type),
            soci::use(stepOptional), soci::use(step.outcome), soci::use(step.message), soci::use(step.start),
            soci::use(step.durationMs));
        for (const StepRow& each : run.steps) {
            step = each;
            stepOptional = step.optional ? 1 : 0;
            insertStep.execute(true);
        }

        MeasurementRow m;
        std::string value;
        double low = 0, high = 0;
        soci::indicator valueKnown = soci::i_null, lowKnown = soci::i_null, highKnown = soci::i_null;
        soci::statement insertMeasurement = (sql.prepare <<
            "INSERT INTO measurements (run_id, step_index, measurement_index, name, value, units, low, high, outcome)"
            " VALUES (:id, :step, :index, :name, :value, :units, :low, :high, :outcome)",
            soci::use(run.runId), soci::use(m.stepIndex), soci::use(m.index), soci::use(m.name),
            soci::use(value, valueKnown), soci::use(m.units), soci::use(low, lowKnown), soci::use(high, highKnown),
            soci::use(m.outcome));
        for (const MeasurementRow& each : run.measurements) {
            m = each;
            value = m.value.value_or("");
            valueKnown = presence(m.value.has_value());
            low = m.low.value_or(0);
            lowKnown = presence(m.low.has_value());
            high = m.high.value_or(0);
            highKnown = presence(m.high.has_value());
            insertMeasurement.execute(true);
        }
        storing.commit();
        return Stored::Added;
    } catch (const soci::soci_error& failure) {
        error = "results database " + shown_ + ": the run could not be stored: " + plainMessage(failure);
        return Stored::Failed;
    }
}

bool ResultsStore::history(const std::string& serial, std::vector<HistoryRun>& runs, std::string& error)
{
    runs.clear();
    if (!session_)
        return (error = "results database " + shown_ + " is not open"), false;
    soci::session& sql = session_->sql;
    try {
        HistoryRun run;
        int interrupted = 0;
        soci::indicator fileKnown = soci::i_null;
        soci::statement readRuns = (sql.prepare <<
            "SELECT run_id, started_at, station, operator, outcome, interrupted, record_file FROM runs"
            " WHERE serial = :serial ORDER BY started_at DESC, run_id",
            soci::use(serial), soci::into(run.runId), soci::into(run.start), soci::into(run.station),
            soci::into(run.operatorName), soci::into(run.outcome), soci::into(interrupted),
            soci::into(run.recordFile, fileKnown));
        readRuns.execute();
        std::map<std::string, size_t> byId;
        while (readRuns.fetch()) {
            if (fileKnown != soci::i_ok)
                run.recordFile.clear();
            run.interrupted = interrupted != 0;
            byId[run.runId] = runs.size();
            runs.push_back(run);
        }
        std::string runId;
        StepName step;
        soci::statement readFailed = (sql.prepare <<
            "SELECT s.run_id, s.name, s.type FROM steps s JOIN runs r ON r.run_id = s.run_id"
            " WHERE r.serial = :serial AND s.outcome IN ('fail', 'error') ORDER BY s.run_id, s.step_index",
            soci::use(serial), soci::into(runId), soci::into(step.name), soci::into(step.type));
        readFailed.execute();
        while (readFailed.fetch())
            if (const auto found = byId.find(runId); found != byId.end())
                runs[found->second].failedSteps.push_back(step);
        return true;
    } catch (const soci::soci_error& failure) {
        error = "results database " + shown_ + ": the runs could not be read: " + plainMessage(failure);
        return false;
    }
}

bool ResultsStore::measurements(const std::string& fromIso, const std::string& toIso, std::vector<ExportRow>& rows,
    std::string& error)
{
    rows.clear();
    if (!session_)
        return (error = "results database " + shown_ + " is not open"), false;
    soci::session& sql = session_->sql;
    try {
        ExportRow row;
        std::string value;
        double low = 0, high = 0;
        soci::indicator valueKnown = soci::i_null, lowKnown = soci::i_null, highKnown = soci::i_null;
        soci::statement read = (sql.prepare <<
            "SELECT r.run_id, r.serial, r.station, r.operator, r.started_at, r.outcome, s.name, s.type, s.outcome,"
            " m.name, m.value, m.units, m.low, m.high, m.outcome"
            " FROM measurements m JOIN steps s ON s.run_id = m.run_id AND s.step_index = m.step_index"
            " JOIN runs r ON r.run_id = m.run_id"
            " WHERE r.started_at >= :from AND r.started_at <= :to"
            " ORDER BY r.started_at, r.run_id, m.step_index, m.measurement_index",
            soci::use(fromIso), soci::use(toIso), soci::into(row.runId), soci::into(row.serial),
            soci::into(row.station), soci::into(row.operatorName), soci::into(row.runStart), soci::into(row.runOutcome),
            soci::into(row.stepName), soci::into(row.stepType), soci::into(row.stepOutcome), soci::into(row.name),
            soci::into(value, valueKnown), soci::into(row.units), soci::into(low, lowKnown),
            soci::into(high, highKnown), soci::into(row.outcome));
        read.execute();
        while (read.fetch()) {
            ExportRow out = row;
            out.value = valueKnown == soci::i_ok ? std::optional(value) : std::nullopt;
            out.low = lowKnown == soci::i_ok ? std::optional(low) : std::nullopt;
            out.high = highKnown == soci::i_ok ? std::optional(high) : std::nullopt;
            rows.push_back(std::move(out));
        }
        return true;
    } catch (const soci::soci_error& failure) {
        error = "results database " + shown_ + ": the measurements could not be read: " + plainMessage(failure);
        return false;
    }
}

}  // namespace ktx::results
