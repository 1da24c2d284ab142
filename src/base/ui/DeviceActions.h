#pragma once
// Every exchange with the tracker is an action in one queue: one action runs
// at a time, in the order they were asked for.
//
// Threads: the queue itself (enqueue, the buttons, each action's `done`)
// belongs to the GUI thread. An action's `work` runs on the device worker
// thread, which alone uses the link and the time source's waits; the window
// never waits for the device. Whatever the work shows goes back to the GUI
// thread through onGuiThread, in order. In Inline mode (tests on a virtual
// clock) the work runs on the caller's thread instead, so a click has done
// everything by the time it returns.
//
// Fairness: an action with a key (a poll's timer, a one-shot button) is
// queued at most once: a tick that finds its poll still queued or running is
// merged into it. With every key queued at most once, first in first out
// gives each running poll its turn before any other poll runs twice.
//
// KTX_DEBUG_ACTIONS=<file name> appends one line per step of every keyed
// action ("<ms> queued|refused|start|end <key's object name>") to that file
// in the working directory, for tests that drive the whole program.
#include <QMetaObject>
#include <QObject>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

#include "link/AppContext.h"

namespace ktx {

// Runs call on object's thread after everything posted to it before; at once
// when already there. Dropped if object is gone by then.
template <class Call>
void onGuiThread(QObject* object, Call&& call)
{
    if (!object)
        return;
    if (QThread::currentThread() == object->thread())
        call();
    else
        QMetaObject::invokeMethod(object, std::forward<Call>(call), Qt::QueuedConnection);
}

class DeviceActions : public QObject {
    Q_OBJECT
public:
    enum class Mode { Inline, Worker };

    struct Action {
        const QObject* key = nullptr;        // null: never merged; its name in the trace
        QPointer<QWidget> button;            // greyed while queued or running
        QPointer<QObject> owner;             // gone by then: done is skipped
        std::function<void()> work;          // on the worker
        std::function<void()> done;          // on the GUI thread afterwards
    };

    explicit DeviceActions(Mode mode, QObject* parent = nullptr);
    // Drops what is queued and waits for the running action to end.
    ~DeviceActions() override;
    DeviceActions(const DeviceActions&) = delete;
    DeviceActions& operator=(const DeviceActions&) = delete;

    Mode mode() const { return mode_; }

    // False when an action of the same key is queued or running already, or
    // the queue has been shut down.
    bool enqueue(Action action);
    // Ahead of everything queued (a device change): next after the running
    // one, even one of the same key; merged only with one queued.
    bool enqueueFirst(Action action);
    bool isQueued(const QObject* key) const;
    bool isQueuedOrRunning(const QObject* key) const;
    bool running() const { return running_.has_value(); }
    bool busy() const { return running() || !queue_.empty(); }

    // Drops the queued actions and accepts no more; the running one ends
    // normally, then idle() follows.
    void shutDown();

signals:
    // Nothing runs and nothing is queued.
    void idle();

private:
    bool add(Action action, bool first);
    void startNext();
    void runInline();
    void finish(std::exception_ptr error);
    void release(Action& action);
    void disable(Action& action);
    void trace(const char* step, const QObject* key) const;
    void workerLoop();

    const Mode mode_;
    std::deque<Action> queue_;
    std::optional<Action> running_;
    bool shutDown_ = false;
    bool draining_ = false;  // Inline: a drain loop is on the stack
    // The worker waits for one piece of work at a time; a plain thread, so
    // that handing work over costs one wake-up and no event loop.
    std::mutex workMutex_;
    std::condition_variable workReady_;
    std::function<void()> work_;  // handed over, not yet taken
    bool workerStop_ = false;
    std::thread worker_;
    std::string traceFile_;             // empty: no trace
    QElapsedTimer traceClock_;
};

// The tab side: work on the device, then done(result) on the GUI thread.
// Without a queue (a tab built on its own in a test) both run at once.
template <class Work, class Done>
void runDeviceAction(AppContext& context, const QObject* key, QWidget* owner, QWidget* button, Work work, Done done)
{
    using Result = std::invoke_result_t<Work&>;
    DeviceActions::Action action;
    action.key = key;
    action.button = button;
    action.owner = owner;
    if constexpr (std::is_void_v<Result>) {
        action.work = std::move(work);
        action.done = std::move(done);
    } else {
        auto result = std::make_shared<std::optional<Result>>();
        action.work = [result, work = std::move(work)]() mutable { result->emplace(work()); };
        action.done = [result, done = std::move(done)]() mutable {
            if (*result)
                done(std::move(**result));
        };
    }
    if (context.actions) {
        context.actions->enqueue(std::move(action));
        return;
    }
    action.work();
    action.done();
}

}  // namespace ktx
