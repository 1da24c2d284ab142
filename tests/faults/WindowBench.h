#pragma once
// The window on the simulated tracker in virtual time, with every tab built
// and a modem firmware file in place: the fault tables' bench.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <optional>

#include "app/ui/TKorvantixtest.h"
#include "link/VirtualTimeSource.h"
#include "sim/Scenario.h"
#include "sim/SimDriver.h"
#include "telit/FirmwareBuilder.h"

namespace ktx::fault_table {

inline QString workDirIn(const QTemporaryDir& root)
{
    QDir(root.path()).mkpath(QStringLiteral("work"));
    return QDir(root.path()).filePath(QStringLiteral("work"));
}

inline constexpr const char* kConsoles[] = {"DebugMemo", "GSMMemo", "memo485", "TelitMemo"};
inline const QString kNotConnected = QStringLiteral("Устройство не подключено");
// The messages for a tracker that is not there: the polls' own, and the
// USB open failure the modem steps, the extender and the 1-Wire reads name.
inline bool saysNotThere(const QString& said)
{
    return said.contains(kNotConnected) || said.contains(QStringLiteral("Ошибка открытия порта USB"))
        || said.contains(QStringLiteral("Ошибка при открытии порта USB"));
}

class Bench {
public:
    explicit Bench(const sim::Scenario& scenario) : simulator(time, scenario), window(simulator, time, dir.path().toStdString())
    {
        using namespace telit::test;
        qputenv("KTX_NO_BROWSER", "1");
        window.watchPlugChanges([this] { return simulator.pollPlugChange(); });
        window.show();
        window.buildAllTabs();
        QApplication::processEvents();
        FirmwareBuilder firmware;
        firmware.record(erasePayload(100)).record(payloadOf(3000)).record(payloadOf(7));
        firmware.writeTo(dir.path().toStdString() + "/fw.bin");
        child<QLineEdit>("FirmwarePath")->setText(dir.filePath(QStringLiteral("fw.bin")));
    }

    template <class T>
    T* child(const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* button)
    {
        child<QPushButton>(button)->click();
        QApplication::processEvents();
    }
    void tick(const char* timer)
    {
        QMetaObject::invokeMethod(child<QTimer>(timer), "timeout");
        QApplication::processEvents();
    }
    void showTab(const char* page)
    {
        child<QTabWidget>("PageControl1")->setCurrentWidget(child<QWidget>(page));
        QApplication::processEvents();
    }
    // The device check of the window, as its timer runs it.
    void checkDevice() { tick("PlugPollTimer"); }
    QString consoles()
    {
        QString all;
        for (const char* name : kConsoles)
            all += child<QPlainTextEdit>(name)->toPlainText() + QLatin1Char('\x1e');
        return all;
    }
    // What the consoles gained since before (a consoles() text): each
    // console's new lines, or nullopt when one lost any of its earlier text.
    std::optional<QString> saidSince(const QString& before)
    {
        const QStringList was = before.split(QLatin1Char('\x1e'));
        const QStringList is = consoles().split(QLatin1Char('\x1e'));
        QString said;
        for (int i = 0; i < was.size(); ++i) {
            if (!is.value(i).startsWith(was[i]))
                return std::nullopt;
            said += is.value(i).mid(was[i].size()).trimmed();
        }
        return said;
    }
    int64_t nowMs() const { return time.monotonicUs() / 1000; }
    // "Протокол" runs the whole check in virtual time and leaves its dialog
    // open: what it shows is what the user was told.
    void closeProtocolDialog()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (!dialog || !dialog->isVisible() || !dialog->findChild<QPushButton*>("ProtocolClose"))
                continue;
            const QListWidget* steps = dialog->findChild<QListWidget*>();
            for (int i = 0; steps && i < steps->count(); ++i)
                dialogSaid += steps->item(i)->text() + QLatin1Char('\n');
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    dialogSaid += label->text() + QLatin1Char('\n');
            dialog->reject();
            QApplication::processEvents();
        }
    }
    // Every label and line edit of the window with its text: the answers
    // most actions show in place.
    std::map<QString, QString> fields()
    {
        std::map<QString, QString> texts;
        for (const QLabel* label : window.findChildren<QLabel*>())
            if (!label->objectName().isEmpty())
                texts[label->objectName()] = label->text();
        for (const QLineEdit* edit : window.findChildren<QLineEdit*>())
            if (!edit->objectName().isEmpty())
                texts[edit->objectName()] = edit->text();
        return texts;
    }

    // The working directory "work" in a folder of its own, so that anything
    // written beside it can be seen.
    QTemporaryDir root;
    QDir dir{workDirIn(root)};
    bool accelPolling = false;  // the accelerometer poll still ran after its tick
    QString dialogSaid;         // what the last action's dialog showed
    VirtualTimeSource time;
    sim::SimDriver simulator;
    TKorvantixtest window;
};

}  // namespace ktx::fault_table
