#pragma once
// Where the results go: a SQLite file (the default, beside the records) or a
// PostgreSQL server shared by a line's stations.
#include <string>

namespace ktx::results {

enum class Engine { Sqlite, Postgresql };

struct ResultsTarget {
    Engine engine = Engine::Sqlite;
    std::string location;  // the file, or the libpq URL / conninfo as given
};

constexpr const char kDefaultResultsFile[] = "korvantix-results.sqlite";

// "postgresql://…", "postgres://…" and a libpq conninfo ("host=… dbname=…")
// name a server; "sqlite:PATH" or any other text a SQLite file.
ResultsTarget parseResultsTarget(const std::string& text);

// The target for messages: a password in it shown as "***".
std::string shownTarget(const ResultsTarget& target);

// The text the database library connects with. A server connection gives
// up after connectSeconds unless the text sets its own connect_timeout.
std::string connectionText(const ResultsTarget& target, int connectSeconds, std::string& error);

}  // namespace ktx::results
