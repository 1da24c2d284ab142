#include "sim/DeviceModel.h"

#include <algorithm>

#include "sim/SimAreas.h"
#include "sim/VersionModule.h"

namespace ktx::sim {

namespace {

// The firmware's command buffer: a longer run without a terminator is noise
// and is dropped rather than grown without bound.
constexpr size_t kMaxCommandBytes = 1024;
// A command arrives in one write; bytes left waiting longer than this are the
// remains of an interrupted one and must not spoil the next command.
constexpr int64_t kCommandGapMs = 100;
// Raw frames announce their length; one beyond this is not taken as a frame.
constexpr size_t kMaxFrameBytes = 64 * 1024;

}  // namespace

DeviceModel::DeviceModel(const Scenario& scenario)
{
    auto version = std::make_unique<VersionModule>(scenario.version, scenario.faults.shortVersionReplies);
    version_ = version.get();
    addModule(std::move(version));
#define KTX_ADD_SIM_MODULES(area) addSimModules_##area(*this, scenario);
    KTX_FOR_EACH_AREA(KTX_ADD_SIM_MODULES)
#undef KTX_ADD_SIM_MODULES
    input_.reserve(kMaxCommandBytes);
    reply_.reserve(256);
}

DeviceModel::~DeviceModel() = default;

void DeviceModel::addModule(std::unique_ptr<SimModule> module)
{
    if (module)
        modules_.push_back(std::move(module));
}

void DeviceModel::setUtcAtStartMs(int64_t utcMs)
{
    for (const auto& module : modules_)
        module->setUtcAtStartMs(utcMs);
}

void DeviceModel::execute(std::string_view command, int64_t nowMs, std::string& reply)
{
    replyDelayMs_ = 0;
    for (const auto& module : modules_) {
        if (module->handles(command)) {
            module->reply(command, nowMs, reply);
            replyDelayMs_ = module->lastReplyDelayMs();
            return;
        }
    }
}

bool DeviceModel::semicolonEnds(std::string_view commandStart) const
{
    for (const auto& module : modules_)
        if (module->endsAtSemicolon(commandStart))
            return true;
    return false;
}

size_t DeviceModel::frameLength(std::string_view commandStart) const
{
    for (const auto& module : modules_)
        if (const size_t length = module->frameLength(commandStart); length != 0)
            return length <= kMaxFrameBytes ? length : 0;
    return 0;
}

void DeviceModel::finishCommand(int64_t nowMs, ReplySink& sink)
{
    reply_.clear();
    execute(input_, nowMs, reply_);
    input_.clear();
    if (!reply_.empty())
        sink.onReply(reply_, replyDelayMs_);
}

void DeviceModel::receive(std::string_view bytes, int64_t nowMs, ReplySink& sink)
{
    if (!input_.empty() && nowMs - lastByteMs_ > kCommandGapMs) {
        input_.clear();
        frameEnd_ = 0;
    }
    if (!bytes.empty())
        lastByteMs_ = nowMs;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (frameEnd_ != 0) {
            // The rest of a raw frame, taken as it is.
            const size_t take = std::min(frameEnd_ - input_.size(), bytes.size() - i);
            input_.append(bytes.substr(i, take));
            i += take - 1;
            if (input_.size() == frameEnd_) {
                frameEnd_ = 0;
                finishCommand(nowMs, sink);
            }
            continue;
        }
        const char c = bytes[i];
        if (input_.size() >= kMaxCommandBytes)
            input_.clear();
        input_ += c;
        if (const size_t length = frameLength(input_); length != 0) {
            if (input_.size() >= length)
                finishCommand(nowMs, sink);
            else
                frameEnd_ = length;
        } else if (c == '$') {
            finishCommand(nowMs, sink);
        } else if (c == ';') {
            // "NAME;$" shapes go on to their '$'; only commands a module
            // declares end here, and only when no '$' follows in this write.
            const bool dollarFollows = i + 1 < bytes.size() && bytes[i + 1] == '$';
            if (!dollarFollows && semicolonEnds(input_))
                finishCommand(nowMs, sink);
        }
    }
}

}  // namespace ktx::sim
