// Two consoles started in one working directory, as two real processes: the
// second says which folder and which process are in the way and goes without
// touching a file there; the lock dies with its owner, even when killed.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace two_consoles {

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/korvantix-control");
}

QByteArray lockFileText(const QString& dir)
{
    QFile file(dir + QStringLiteral("/Korvantix_control.lock"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Console {
    QProcess process;

    void start(const QString& dir)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setWorkingDirectory(dir);
        process.setProcessEnvironment(environment);
        process.start(programPath(), {QStringLiteral("--simulate")});
        ASSERT_TRUE(process.waitForStarted(5000));
    }
    qint64 pid() const { return process.processId(); }
    // A console owns its folder once its pid is in the lock file.
    bool owns(const QString& dir) const
    {
        QDeadlineTimer deadline(10000);
        const QByteArray expected = QByteArray::number(pid()) + '\n';
        while (lockFileText(dir) != expected && !deadline.hasExpired())
            QThread::msleep(20);
        return lockFileText(dir) == expected;
    }
    QString errorsWhenTheyHold(const QString& text)
    {
        QString errors;
        QDeadlineTimer deadline(10000);
        while (!errors.contains(text) && !deadline.hasExpired() && process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            errors += QString::fromUtf8(process.readAllStandardError());
        }
        return errors;
    }
    int endBy(int signalNumber)
    {
        ::kill(static_cast<pid_t>(pid()), signalNumber);
        EXPECT_TRUE(process.waitForFinished(10000));
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -signalNumber;
    }
};

QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

TEST(TwoConsolesTest, TheSecondInOneFolderIsRefusedAndTheLockDiesWithItsOwner)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A settings file the first console's user made: the second must leave it.
    const QByteArray settings = "[CONFIG]\r\nAutoStart=0\r\n[GSM]\r\nPIN=4321\r\n";
    {
        QFile file(dir.filePath(QStringLiteral("Korvantix_control.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(settings);
    }
    Console first;
    first.start(dir.path());
    ASSERT_TRUE(first.owns(dir.path()));
    const QStringList before = entriesOf(dir.path());

    // Reached by another path, the folder is still the same one.
    QTemporaryDir elsewhere;
    const QString alias = elsewhere.filePath(QStringLiteral("same-folder"));
    ASSERT_TRUE(QFile::link(dir.path(), alias));
    for (const QString& path : {dir.path(), alias}) {
        SCOPED_TRACE(path.toStdString());
        Console second;
        second.start(path);
        const QString expected = QStringLiteral("korvantix-control: the working directory %1 is in use by another "
                                                "korvantix-control (process %2)")
                                     .arg(QFileInfo(dir.path()).canonicalFilePath())
                                     .arg(first.pid());
        const QString errors = second.errorsWhenTheyHold(expected);
        EXPECT_TRUE(errors.contains(expected)) << errors.toStdString();
        // It waits on its message box for the user, and a signal ends it too.
        EXPECT_EQ(second.process.state(), QProcess::Running);
        EXPECT_EQ(second.endBy(SIGTERM), 3);
    }
    EXPECT_EQ(entriesOf(dir.path()), before);
    QFile kept(dir.filePath(QStringLiteral("Korvantix_control.ini")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), settings);
    EXPECT_TRUE(first.owns(dir.path()));

    // Killed, the first leaves no lock behind: the next one starts at once.
    EXPECT_EQ(first.endBy(SIGKILL), -SIGKILL);
    Console next;
    next.start(dir.path());
    ASSERT_TRUE(next.owns(dir.path()));
    EXPECT_EQ(next.endBy(SIGTERM), 0);
    EXPECT_FALSE(QString::fromUtf8(next.process.readAllStandardError()).contains(QStringLiteral("in use")));
}

TEST(TwoConsolesTest, ConsolesInTwoFoldersRunSideBySide)
{
    if (!QFileInfo::exists(programPath()))
        GTEST_SKIP() << "korvantix-control not built beside the tests";
    QTemporaryDir one;
    QTemporaryDir two;
    Console a;
    Console b;
    a.start(one.path());
    b.start(two.path());
    ASSERT_TRUE(a.owns(one.path()));
    ASSERT_TRUE(b.owns(two.path()));
    EXPECT_EQ(a.endBy(SIGTERM), 0);
    EXPECT_EQ(b.endBy(SIGTERM), 0);
}

}  // namespace two_consoles
