// The queue of device actions: one at a time, in order, each key queued at
// most once, buttons greyed while their procedure waits or runs; on the
// worker thread, whatever the work shows arrives on the GUI thread in order.
#include <QCoreApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <semaphore>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ui/ConsoleApplication.h"
#include "widgets/DeviceActions.h"

namespace ktx {
namespace {

DeviceActions::Action action(const QObject* key, std::vector<std::string>& ran, std::string name,
                             QPushButton* button = nullptr)
{
    DeviceActions::Action a;
    a.key = key;
    a.button = button;
    a.work = [&ran, name] { ran.push_back(name); };
    return a;
}

TEST(DeviceActionsTest, InlineActionsAskedForInsideAnotherRunAfterItAndKeysMerge)
{
    DeviceActions actions(DeviceActions::Mode::Inline);
    QObject poll, identify;
    QPushButton button;
    std::vector<std::string> ran;
    bool greyedInside = false;
    DeviceActions::Action outer = action(&button, ran, "outer", &button);
    outer.work = [&] {
        ran.push_back("outer");
        greyedInside = !button.isEnabled();
        EXPECT_TRUE(actions.enqueue(action(&poll, ran, "poll")));
        EXPECT_FALSE(actions.enqueue(action(&poll, ran, "poll again"))) << "queued twice";
        EXPECT_FALSE(actions.enqueue(action(&button, ran, "outer again"))) << "ran twice";
        EXPECT_TRUE(actions.enqueueFirst(action(&identify, ran, "identify")));
        EXPECT_FALSE(actions.enqueueFirst(action(&identify, ran, "identify again")));
        EXPECT_TRUE(actions.enqueue(action(nullptr, ran, "unkeyed")));
        EXPECT_TRUE(actions.enqueue(action(nullptr, ran, "unkeyed")));
    };
    outer.done = [&] { ran.push_back("outer done"); };
    ASSERT_TRUE(actions.enqueue(std::move(outer)));
    EXPECT_TRUE(greyedInside);
    EXPECT_TRUE(button.isEnabled());
    EXPECT_FALSE(actions.busy());
    EXPECT_EQ(ran, (std::vector<std::string>{"outer", "outer done", "identify", "poll", "unkeyed", "unkeyed"}));
}

TEST(DeviceActionsTest, ShutDownDropsTheQueuedReleasesTheirButtonsAndRefusesMore)
{
    DeviceActions actions(DeviceActions::Mode::Inline);
    QPushButton queuedButton, disabledButton;
    disabledButton.setEnabled(false);
    std::vector<std::string> ran;
    DeviceActions::Action first = action(nullptr, ran, "first");
    first.work = [&] {
        ran.push_back("first");
        actions.enqueue(action(&queuedButton, ran, "queued", &queuedButton));
        actions.enqueue(action(&disabledButton, ran, "disabled", &disabledButton));
        EXPECT_FALSE(queuedButton.isEnabled());
        actions.shutDown();
    };
    actions.enqueue(std::move(first));
    EXPECT_FALSE(actions.enqueue(action(nullptr, ran, "after")));
    EXPECT_EQ(ran, std::vector<std::string>{"first"});
    EXPECT_TRUE(queuedButton.isEnabled());
    EXPECT_FALSE(disabledButton.isEnabled()) << "a button someone else disabled was enabled";
}

TEST(DeviceActionsTest, WorkerRunsEachKeyOnceInTurnAndShowsOnTheGuiThreadInOrder)
{
    DeviceActions actions(DeviceActions::Mode::Worker);
    QObject a, b, c, shown;
    std::binary_semaphore gate(0);
    std::vector<std::string> ran;      // written on the worker, read once idle
    std::vector<std::string> onGui;    // GUI thread only
    std::atomic<bool> workOffGui = true;
    QThread* gui = QThread::currentThread();
    auto poll = [&](QObject* key, const std::string& name, bool wait) {
        DeviceActions::Action x;
        x.key = key;
        x.work = [&, name, wait] {
            workOffGui = workOffGui && QThread::currentThread() != gui;
            if (wait)
                gate.acquire();
            ran.push_back(name);
            for (int line = 1; line <= 3; ++line)
                onGuiThread(&shown, [&onGui, name, line] { onGui.push_back(name + std::to_string(line)); });
        };
        x.done = [&onGui, name] { onGui.push_back(name + " done"); };
        return actions.enqueue(std::move(x));
    };
    ASSERT_TRUE(poll(&a, "a", true));
    EXPECT_TRUE(actions.running());
    // Ticks while a runs: b and c join once each, a's own tick is merged.
    EXPECT_TRUE(poll(&b, "b", false));
    EXPECT_FALSE(poll(&a, "a", false));
    EXPECT_TRUE(poll(&c, "c", false));
    EXPECT_FALSE(poll(&b, "b", false));
    gate.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !actions.busy(); }, 5000));
    EXPECT_TRUE(workOffGui);
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(onGui, (std::vector<std::string>{"a1", "a2", "a3", "a done", "b1", "b2", "b3", "b done", "c1", "c2",
                         "c3", "c done"}));
}

