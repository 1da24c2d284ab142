#include "app/StreamLog.h"

#include "base/FileWriter.h"
#include "base/SafeFileName.h"

namespace ktx {

StreamLog::StreamLog(std::string rootDir, std::function<std::string()> stampText)
    : rootDir_(std::move(rootDir)), stampText_(std::move(stampText))
{
}

WriteResult StreamLog::append(std::string_view directory, std::string_view stem, std::string_view serialText,
                              std::string_view fields) const
{
    const std::string folder = rootDir_ + "/" + safeFileComponent(directory);
    if (WriteResult made = ensureDirectory(folder); !made)
        return made;
    const std::string path = folder + "/" + safeFileComponent(stem) + "-" + serialFileComponent(serialText) + ".txt";
    std::string line = stampText_ ? stampText_() : std::string();
    line += " | ";
    line += fields;
    return appendToFile(path, line);
}

WriteResult StreamLog::appendText(std::string_view file, std::string_view text) const
{
    std::string line(text);
    line += "\r\n";
    return appendToFile(rootDir_ + "/" + safeFileComponent(file), line);
}

}  // namespace ktx
