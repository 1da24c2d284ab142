#include "app/ProfileFile.h"

#include "base/RegularFile.h"

namespace ktx {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// "[NAME]" (blanks allowed around it and inside the brackets): the name.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

bool isComment(std::string_view line)
{
    line = trimmed(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line)
{
    if (isComment(line))
        return std::nullopt;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return KeyLine{trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1))};
}

std::string withoutLineBreaks(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n' && c != '\0')
            clean.push_back(c);
    return clean;
}

}  // namespace

ProfileFile ProfileFile::parse(std::string_view bytes)
{
    ProfileFile file;
    while (!bytes.empty()) {
        const size_t lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        file.lines_.emplace_back(line);
        if (lf == std::string_view::npos)
            break;
        bytes.remove_prefix(lf + 1);
    }
    return file;
}

ProfileFile ProfileFile::load(const std::string& path, LoadResult* how)
{
    LoadResult loaded;
    std::string bytes;
    loaded.result = readRegularFile(path, kMaxFileBytes, bytes, &loaded.errorNumber);
    if (how)
        *how = loaded;
    return loaded.result == FileReadResult::Ok ? parse(bytes) : ProfileFile{};
}

std::optional<ProfileFile::Range> ProfileFile::findSection(std::string_view section) const
{
    for (size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i]);
        if (!name || !sameName(*name, section))
            continue;
        size_t end = i + 1;
        while (end < lines_.size() && !sectionName(lines_[end]))
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> ProfileFile::findKey(const Range& range, std::string_view key) const
{
    for (size_t i = range.header + 1; i < range.end; ++i) {
        const auto entry = keyLine(lines_[i]);
        if (entry && sameName(entry->key, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileFile::get(std::string_view section, std::string_view key) const
{
    const auto range = findSection(section);
    if (!range)
        return std::nullopt;
    const auto index = findKey(*range, key);
    if (!index)
        return std::nullopt;
    return std::string(keyLine(lines_[*index])->value);
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const
{
    std::vector<std::string> names;
    if (const auto range = findSection(section))
        for (size_t i = range->header + 1; i < range->end; ++i)
            if (const auto entry = keyLine(lines_[i]))
                names.emplace_back(entry->key);
    return names;
}

void ProfileFile::set(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string cleanSection = withoutLineBreaks(trimmed(section));
    const std::string cleanKey = withoutLineBreaks(trimmed(key));
    const std::string line = cleanKey + "=" + withoutLineBreaks(value);

    const auto range = findSection(cleanSection);
    if (!range) {
        // Keep a blank line between the old content and the new section.
        if (!lines_.empty() && !trimmed(lines_.back()).empty())
            lines_.emplace_back();
        lines_.push_back("[" + cleanSection + "]");
        lines_.push_back(line);
        return;
    }
    if (const auto index = findKey(*range, cleanKey)) {
        lines_[*index] = line;
        return;
    }
    // After the section's last non-blank line, so blank separators stay
    // in front of the next section.
    size_t at = range->end;
    while (at > range->header + 1 && trimmed(lines_[at - 1]).empty())
        --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
}

std::string ProfileFile::serialize() const
{
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

WriteResult ProfileFile::save(const std::string& path) const
{
    return replaceFile(path, serialize(), 0600, ModeRule::Enforce);
}

}  // namespace ktx