TEST(DeviceActionsTest, WhatAWorkerActionThrowsIsRethrownOnTheGuiThreadAndTheQueueGoesOn)
{
    DeviceActions actions(DeviceActions::Mode::Worker);
    QPushButton button;
    std::atomic<bool> secondRan = false;
    DeviceActions::Action failing;
    failing.key = &button;
    failing.button = &button;
    failing.work = [] { throw std::runtime_error("no reply"); };
    DeviceActions::Action second;
    second.work = [&] { secondRan = true; };
    std::vector<QString> reported;
    ConsoleApplication::setExceptionReporter([&reported](const QString& message) { reported.push_back(message); });
    actions.enqueue(std::move(failing));
    actions.enqueue(std::move(second));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !actions.busy(); }, 5000));
    ConsoleApplication::setExceptionReporter(nullptr);
    EXPECT_EQ(reported, std::vector<QString>{QStringLiteral("no reply")});
    EXPECT_TRUE(secondRan);
    EXPECT_TRUE(button.isEnabled());
}

// Taking the tracker exclusively: on the worker, polls (actions keyed by
// their timers) are dropped while the exclusive action waits and runs, other
// actions queue behind it, the stop token reaches the work, and the polls are
// taken again afterwards. A hold pauses them the same way without an action.
TEST(DeviceActionsTest, AnExclusiveActionPausesThePollsAndGetsAStopToken)
{
    DeviceActions actions(DeviceActions::Mode::Worker);
    QTimer pollTimer;
    QObject button;
    QSignalSpy changes(&actions, &DeviceActions::exclusiveActionChanged);
    std::binary_semaphore started(0), resume(0);
    std::atomic<bool> sawStop = false;
    std::vector<std::string> ran;  // read once idle
    DeviceActions::Action exclusive;
    exclusive.key = &button;
    exclusive.stop = std::make_shared<std::atomic<bool>>(false);
    exclusive.work = [&, stop = exclusive.stop] {
        started.release();
        // A real check looks at the token between slices of its waits.
        (void)resume.try_acquire_for(std::chrono::seconds(5));
        sawStop = stop->load();
        ran.push_back("exclusive");
    };
    auto poll = [&] {
        DeviceActions::Action tick;
        tick.key = &pollTimer;
        tick.work = [&] { ran.push_back("poll"); };
        return actions.enqueue(std::move(tick));
    };
    auto other = [&] {
        DeviceActions::Action click;
        click.work = [&] { ran.push_back("other"); };
        return actions.enqueue(std::move(click));
    };

    ASSERT_TRUE(actions.enqueue(std::move(exclusive)));
    EXPECT_TRUE(actions.exclusiveActionPending());
    started.acquire();
    EXPECT_FALSE(poll()) << "a poll's tick was queued while the tracker was taken";
    EXPECT_TRUE(other());
    actions.stopExclusive();
    resume.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !actions.busy(); }, 5000));
    EXPECT_TRUE(sawStop);
    EXPECT_FALSE(actions.exclusiveActionPending());
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(ran, (std::vector<std::string>{"exclusive", "other"}));

    EXPECT_TRUE(poll());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !actions.busy(); }, 5000));
    actions.holdPolls();
    EXPECT_FALSE(poll());
    actions.releasePolls();
    EXPECT_TRUE(poll());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !actions.busy(); }, 5000));
    EXPECT_EQ(ran, (std::vector<std::string>{"exclusive", "other", "poll", "poll"}));
}

// A queued exclusive action dropped at shut-down no longer holds the polls.
TEST(DeviceActionsTest, ShutDownReleasesTheExclusiveActionsItDrops)
{
    DeviceActions actions(DeviceActions::Mode::Inline);
    DeviceActions::Action first;
    first.work = [&] {
        DeviceActions::Action exclusive;
        exclusive.stop = std::make_shared<std::atomic<bool>>(false);
        exclusive.work = [] { ADD_FAILURE() << "a dropped action ran"; };
        actions.enqueue(std::move(exclusive));
        EXPECT_TRUE(actions.exclusiveActionPending());
        actions.shutDown();
        EXPECT_FALSE(actions.exclusiveActionPending());
    };
    actions.enqueue(std::move(first));
    EXPECT_FALSE(actions.pollsPaused());
}

}  // namespace
}  // namespace ktx
