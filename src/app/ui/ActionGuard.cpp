#include "app/ui/ActionGuard.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "link/RealTimeSource.h"

namespace ktx {
namespace {

// Nesting of event deliveries (ConsoleApplication::notify); 0: the event
// loop is idle between two events.
int deliveryDepth = 0;
// Guards in order of creation; the newest is in charge.
std::vector<ActionGuard*>& guards()
{
    static std::vector<ActionGuard*> all;
    return all;
}

// What a user types or clicks; everything else the pump may deliver.
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

}  // namespace

ActionGuard::ActionGuard(QWidget& window, RealTimeSource& time, QEvent::Type deviceChangeType)
    : window_(window), time_(time), deviceChangeType_(deviceChangeType)
{
    guards().push_back(this);
    time_.setWaitPump([this] { pump(); });
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        idleConnection_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] { loopGoesIdle(); });
}

ActionGuard::~ActionGuard()
{
    QObject::disconnect(idleConnection_);
    time_.setWaitPump(nullptr);
    auto& all = guards();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    restoreCursor();
}

ActionGuard* ActionGuard::active()
{
    return guards().empty() ? nullptr : guards().back();
}

ActionGuard::Delivery::Delivery()
{
    ++deliveryDepth;
}

ActionGuard::Delivery::~Delivery()
{
    if (--deliveryDepth == 0) {
        if (ActionGuard* guard = active())
            guard->actionEnded();
    }
}

bool ActionGuard::holdsBack(QObject* receiver, QEvent* event)
{
    ActionGuard* guard = active();
    return guard && guard->pumping_ && guard->holdBack(receiver, event);
}

void ActionGuard::pump()
{
    // Outside any event delivery nothing can tell when the action ends.
    if (pumping_ || deliveryDepth == 0)
        return;
    const int64_t nowUs = time_.monotonicUs();
    if (actionStartUs_ < 0) {
        actionStartUs_ = lastPumpUs_ = nowUs;
        return;
    }
    // Short actions (a status poll takes a few milliseconds) never pump.
    if (nowUs - lastPumpUs_ < kPumpIntervalUs)
        return;
    if (!waitCursor_ && nowUs - actionStartUs_ >= kWaitCursorAfterUs) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    }
    struct Pumping {
        ActionGuard& guard;
        explicit Pumping(ActionGuard& g) : guard(g) { guard.pumping_ = true; }
        ~Pumping() { guard.pumping_ = guard.loopInsidePump_ = false; }
    } pumping(*this);
    // Window-system input stays in its queue, in order, until the action ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // The handler gets its full slice before the next turn.
    lastPumpUs_ = time_.monotonicUs();
}

bool ActionGuard::holdBack(QObject* receiver, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Timer) {
        if (!isWindowTimer(receiver))
            return false;
        ++skippedTicks_;
        return true;
    }
    if (type == QEvent::Close && receiver == &window_) {
        // Refused now (the window stays), done again once the action ends.
        event->ignore();
        if (!closeHeld_) {
            closeHeld_ = true;
            held_.push_back({&window_, nullptr});
        }
        return true;
    }
    if (type == deviceChangeType_ && receiver == &window_) {
        if (!deviceChangeHeld_) {
            deviceChangeHeld_ = true;
            held_.push_back({&window_, std::make_unique<QEvent>(deviceChangeType_)});
        }
        return true;
    }
    if (isUserInput(type) && !loopInsidePump_) {
        held_.push_back({receiver, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }
    return false;
}

bool ActionGuard::isWindowTimer(QObject* receiver) const
{
    if (!qobject_cast<QTimer*>(receiver))
        return false;
    for (QObject* owner = receiver->parent(); owner; owner = owner->parent()) {
        if (owner == &window_)
            return true;
    }
    return false;
}

void ActionGuard::actionEnded()
{
    actionStartUs_ = -1;
    restoreCursor();
    if (!held_.empty())
        releaseHeld();
}

void ActionGuard::loopGoesIdle()
{
    // The pump itself never waits for events: an idle loop is a dialog's,
    // and a dialog is not the program at work. It asks the user with the
    // normal cursor, and takes the user's clicks and keys.
    restoreCursor();
    if (pumping_)
        loopInsidePump_ = true;
}

void ActionGuard::restoreCursor()
{
    if (!waitCursor_)
        return;
    waitCursor_ = false;
    QGuiApplication::restoreOverrideCursor();
}

void ActionGuard::releaseHeld()
{
    // Posted in the order they came, so they run one after another from the
    // event loop, each as an action of its own.
    std::vector<Held> held;
    held.swap(held_);
    deviceChangeHeld_ = false;
    closeHeld_ = false;
    for (Held& item : held) {
        if (!item.receiver)
            continue;
        if (!item.event) {
            QWidget* window = &window_;
            QMetaObject::invokeMethod(window, [window] { window->close(); }, Qt::QueuedConnection);
            continue;
        }
        QCoreApplication::postEvent(item.receiver, item.event.release());
    }
}

}  // namespace ktx
