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
// Taking the tracker for a while (a check, a modem update): an exclusive
// action pauses every poll while it is queued or runs. A poll is an action
// keyed by its QTimer; its ticks are dropped, and its timer and check box are
// left as they are, so the polls go on by themselves afterwards. The action's
// work gets a stop token that stopExclusive() trips (the window's close, a
// signal). holdPolls() pauses the polls the same way without an action (a tab
// that needs the channel to itself while it is shown).
//
// KTX_DEBUG_ACTIONS=<file name> appends one line per step of every keyed
// action ("<ms> queued|refused|paused|start|end <key's object name>") to that
// file in the working directory, for tests that drive the whole program.
#include <QMetaObject>
#include <QObject>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <atomic>
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

#if defined(__SANITIZE_THREAD__)
#define KTX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KTX_THREAD_SANITIZER 1
#endif
#endif

namespace ktx {

// ThreadSanitizer does not see the locks inside Qt's posted-event queue, so
// under it a call is posted to the GUI thread while a lock of ours is held,
// and the GUI thread takes that lock before it reads anything handed over
// (the posted closure itself included): the order the queue gives anyway, in
// a form it sees. Elsewhere both cost nothing.
#ifdef KTX_THREAD_SANITIZER
inline std::mutex& handOffLock()
{
    static std::mutex lock;
    return lock;
}
// Held by the posting thread for the whole post.
struct HandOffPost {
    std::lock_guard<std::mutex> held{handOffLock()};
};
// First thing the receiving thread does.
inline void handOffReceived()
{
    const std::lock_guard passed(handOffLock());
}
#else
struct HandOffPost {};
inline void handOffReceived() {}
#endif

// Runs call on object's thread after everything posted to it before; at once
// when already there. Dropped if object is gone by then: object must outlive
// the caller's thread's use of it (the window, the queue), since checking a
// widget that the GUI thread may delete meanwhile is itself a race.
template <class Call>
void onGuiThread(QObject* object, Call&& call)
{
    if (!object)
        return;
    if (QThread::currentThread() == object->thread()) {
        call();
        return;
    }
    [[maybe_unused]] const HandOffPost post;
    QMetaObject::invokeMethod(
        object,
        [call = std::forward<Call>(call)]() mutable {
            handOffReceived();
            call();
        },
        Qt::QueuedConnection);
}

// An exclusive action's stop token: tripped on the GUI thread, read on the worker.
using StopToken = std::shared_ptr<std::atomic<bool>>;

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
        StopToken stop;                      // set: the action takes the tracker exclusively
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
    // False once shut down (the window is closing).
    bool accepting() const { return !shutDown_; }

    // An exclusive action is queued or running.
    bool exclusiveActionPending() const { return exclusiveActions_ > 0; }
    // Trips the stop token of every exclusive action queued or running.
    void stopExclusive();
    // Polls paused without an action, until the same number of releases.
    void holdPolls();
    void releasePolls();
    bool pollsPaused() const { return exclusiveActions_ > 0 || pollHolds_ > 0; }

    // Drops the queued actions and accepts no more; the running one ends
    // normally, then idle() follows.
    void shutDown();

signals:
    // Nothing runs and nothing is queued.
    void idle();
    // The first exclusive action was queued (true), the last one ended (false).
    void exclusiveActionChanged(bool pending);

private:
    bool add(Action action, bool first);
    void startNext();
    void runInline();
    void finish(std::exception_ptr error);
    void release(Action& action);
    void disable(Action& action);
    void countExclusive(const Action& action, int change);
    void assertGuiThread() const;
    void trace(const char* step, const QObject* key) const;
    void workerLoop();

