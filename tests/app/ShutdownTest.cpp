// The built program, run as a technician would: wrong arguments are refused,
// and SIGTERM ends it the normal way with its settings saved.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// The program is ready for a signal once its handler is in place (SigCgt in
// /proc/<pid>/status).
bool catchesSignal(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            const qulonglong mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
            return mask & (1ULL << (signalNumber - 1));
        }
    }
    return false;
}

TEST(ShutdownTest, WrongArgumentsAreRefusedWithExitCodeTwo)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    const QStringList cases[] = {{QStringLiteral("--bogus")},
                                 {QStringLiteral("--simulate"), QStringLiteral("extra")},
                                 {QStringLiteral("--simulate=")},
                                 {QStringLiteral("--simulate=/nonexistent/scenario.json")}};
    for (const QStringList& arguments : cases) {
        QProcess process;
        process.setProcessEnvironment(offscreenEnvironment());
        process.start(programPath(), arguments);
        ASSERT_TRUE(process.waitForFinished(5000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(' ').toStdString();
        EXPECT_FALSE(process.readAllStandardError().isEmpty());
    }
}

// Starts the program on the simulator in an empty directory, signals it once
// it is ready, and checks it ended normally with a complete settings file.
void runUntilSignalled(int signalNumber)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessEnvironment(offscreenEnvironment());
    process.start(programPath(), {QStringLiteral("--simulate")});
    ASSERT_TRUE(process.waitForStarted(5000));

    QDeadlineTimer settle(5000);
    while (!catchesSignal(process.processId(), signalNumber) && !settle.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(catchesSignal(process.processId(), signalNumber));
    ::kill(static_cast<pid_t>(process.processId()), signalNumber);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

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

TEST(ShutdownTest, TermAndIntCloseTheWindowAndSaveTheSettings)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    for (int signalNumber : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        runUntilSignalled(signalNumber);
    }
}

}  // namespace
