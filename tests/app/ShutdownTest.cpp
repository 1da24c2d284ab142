// The built program, run as a technician would: help and wrong arguments,
// and SIGTERM, SIGINT and SIGHUP ending it the normal way with its settings
// saved.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "base/Version.h"

namespace {

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/korvantix-control");
}

QProcessEnvironment offscreenEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

// A signal's bit in one of the masks of /proc/<pid>/status ("SigCgt:",
// "SigIgn:").
bool signalInMask(qint64 pid, const QByteArray& mask, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(mask)) {
            const qulonglong bits = line.mid(mask.size()).trimmed().toULongLong(nullptr, 16);
            return bits & (1ULL << (signalNumber - 1));
        }
    }
    return false;
}

// The program is ready for a signal once its handler is in place.
bool catchesSignal(qint64 pid, int signalNumber)
{
    return signalInMask(pid, "SigCgt:", signalNumber);
}

struct Finished {
    int exitCode;
    QString out;
    QString err;
};

Finished runToEnd(const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(offscreenEnvironment());
    process.start(programPath(), arguments);
    EXPECT_TRUE(process.waitForFinished(5000)) << arguments.join(' ').toStdString();
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(ShutdownTest, HelpAndVersionGoToStandardOutputWithExitCodeZero)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const Finished run = runToEnd({option});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: korvantix-control "))) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral("--simulate=FILE")));
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
    const Finished version = runToEnd({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("korvantix-control " KTX_VERSION "\n"));
}

TEST(ShutdownTest, AScenarioThatCannotBeReadSaysWhy)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bad = dir.filePath(QStringLiteral("bad.json"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"faults": {"silent": 2}})");
    file.close();
    const std::pair<QString, QString> cases[] = {
        {dir.filePath(QStringLiteral("missing.json")),
         "korvantix-control: " + dir.filePath(QStringLiteral("missing.json")) + ": No such file or directory\n"},
        {dir.path(), "korvantix-control: " + dir.path() + ": not a regular file\n"},
        {bad, "korvantix-control: " + bad + ": faults.silent: expected a number from 0 to 1\n"},
    };
    for (const auto& [path, message] : cases) {
        const Finished run = runToEnd({"--simulate=" + path});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.toStdString(), message.toStdString());
    }
}

TEST(ShutdownTest, WrongArgumentsAreNamedWithAPointerToTheHelpAndExitCodeTwo)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    const std::pair<QStringList, QString> cases[] = {
        {{QStringLiteral("--bogus")}, QStringLiteral("unknown option '--bogus'")},
        {{QStringLiteral("foo")}, QStringLiteral("unexpected argument 'foo'")},
        {{QStringLiteral("--simulate=")}, QStringLiteral("missing scenario file after '--simulate='")},
        {{QStringLiteral("--help"), QStringLiteral("--simulate")},
         QStringLiteral("unexpected argument '--simulate' (one option at a time)")},
    };
    for (const auto& [arguments, message] : cases) {
        const Finished run = runToEnd(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.err, "korvantix-control: " + message + "\nTry 'korvantix-control --help' for more information.\n");
        EXPECT_TRUE(run.out.isEmpty());
    }
}

// Without a display the program says so in one line and exits 1, instead of
// Qt's abort.
TEST(ShutdownTest, NoDisplayIsOneLineAndExitCodeOne)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::pair<QString, QString> displays[] = {
        {QString(), QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set")},
        {QStringLiteral(":97"), QStringLiteral("the display :97 can't be opened")},
    };
    for (const auto& [display, reason] : displays) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        if (!display.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), display);
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setProcessEnvironment(environment);
        process.start(programPath(), {QStringLiteral("--simulate")});
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()),
                  "korvantix-control: no graphical display found (" + reason +
                      "); the window needs one (korvantix-check tests trackers without one)\n");
        EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "nothing written without a window";
    }
}

