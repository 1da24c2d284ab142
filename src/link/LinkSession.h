#pragma once
// One action's use of the link: opened when the session is made, closed when
// it leaves scope on every path (or earlier, by close()). While a session is
// open the link refuses any other open, so an action that re-enters another
// cannot silently share the channel.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/AppContext.h"
#include "link/ReplyBuffer.h"

namespace ktx {

enum class LinkMode {
    Fast,    // 1 ms timeouts: the polls
    Normal,  // 100 ms timeouts: the tests
    Update,  // the modem firmware update's own settings
};

class LinkSession {
public:
    LinkSession(AppContext& context, LinkMode mode);
    ~LinkSession() { close(); }
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    bool isOpen() const { return open_; }
    explicit operator bool() const { return open_; }

    // UsbLink::Exchange into a ReplyBuffer, cleared first; gives its text.
    template <size_t N>
    const char* exchange(std::string_view command, ReplyBuffer<N>& reply, ReplyWait wait = {})
    {
        reply.clear();
        context_.link.Exchange(command, reply.data(), ReplyBuffer<N>::capacity(), wait);
        return reply.c_str();
    }
    // The same into a fresh buffer of capacity bytes; gives the text up to
    // the first zero byte.
    std::string exchange(std::string_view command, uint32_t capacity, ReplyWait wait = {});

    void close();
    UsbLink& link() { return context_.link; }

    // Says "Устройство не подключено" on the debug console when the link
    // could not be opened, for the actions that have no message of their
    // own for it: a click must not end in silence. Nothing more when the
    // open was refused for a session already open (that was said).
    void sayNotConnected() const;

private:
    AppContext& context_;
    bool open_ = false;
    bool refused_ = false;
};

// Most device actions are one command and its reply on a session of their
// own: opened, exchanged, closed before the reply is looked at. False, with
// nothing sent, when the link did not open; notOpened(session) has then said
// so in the action's words.
template <size_t N, typename NotOpened>
bool exchangeAlone(AppContext& context, LinkMode mode, std::string_view command, ReplyBuffer<N>& reply,
    ReplyWait wait, NotOpened&& notOpened)
{
    LinkSession session(context, mode);
    if (!session) {
        notOpened(session);
        return false;
    }
    session.exchange(command, reply, wait);
    return true;
}

// The same for the actions with no words of their own for a link that did
// not open: "Устройство не подключено".
template <size_t N>
bool exchangeAlone(AppContext& context, LinkMode mode, std::string_view command, ReplyBuffer<N>& reply,
    ReplyWait wait = {})
{
    return exchangeAlone(context, mode, command, reply, wait, [](const LinkSession& session) { session.sayNotConnected(); });
}

}  // namespace ktx
