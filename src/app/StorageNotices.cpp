#include "app/StorageNotices.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "base/TextCodec.h"

namespace ktx {
namespace {

std::string whyNotRead(const ProfileFile::LoadResult& how)
{
    switch (how.result) {
    case FileReadResult::TooLarge:
        return "больше " + std::to_string(ProfileFile::kMaxFileBytes >> 20) + " МиБ";
    case FileReadResult::NotRegular:
        return "это не обычный файл";
    default:
        return std::strerror(how.errorNumber);
    }
}

}  // namespace

StorageNotices::StorageNotices(std::string workDir, LogSink& log)
    : workDir_(std::move(workDir)), settingsPath_(workDir_ + "/" + kSettingsFileName), log_(log)
{
}

void StorageNotices::notice(const std::string& utf8)
{
    notices_.push_back(utf8);
    LogDebug(log_, 0, "%s", cp1251FromUtf8(utf8).c_str());
}

void StorageNotices::checkWorkDir()
{
    if (::faccessat(AT_FDCWD, workDir_.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
        return;
    const int error = errno;
    workDirWritable_ = false;
    notice("В рабочую папку " + workDir_ + " нельзя записывать (" + std::strerror(error)
           + "): настройки и журналы не сохраняются. Запустите программу из папки, доступной для записи.");
    // Its files would each fail the same way: said once, here.
    log_.workDirUnwritableSaid();
}

SettingsValues StorageNotices::loadSettings(std::vector<SettingsSection> sections)
{
    ProfileFile::LoadResult how;
    SettingsValues values = readSettings(settingsPath_, std::move(sections), &how);
    const bool missing = how.result == FileReadResult::CannotOpen && how.errorNumber == ENOENT;
    if (how.result == FileReadResult::Ok || missing || settingsKeptAsTheyAre_)
        return values;
    settingsKeptAsTheyAre_ = true;
    notice("Файл настроек " + settingsPath_ + " не прочитан (" + whyNotRead(how)
           + "): он оставлен как есть, действуют настройки по умолчанию, изменения не сохраняются.");
    return values;
}

void StorageNotices::saveSettings(const SettingsValues& values)
{
    if (settingsKeptAsTheyAre_ || !workDirWritable_)
        return;  // already said; writing would lose the file's other content
    const WriteResult written = writeSettings(settingsPath_, values);
    if (!written)
        notice("Настройки не сохранены: " + written.error);
}

std::string StorageNotices::exitMessage() const
{
    std::string text;
    for (const std::string& line : notices_) {
        if (!text.empty())
            text += "\n\n";
        text += line;
    }
    return text;
}

}  // namespace ktx
