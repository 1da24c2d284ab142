// Every device action of the window against every fault the simulated
// tracker can play, one bench day per action: the fault, the action, then
// the tracker made well and the action once more. Each row must end (within
// the action's own waits, in virtual time), close the link, tell the user,
// keep every earlier console line, and leave the next action working.
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "faults/FaultScenarios.h"
#include "faults/WindowBench.h"

namespace ktx {
namespace fault_table {

struct Action {
    const char* name;
    std::function<void(Bench&)> run;
};

// Each poll by its one-shot (the hidden button its timer clicks) and each
// button that talks to the tracker.
const Action kActions[] = {
    {"status poll", [](Bench& b) { b.click("ButtonWork"); }},
    {"1-Wire poll",
     [](Bench& b) {
         // Every sensor addressed, so that each tick reads one.
         for (int sensor = 1; sensor <= 8; ++sensor)
             b.child<QLineEdit>(qPrintable(QStringLiteral("temper%1id").arg(sensor)))->setText(QStringLiteral("a2b3c4d5e6f7"));
         b.click("Button16");
     }},
    {"fuel sensors poll", [](Bench& b) { b.click("Button12"); }},
    {"extender poll", [](Bench& b) { b.click("Rashir"); }},
    {"CAN poll", [](Bench& b) { b.click("CANPush"); }},
    {"accelerometer poll",
     [](Bench& b) {
         b.showTab("TabSheet9");
         if (!b.child<QTimer>("TimerAccel")->isActive())
             b.click("ButtonStartAxel");
         b.tick("TimerAccel");
         b.accelPolling = b.child<QTimer>("TimerAccel")->isActive();
         b.showTab("TabSheet1");
     }},
    {"1-Wire identifier", [](Bench& b) { b.click("iButton1read"); }},
    {"antenna", [](Bench& b) { b.click("Button18"); }},
    {"position", [](Bench& b) { b.click("Button19"); }},
    {"receiver on", [](Bench& b) { b.click("Button20"); }},
    {"clock read", [](Bench& b) { b.click("GETTIMER"); }},
    {"clock set", [](Bench& b) { b.click("SETTIMER"); }},
    {"modem settings read", [](Bench& b) { b.click("ReadGSMParams"); }},
    {"GSM power on", [](Bench& b) { b.click("Button1"); }},
    {"GSM power off", [](Bench& b) { b.click("Button13"); }},
    {"AT command",
     [](Bench& b) {
         b.child<QLineEdit>("ATCommand")->setText(QStringLiteral("AT+CSQ"));
         b.click("ATButton");
     }},
    {"PIN status", [](Bench& b) { b.click("Button2"); }},
    {"network registration", [](Bench& b) { b.click("Button5"); }},
    {"GPRS attach", [](Bench& b) { b.click("Button7"); }},
    {"server connect", [](Bench& b) { b.click("Button8"); }},
    {"call", [](Bench& b) { b.click("Button10"); }},
    {"modem update", [](Bench& b) { b.click("TelitInit"); }},
    {"Протокол",
     [](Bench& b) {
         b.click("ProtocolButton");
         b.closeProtocolDialog();
     }},
};

struct Fault {
    const char* name;
    std::function<void(Bench&)> play;
};

using ktx::test::every;
using ktx::test::rebooted;

// Just before or after the end of whatever wait the action has for each
// reply, so every wait is met at its own edge.
constexpr int64_t kWaitEdgeUs = 200;

const Fault kFaults[] = {
    {"unplugged", [](Bench& b) { b.simulator.setPlugged(false); }},
    {"unplugged mid-reply", [](Bench& b) { b.simulator.unplugAfterMs(b.simulator.scenario().latencyMs + 1); }},
    {"silent", [](Bench& b) { b.simulator.setReplyFaults(every(&sim::Faults::silent)); }},
    {"short replies", [](Bench& b) { b.simulator.setReplyFaults(every(&sim::Faults::shortReplies)); }},
    {"garbage", [](Bench& b) { b.simulator.setReplyFaults(every(&sim::Faults::garbage)); }},
    {"CR LF mid-reply", [](Bench& b) { b.simulator.setReplyFaults(every(&sim::Faults::lineBreaks)); }},
    {"64 KiB reply", [](Bench& b) { b.simulator.setReplyFaults(every(&sim::Faults::floods)); }},
    {"late by 3 s", [](Bench& b) { b.simulator.setLatencyMs(3000); }},
    {"late, inside each wait", [](Bench& b) { b.simulator.setRepliesAtWaitEdge(-kWaitEdgeUs); }},
    {"late, outside each wait", [](Bench& b) { b.simulator.setRepliesAtWaitEdge(kWaitEdgeUs); }},
    {"reboot, new firmware",
     [](Bench& b) { b.simulator.rebootAfterMs(b.simulator.scenario().latencyMs + 1, 500, rebooted(), false); }},
    {"reboot, new USB device",
     [](Bench& b) { b.simulator.rebootAfterMs(b.simulator.scenario().latencyMs + 1, 500, rebooted(), true); }},
};

// A second later (an unplug still due has happened by then), the tracker
// is plugged in and well, and the window has seen it.
void heal(Bench& b)
{
    b.time.advanceMs(1000);
    b.checkDevice();
    b.simulator.setReplyFaults({});
    b.simulator.setRepliesAtWaitEdge(std::nullopt);
    b.simulator.setLatencyMs(sim::defaultScenario().latencyMs);
    b.simulator.setPlugged(true);
    b.checkDevice();
}

struct Outcome {
    int64_t elapsedMs;
    QString said;   // what the consoles gained
    QString shown;  // the fields whose text changed: "name=text "
    bool linkClosed;
    bool earlierKept;
};

Outcome runOnce(Bench& b, const Action& action)
{
    const QString before = b.consoles();
    const auto fieldsBefore = b.fields();
    const int64_t start = b.nowMs();
    b.dialogSaid.clear();
    action.run(b);
    // Each console's earlier text must still lead it.
    const std::optional<QString> said = b.saidSince(before);
    Outcome outcome{b.nowMs() - start, b.dialogSaid + said.value_or(QString()), {}, !b.simulator.isOpen(),
                    said.has_value()};
    for (const auto& [name, text] : b.fields())
        if (fieldsBefore.count(name) && fieldsBefore.at(name) != text)
            outcome.shown += name + QLatin1Char('=') + text + QLatin1Char(' ');
    return outcome;
}

// What the user was told, on one line for the table.
QString oneLine(const QString& text)
{
    QString line = text.simplified();
    line.replace(QStringLiteral("--------------------- "), QString());
    return line.left(110);
}

TEST(ActionFaultTableTest, EveryActionMeetsEveryFaultAndWorksAgainAfter)
{
    int rows = 0;
    int passed = 0;
    for (const Action& action : kActions) {
        Bench bench(sim::defaultScenario());
        bench.checkDevice();
        // The healthy run: its duration and what it says when all is well.
        const Outcome healthy = runOnce(bench, action);
        const Outcome silent = [&] {
            kFaults[2].play(bench);
            const Outcome o = runOnce(bench, action);
            heal(bench);
            return o;
        }();
        for (const Fault& fault : kFaults) {
            SCOPED_TRACE(std::string(action.name) + " / " + fault.name);
            const int failuresBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
            fault.play(bench);
            const Outcome faulty = runOnce(bench, action);
            const bool accelPollingAfterFault = bench.accelPolling;
            heal(bench);
            const Outcome again = runOnce(bench, action);
            ++rows;
            // Bounded: no fault makes an action wait longer than a tracker
            // that never answers, plus a second.
            EXPECT_LE(faulty.elapsedMs, std::max(silent.elapsedMs, healthy.elapsedMs) + 1000);
            EXPECT_TRUE(faulty.linkClosed);
            EXPECT_TRUE(again.linkClosed);
            EXPECT_TRUE(faulty.earlierKept);
            EXPECT_TRUE(again.earlierKept);
            // No tracker: the action says so, except the accelerometer's
            // poll, which stops (its button offers the start again).
            if (fault.name == std::string("unplugged") && action.name == std::string("accelerometer poll")) {
                EXPECT_FALSE(accelPollingAfterFault);
            } else if (fault.name == std::string("unplugged")) {
                EXPECT_TRUE(saysNotThere(faulty.said)) << faulty.said.toStdString();
            }
            // Well again, the action says what it said on a healthy tracker:
            // the same number of lines, and no "not connected".
            EXPECT_FALSE(again.said.contains(kNotConnected)) << again.said.toStdString();
            EXPECT_EQ(again.said.count(QLatin1Char('\n')), healthy.said.count(QLatin1Char('\n')))
                << "healthy: " << healthy.said.toStdString() << "\nagain: " << again.said.toStdString();
            const bool ok = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count()
                == failuresBefore;
            passed += ok;
            std::printf("%-22s %-20s %6lld ms  %s  %s\n", action.name, fault.name,
                        static_cast<long long>(faulty.elapsedMs), ok ? "ok  " : "FAIL",
                        oneLine(faulty.said).toUtf8().constData());
            std::printf("      %s\n", faulty.shown.left(160).toUtf8().constData());
        }
    }
    std::printf("%d actions x %zu faults = %d rows, %d passed\n", int(std::size(kActions)), std::size(kFaults), rows,
                passed);
}

}  // namespace fault_table
}  // namespace ktx
