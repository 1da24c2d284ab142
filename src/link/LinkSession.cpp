#include "link/LinkSession.h"

#include <vector>

#include "base/TextCodec.h"
#include "link/UsbAccess.h"

namespace ktx {

namespace {

bool openLink(UsbLink& link, LinkMode mode)
{
    switch (mode) {
    case LinkMode::Fast:
        return link.OpenLink(true);
    case LinkMode::Normal:
        return link.OpenLink(false);
    case LinkMode::Update:
        return link.OpenUpdateLink();
    }
    return false;
}

}  // namespace

LinkSession::LinkSession(AppContext& context, LinkMode mode) : context_(context)
{
    if (context_.link.inSession()) {
        LogDebug(context_.log, 1, "%s", reopenRefusedText().c_str());
        refused_ = true;
        return;
    }
    open_ = openLink(context_.link, mode);
    context_.link.inSession_ = open_;
}

std::string LinkSession::exchange(std::string_view command, uint32_t capacity, ReplyWait wait)
{
    std::vector<char> buffer(capacity + 1, '\0');
    context_.link.Exchange(command, buffer.data(), capacity, wait);
    return buffer.data();
}

void LinkSession::sayNotConnected() const
{
    if (!open_ && !refused_)
        LogDebug(context_.log, 1, "%s", notConnectedText().c_str());
}

void LinkSession::close()
{
    if (!open_)
        return;
    open_ = false;
    context_.link.inSession_ = false;
    context_.link.CloseLink();
}

}  // namespace ktx
