#include "widgets/DeviceActions.h"

#include <QTimer>
#include <algorithm>

#include "base/FileWriter.h"

namespace ktx {

DeviceActions::DeviceActions(Mode mode, QObject* parent) : QObject(parent), mode_(mode)
{
    // A plain file name only: the trace stays in the working directory.
    const QByteArray traceName = qgetenv("KTX_DEBUG_ACTIONS");
    if (!traceName.isEmpty() && !traceName.contains('/') && traceName != "." && traceName != "..") {
        traceFile_ = "./" + traceName.toStdString();
        traceClock_.start();
    }
    if (mode_ == Mode::Worker)
        worker_ = std::thread([this] { workerLoop(); });
}

DeviceActions::~DeviceActions()
{
    shutDown();
    if (mode_ != Mode::Worker)
        return;
    // The running action ends first: a flash is never cut off.
    {
        const std::lock_guard lock(workMutex_);
        workerStop_ = true;
    }
    workReady_.notify_one();
    worker_.join();
}

void DeviceActions::workerLoop()
{
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(workMutex_);
            workReady_.wait(lock, [this] { return work_ || workerStop_; });
            if (!work_)
                return;
            work = std::move(work_);
            work_ = nullptr;
        }
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        // Behind every view call the work has posted.
        [[maybe_unused]] const HandOffPost post;
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                handOffReceived();
                finish(error);
            },
            Qt::QueuedConnection);
    }
}

bool DeviceActions::enqueue(Action action)
{
    return add(std::move(action), false);
}

bool DeviceActions::enqueueFirst(Action action)
{
    return add(std::move(action), true);
}

bool DeviceActions::isQueuedOrRunning(const QObject* key) const
{
    if (!key)
        return false;
    return (running_ && running_->key == key) || isQueued(key);
}

bool DeviceActions::isQueued(const QObject* key) const
{
    return key && std::any_of(queue_.begin(), queue_.end(), [key](const Action& queued) { return queued.key == key; });
}

void DeviceActions::assertGuiThread() const
{
    Q_ASSERT_X(QThread::currentThread() == thread(), "DeviceActions", "used off the GUI thread");
}

namespace {

// A poll is an action its timer asks for.
bool isPoll(const QObject* key)
{
    return qobject_cast<const QTimer*>(key) != nullptr;
}

}  // namespace

bool DeviceActions::add(Action action, bool first)
{
    assertGuiThread();
    // What comes first answers something new (a device change during an
    // identification): it merges only with one still waiting.
    if (shutDown_ || (first ? isQueued(action.key) : isQueuedOrRunning(action.key))) {
        trace("refused", action.key);
        return false;
    }
    if (pollsPaused() && isPoll(action.key)) {
        trace("paused", action.key);
        return false;
    }
    trace("queued", action.key);
    if (!action.owner)
        action.owner = this;
    disable(action);
    countExclusive(action, +1);
    if (first)
        queue_.push_front(std::move(action));
    else
        queue_.push_back(std::move(action));
    if (mode_ == Mode::Inline)
        runInline();
    else if (!running_)
        startNext();
    return true;
}

void DeviceActions::disable(Action& action)
{
    // A button disabled by someone else stays disabled afterwards.
    if (action.button && !action.button->isEnabled())
        action.button = nullptr;
    if (action.button)
        action.button->setEnabled(false);
}

void DeviceActions::release(Action& action)
{
    if (action.button)
        action.button->setEnabled(true);
}

void DeviceActions::trace(const char* step, const QObject* key) const
{
    if (traceFile_.empty() || !key)
        return;
    const QByteArray line = QByteArray::number(traceClock_.elapsed()) + ' ' + step + ' '
        + key->objectName().toUtf8() + '\n';
    appendToFile(traceFile_, std::string_view(line.constData(), static_cast<size_t>(line.size())));
}

void DeviceActions::countExclusive(const Action& action, int change)
{
    if (!action.stop)
        return;
    const bool wasPending = exclusiveActionPending();
    exclusiveActions_ += change;
    if (wasPending != exclusiveActionPending())
        emit exclusiveActionChanged(exclusiveActionPending());
}

void DeviceActions::stopExclusive()
{
    assertGuiThread();
    if (running_ && running_->stop)
        running_->stop->store(true);
    for (Action& queued : queue_)
        if (queued.stop)
            queued.stop->store(true);
}

void DeviceActions::holdPolls()
{
    assertGuiThread();
    ++pollHolds_;
}

void DeviceActions::releasePolls()
{
    assertGuiThread();
    if (pollHolds_ > 0)
        --pollHolds_;
}

void DeviceActions::shutDown()
{
    shutDown_ = true;
    std::deque<Action> dropped;
    dropped.swap(queue_);
    for (Action& action : dropped) {
        release(action);
        countExclusive(action, -1);
    }
}

void DeviceActions::runInline()
{
    // An action asked for inside another runs after it, as on the worker.
    if (draining_)
        return;
    draining_ = true;
    struct Drain {
        DeviceActions& queue;
        ~Drain()
        {
            queue.draining_ = false;
            if (queue.running_) {
                queue.release(*queue.running_);
                queue.countExclusive(*queue.running_, -1);
                queue.running_.reset();
            }
        }
    } drain{*this};
    while (!queue_.empty()) {
        running_ = std::move(queue_.front());
        queue_.pop_front();
        trace("start", running_->key);
        running_->work();
        Action ended = std::move(*running_);
        running_.reset();
        trace("end", ended.key);
        release(ended);
        countExclusive(ended, -1);
        if (ended.owner && ended.done)
            ended.done();
    }
    emit idle();
}

void DeviceActions::startNext()
{
    if (running_ || queue_.empty())
        return;
    running_ = std::move(queue_.front());
    queue_.pop_front();
    trace("start", running_->key);
    {
        const std::lock_guard lock(workMutex_);
        work_ = running_->work ? std::move(running_->work) : [] {};
    }
    workReady_.notify_one();
}

void DeviceActions::finish(std::exception_ptr error)
{
    assertGuiThread();
    Action ended = std::move(*running_);
    running_.reset();
    trace("end", ended.key);
    release(ended);
    countExclusive(ended, -1);
    // The next action starts whatever this one's ending does; idle comes
    // once this one's results are shown.
    startNext();
    struct IdleAfter {
        DeviceActions& queue;
        ~IdleAfter()
        {
            if (!queue.busy())
                emit queue.idle();
        }
    } idleAfter{*this};
    if (error)
        std::rethrow_exception(error);  // reported by the application like any handler's
    if (ended.owner && ended.done)
        ended.done();
}

}  // namespace ktx