    const Mode mode_;
    std::deque<Action> queue_;
    std::optional<Action> running_;
    bool shutDown_ = false;
    bool draining_ = false;  // Inline: a drain loop is on the stack
    int exclusiveActions_ = 0;  // queued or running
    int pollHolds_ = 0;
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

class DeviceAccess;
template <class Work, class Done>
void runDeviceAction(DeviceAccess access, const QObject* key, QWidget* owner, QWidget* button, Work work, Done done);
template <class Work, class Done>
bool takeTrackerExclusively(DeviceAccess access, const QObject* key, QWidget* owner, QWidget* button, Work work,
    Done done);
template <class Work>
void runDeviceActionFirst(DeviceAccess access, const QObject* key, QWidget* owner, Work work);

// What the GUI thread holds of the device side. The link, what identification
// found and every poll's memory belong to the device worker: the context that
// reaches them is handed only into an action's work, so GUI code that reads
// them does not compile. What is left here is safe on the GUI thread: the
// queue, the consoles (their writers post to the GUI) and the clock's
// readings (its waits and beeps are the worker's).
class DeviceAccess {
public:
    // Implicit: a tab built on a context in a test, or the window's device side.
    DeviceAccess(AppContext& context) : context_(&context) {}

    DeviceActions* actions() const { return context_->actions; }
    LogSink& log() const { return context_->log; }
    const TimeSource& clock() const { return context_->time; }

private:
    AppContext* context_;

    template <class T>
    friend class WorkerOwned;
    template <class Work, class Done>
    friend void runDeviceAction(DeviceAccess, const QObject*, QWidget*, QWidget*, Work, Done);
    template <class Work, class Done>
    friend bool takeTrackerExclusively(DeviceAccess, const QObject*, QWidget*, QWidget*, Work, Done);
    template <class Work>
    friend void runDeviceActionFirst(DeviceAccess, const QObject*, QWidget*, Work);
};

// State that only the device worker touches between actions (what a poll
// remembers from one tick to the next): reachable only with the context a
// work function is given.
template <class T>
class WorkerOwned {
public:
    // Made on the device side it will work with.
    template <class... Args>
    explicit WorkerOwned(DeviceAccess device, Args&&... args) : value_(*device.context_, std::forward<Args>(args)...)
    {
    }

    T& in(AppContext&) { return value_; }

private:
    T value_;
};

namespace detail {

template <class Work, class Done>
DeviceActions::Action makeAction(const QObject* key, QWidget* owner, QWidget* button, Work work, Done done)
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
    return action;
}

inline bool enqueueOrRun(AppContext& context, DeviceActions::Action action, bool first = false)
{
    if (context.actions)
        return first ? context.actions->enqueueFirst(std::move(action)) : context.actions->enqueue(std::move(action));
    action.work();
    action.done();
    return true;
}

}  // namespace detail

// The tab side: work(device) on the device worker, then done(result) on the
// GUI thread. Without a queue (a tab built on its own in a test) both run at
// once.
template <class Work, class Done>
void runDeviceAction(DeviceAccess access, const QObject* key, QWidget* owner, QWidget* button, Work work, Done done)
{
    AppContext& context = *access.context_;
    auto bound = [&context, work = std::move(work)]() mutable { return work(context); };
    detail::enqueueOrRun(context, detail::makeAction(key, owner, button, std::move(bound), std::move(done)));
}

// The same with the tracker taken exclusively: work(device, stop) may end
// early once stop is set. False when the queue refused it.
template <class Work, class Done>
bool takeTrackerExclusively(DeviceAccess access, const QObject* key, QWidget* owner, QWidget* button, Work work,
    Done done)
{
    AppContext& context = *access.context_;
    StopToken stop = std::make_shared<std::atomic<bool>>(false);
    auto bound = [&context, stop, work = std::move(work)]() mutable {
        return work(context, static_cast<const std::atomic<bool>&>(*stop));
    };
    DeviceActions::Action action = detail::makeAction(key, owner, button, std::move(bound), std::move(done));
    action.stop = std::move(stop);
    return detail::enqueueOrRun(context, std::move(action));
}

// work(device) ahead of everything queued (a device change): next after
// the running action.
template <class Work>
void runDeviceActionFirst(DeviceAccess access, const QObject* key, QWidget* owner, Work work)
{
    AppContext& context = *access.context_;
    auto bound = [&context, work = std::move(work)]() mutable { work(context); };
    detail::enqueueOrRun(context, detail::makeAction(key, owner, nullptr, std::move(bound), [] {}), true);
}

}  // namespace ktx
