#pragma once
// A Windows profile (INI) file kept as its lines, so that writing our keys
// leaves everything else in the file (foreign keys and sections, comments,
// blank lines, their order) as it was. Section and key names compare without
// regard to ASCII case, as Windows does; values are bytes (Windows-1251).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileWriter.h"
#include "base/RegularFile.h"

namespace ktx {

class ProfileFile {
public:
    // A larger file is not a settings file we wrote: it reads as missing.
    static constexpr size_t kMaxFileBytes = 1 << 20;

    // Splits at LF, dropping a CR before it; the last line needs no line end.
    static ProfileFile parse(std::string_view bytes);
    // Missing, unreadable, not a regular file or too large: an empty profile.
    // how, when given, says which (errorNumber: the system's errno, or 0).
    struct LoadResult {
        FileReadResult result = FileReadResult::Ok;
        int errorNumber = 0;
    };
    static ProfileFile load(const std::string& path, LoadResult* how = nullptr);

    // The value with surrounding blanks trimmed; nullopt when the section or
    // the key is missing. The first matching section and key win.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    // The keys of the first matching section, in file order; none when the
    // section is missing.
    std::vector<std::string> keys(std::string_view section) const;
    // Replaces the value in place, or appends the key at the end of its
    // section, or appends the section at the end. CR, LF and NUL are dropped
    // from all three texts so a value can never start a line of its own.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // Every line ends with CR LF.
    std::string serialize() const;
    // Replaces path whole (temporary file, sync, rename); the file is 0600
    // afterwards, as it holds a PIN and a password. On failure path is
    // untouched.
    WriteResult save(const std::string& path) const;

    const std::vector<std::string>& lines() const { return lines_; }

private:
    struct Range {
        size_t header;  // index of the "[NAME]" line
        size_t end;     // one past the section's last line
    };
    std::optional<Range> findSection(std::string_view section) const;
    std::optional<size_t> findKey(const Range& range, std::string_view key) const;

    std::vector<std::string> lines_;
};

}  // namespace ktx
