// When the guard runs the event loop: only inside an event delivery (an
// action), and only once a wait has gone on longer than one pump interval, so
// a status poll's millisecond waits cost nothing.
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <optional>

#include "link/RealTimeSource.h"
#include "app/ui/ActionGuard.h"

namespace ktx {
namespace {

TEST(ActionGuardTest, OnlyWaitsInsideAnActionLongerThanAnIntervalRunTheLoop)
{
    struct Case {
        const char* what;
        bool inDelivery;
        int waits;
        uint64_t waitUs;
        bool loopRan;
    };
    const Case cases[] = {
        {"a poll's short waits", true, 2, 1000, false},
        {"one long wait", true, 1, 60000, true},
        {"many short read pauses adding up", true, 200, 250, true},
        {"a long wait outside any delivery", false, 1, 60000, false},
    };
    for (const Case& c : cases) {
        QWidget window;
        RealTimeSource time;
        const ActionGuard guard(window, time, QEvent::User);
        bool loopRan = false;
        QTimer::singleShot(0, [&loopRan] { loopRan = true; });
        {
            std::optional<ActionGuard::Delivery> action;
            if (c.inDelivery)
                action.emplace();
            for (int i = 0; i < c.waits; ++i)
                time.sleepUs(c.waitUs);
        }
        EXPECT_EQ(loopRan, c.loopRan) << c.what;
        // None of these ran long enough for the wait cursor.
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << c.what;
        QApplication::processEvents();
    }
}

bool waitCursorShown()
{
    return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

TEST(ActionGuardTest, WaitCursorAfter300MsButNotOverADialogAskingTheUser)
{
    QWidget window;
    RealTimeSource time;
    const ActionGuard guard(window, time, QEvent::User);
    {
        const ActionGuard::Delivery action;
        time.sleepMs(100);
        EXPECT_FALSE(waitCursorShown());
        time.sleepMs(250);
        EXPECT_TRUE(waitCursorShown());

        // A modal dialog's loop, closed by the "user" after a moment.
        QEventLoop dialog;
        bool cursorInDialog = true;
        QTimer::singleShot(30, [&] {
            cursorInDialog = waitCursorShown();
            dialog.quit();
        });
        dialog.exec();
        EXPECT_FALSE(cursorInDialog);

        time.sleepMs(40);  // the action works on
        EXPECT_TRUE(waitCursorShown());
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// A click given while the action waits runs after it; a click in a dialog
// that opened inside the wait (a handler's error box) reaches the dialog, or
// the program could never get past it.
TEST(ActionGuardTest, InputWaitsForTheActionExceptInADialogInsideIt)
{
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("OK"), &window);
    RealTimeSource time;
    const ActionGuard guard(window, time, QEvent::User);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });

    int clicksInWait = -1;
    int clicksInDialog = -1;
    QTimer::singleShot(20, [&] {
        QTest::mouseClick(button, Qt::LeftButton);
        clicksInWait = clicks;
        QEventLoop dialog;
        QTimer::singleShot(10, [&] {
            QTest::mouseClick(button, Qt::LeftButton);
            clicksInDialog = clicks;
            dialog.quit();
        });
        dialog.exec();
    });
    {
        const ActionGuard::Delivery action;
        time.sleepMs(120);
    }
    EXPECT_EQ(clicksInWait, 0);
    EXPECT_EQ(clicksInDialog, 1);
    QApplication::processEvents();
    EXPECT_EQ(clicks, 2);
}

}  // namespace
}  // namespace ktx
