#include "results/Outbox.h"

#include <dirent.h>

#include <algorithm>

namespace ktx::results {

std::string outboxFolder(const std::string& reportDir) { return reportDir + "/" + kOutboxFolder; }

WriteResult keepInOutbox(const std::string& reportDir, const std::string& recordPath, const std::string& json)
{
    const std::string folder = outboxFolder(reportDir);
    if (WriteResult made = ensureDirectory(folder); !made)
        return made;
    const size_t slash = recordPath.find_last_of('/');
    const std::string name = slash == std::string::npos ? recordPath : recordPath.substr(slash + 1);
    return replaceFile(folder + "/" + name, json);
}

std::vector<std::string> outboxEntries(const std::string& reportDir)
{
    std::vector<std::string> entries;
    const std::string folder = outboxFolder(reportDir);
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return entries;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        // Only finished copies: the writer's temporary files end otherwise.
        if (name.size() > 5 && name.ends_with(".json") && name[0] != '.')
            entries.push_back(folder + "/" + name);
    }
    ::closedir(listing);
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace ktx::results
