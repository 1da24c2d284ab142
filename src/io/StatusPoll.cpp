#include "io/StatusPoll.h"

#include <cstdio>

#include "link/LinkSession.h"
#include "link/ReplyBuffer.h"
#include "base/TextCodec.h"
#include "link/UsbAccess.h"

namespace ktx::io {
namespace {

constexpr uint32_t kReplyBytes = 128;
constexpr uint32_t kReplyBudget = 100;

}  // namespace

std::string deviceTestCommand(bool output1, bool output2)
{
    char command[32];
    std::snprintf(command, sizeof command, "DEVICE_TEST,%d,%d$", output1 ? 1 : 0, output2 ? 1 : 0);
    return command;
}

PollOutcome StatusPoll::poll(bool output1, bool output2)
{
    PollOutcome outcome;
    LinkSession session(context_, LinkMode::Fast);
    if (!session) {
        sayOpenFailure(context_.log, session.link(), notConnectedText());
        return outcome;
    }
    outcome.opened = true;

    ReplyBuffer<kReplyBytes> reply;
    session.exchange(deviceTestCommand(output1, output2), reply, {0, kReplyBudget});
    outcome.deviceTestFields = scanDeviceTest(reply.c_str(), record_);
    if (const auto tt = deviceTestStamp(reply.c_str())) {
        stamps_.t1 = *tt;
        stamps_.flag1 = 1;
    } else {
        stamps_.t1 = context_.time.processClockMs();
        stamps_.flag1 = 0;
    }
    writeAinLine();

    session.exchange("ADD_TEST$", reply, {0, kReplyBudget});
    session.close();

    outcome.addTest = scanAddTest(reply.c_str(), record_);
    if (outcome.addTest.fields >= 8) {
        if (outcome.addTest.time > 0) {
            stamps_.t2 = outcome.addTest.time;
            stamps_.flag2 = 1;
        } else {
            stamps_.t2 = context_.time.processClockMs();
            stamps_.flag2 = 0;
        }
        if (outcome.addTest.longForm && outcome.addTest.longTime > 0)
            stamps_.t3 = outcome.addTest.longTime;
    }
    writeCountLine();
    return outcome;
}

void StatusPoll::writeAinLine()
{
    const StatusRecord& r = record_;
    context_.log.streamLine("AIN", "AINstream",
        formatText("AIN1=% 4d\tAIN2=% 4d\tPOWER=% 4d\tRESERV=% 4d\r\n", r.ain1, r.ain2, r.power, r.reserve));
}

void StatusPoll::writeCountLine()
{
    const StatusRecord& r = record_;
    context_.log.streamLine("COUNT", "COUNTstream",
        formatText("COUNT1=% 4d\tCOUNT2=% 4d\tCOUNT3=% 4d\tCOUNT4=% 4d\tCOUNT5=% 4d\tCOUNT6=% 4d\tCOUNT7=% 4d\tCOUNT8=% 4d\r\n",
            r.count1, r.count2, r.count3, r.count4, r.count5, r.count6, r.count7, r.count8));
}

}  // namespace ktx::io