// Starts the program on the simulator in an empty directory, signals it once
// it is ready, and checks it ended normally with a complete settings file.
// Starts the program on the simulator in dir, sends the signal once its
// handler is in place, and waits up to five seconds for the end.
void signalOnceReady(QProcess& process, const QString& dir, int signalNumber)
{
    process.setWorkingDirectory(dir);
    process.setProcessEnvironment(offscreenEnvironment());
    process.start(programPath(), {QStringLiteral("--simulate")});
    ASSERT_TRUE(process.waitForStarted(5000));

    QDeadlineTimer settle(5000);
    while (!catchesSignal(process.processId(), signalNumber) && !settle.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(catchesSignal(process.processId(), signalNumber));
    ::kill(static_cast<pid_t>(process.processId()), signalNumber);
    ASSERT_TRUE(process.waitForFinished(5000)) << "still running 5 s after the signal";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

void runUntilSignalled(int signalNumber)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess process;
    signalOnceReady(process, dir.path(), signalNumber);

    const QString path = dir.filePath(QStringLiteral("Korvantix_control.ini"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList sections;
    QStringList keys;
    for (QByteArray line : file.readAll().split('\n')) {
        line = line.trimmed();
        if (line.startsWith('['))
            sections << QString::fromLatin1(line);
        else if (line.contains('='))
            keys << QString::fromLatin1(line.left(line.indexOf('=')));
    }
    EXPECT_EQ(sections, QStringList({"[CONFIG]", "[GSM]", "[485]"}));
    EXPECT_EQ(keys, QStringList({"AutoStart", "PIN", "apnapn", "apnusr", "apnpwd", "ip", "Port", "telnum", "sms",
                                 "ReadGSMAuto", "LLSAddr1", "LLSAddr2", "LLSAddr3", "LLSAddr4", "LLSAddr5",
                                 "LLSAddr6", "LLSAddr7", "LLSAddr8"}));
    struct stat info = {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(ShutdownTest, TermIntAndHangUpCloseTheWindowAndSaveTheSettings)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        runUntilSignalled(signalNumber);
    }
}

// What the closing notice would say goes to standard error: no message box
// waits for a button nobody is there to press.
TEST(ShutdownTest, AfterASignalTheClosingNoticeIsPrintedNotShown)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    for (int signalNumber : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        // Too large to be read: kept as it is, and said at exit.
        QFile settings(dir.filePath(QStringLiteral("Korvantix_control.ini")));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray(2 << 20, ';'));
        settings.close();
        QProcess process;
        signalOnceReady(process, dir.path(), signalNumber);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        const QString name = signalNumber == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGHUP");
        EXPECT_TRUE(err.contains(QStringLiteral("korvantix-control: ") + name + QStringLiteral(": Файл настроек ")))
            << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("не прочитан (больше 1 МиБ)"))) << err.toStdString();
        EXPECT_EQ(QFileInfo(settings).size(), 2 << 20) << "the file is left as it was";
    }
}

TEST(ShutdownTest, UnderNohupTheHangUpStaysIgnored)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    const QString nohup = QStandardPaths::findExecutable(QStringLiteral("nohup"));
    if (nohup.isEmpty())
        GTEST_SKIP() << "no nohup";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(offscreenEnvironment());
    process.start(nohup, {programPath(), QStringLiteral("--simulate")});
    ASSERT_TRUE(process.waitForStarted(5000));
    QDeadlineTimer settle(5000);
    while (!catchesSignal(process.processId(), SIGTERM) && !settle.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(catchesSignal(process.processId(), SIGTERM));
    EXPECT_FALSE(catchesSignal(process.processId(), SIGHUP));
    EXPECT_TRUE(signalInMask(process.processId(), "SigIgn:", SIGHUP));
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
}

// Under a file-size limit (ulimit -f) the settings cannot be written: that is
// a write error, not SIGXFSZ killing the window, and no temporary stays. One
// that a killed run left beside the settings is gone once the window starts.
TEST(ShutdownTest, AFileSizeLimitIsAWriteErrorAndLeavesNoTemporary)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted(5000));
    const qint64 gonePid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(5000));
    const QString stale = dir.filePath(QStringLiteral("Korvantix_control.ini.tmp-%1-0").arg(gonePid));
    QFile planted(stale);
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.write("[CONFIG]\nAutoSt");
    planted.close();
    const timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, stale.toLocal8Bit().constData(), anHourAgo, 0), 0);

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(offscreenEnvironment());
    // As a shell with "ulimit -f" starts it: SIGXFSZ at its default.
    process.setChildProcessModifier([] {
        const rlimit small{100, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::signal(SIGXFSZ, SIG_DFL);
    });
    process.start(programPath(), {QStringLiteral("--simulate")});
    ASSERT_TRUE(process.waitForStarted(5000));
    QDeadlineTimer settle(5000);
    while (!catchesSignal(process.processId(), SIGTERM) && !settle.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(catchesSignal(process.processId(), SIGTERM));
    // The signals are caught from the first line of main(); the sweep comes
    // a moment later, once the folder's lock is taken.
    QDeadlineTimer swept(5000);
    while (QFileInfo::exists(stale) && !swept.hasExpired())
        QThread::msleep(20);
    EXPECT_FALSE(QFileInfo::exists(stale));
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    // The settings not written, the closing notice says why, once.
    const QString said = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(said.count(QStringLiteral("File too large")), 1) << said.toStdString();
    const QStringList left = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_TRUE(left.filter(QStringLiteral(".tmp-")).isEmpty()) << left.join(' ').toStdString();
}

}  // namespace
