#pragma once
// Keeps the window alive while a device action waits, and still lets only one
// action touch the device at a time.
//
// The window's real time source offers this guard a turn during every wait.
// Inside an action (an event delivery that waits) the guard runs the event
// loop every 15 ms without user input: the window repaints and its consoles
// fill as the handler writes. Whatever could start a second exchange is kept
// out until the action ends:
// - ticks of the window's timers are skipped (no backlog afterwards);
// - a device change is remembered and delivered once afterwards;
// - a close (window, SIGTERM, SIGINT) is refused and repeated afterwards;
// - user input stays queued in order (synthesised input reaching the
//   application is held and replayed in order).
// After 300 ms the action shows the wait cursor until it ends, or until an
// event loop goes idle inside it (a dialog waiting for the user). Such a
// dialog (the error box of a handler that failed inside the wait) gets its
// input: only the action's own pump holds input back.
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <vector>

class QWidget;

namespace ktx {

class RealTimeSource;

class ActionGuard {
public:
    static constexpr int64_t kPumpIntervalUs = 15000;
    static constexpr int64_t kWaitCursorAfterUs = 300000;

    // Becomes the guard of window and the pump of time until destroyed.
    ActionGuard(QWidget& window, RealTimeSource& time, QEvent::Type deviceChangeType);
    ~ActionGuard();
    ActionGuard(const ActionGuard&) = delete;
    ActionGuard& operator=(const ActionGuard&) = delete;

    // The application's part: every event delivery is one Delivery; the
    // outermost one that ends closes the action. An event that must wait for
    // the running action is taken by holdsBack (true: not to be delivered).
    class Delivery {
    public:
        Delivery();
        ~Delivery();
        Delivery(const Delivery&) = delete;
        Delivery& operator=(const Delivery&) = delete;
    };
    static bool holdsBack(QObject* receiver, QEvent* event);

    // The guard in charge, if any.
    static ActionGuard* active();

    // Timer ticks skipped inside actions since the guard was made.
    int skippedTicks() const { return skippedTicks_; }

private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;  // null: the window's close
    };

    void pump();
    void actionEnded();
    void restoreCursor();
    void loopGoesIdle();
    bool holdBack(QObject* receiver, QEvent* event);
    bool isWindowTimer(QObject* receiver) const;
    void releaseHeld();

    QWidget& window_;
    RealTimeSource& time_;
    const QEvent::Type deviceChangeType_;

    int64_t actionStartUs_ = -1;  // the action's first wait; -1: none yet
    int64_t lastPumpUs_ = 0;
    bool pumping_ = false;
    bool loopInsidePump_ = false;  // a dialog's event loop runs inside the pump
    bool waitCursor_ = false;
    bool deviceChangeHeld_ = false;
    bool closeHeld_ = false;
    int skippedTicks_ = 0;
    std::vector<Held> held_;
    QMetaObject::Connection idleConnection_;
};

}  // namespace ktx
