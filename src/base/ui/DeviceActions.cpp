#include "base/ui/DeviceActions.h"

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
    if (mode_ != Mode::Worker)
        return;
    worker_.setObjectName(QStringLiteral("device worker"));
    workerContext_ = new QObject;
    workerContext_->moveToThread(&worker_);
    connect(&worker_, &QThread::finished, workerContext_, &QObject::deleteLater);
    worker_.start();
}

DeviceActions::~DeviceActions()
{
    shutDown();
    if (mode_ != Mode::Worker)
        return;
    // The running action ends first: a flash is never cut off.
    worker_.quit();
    worker_.wait();
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

bool DeviceActions::add(Action action, bool first)
{
    // What comes first answers something new (a device change during an
    // identification): it merges only with one still waiting.
    if (shutDown_ || (first ? isQueued(action.key) : isQueuedOrRunning(action.key))) {
        trace("refused", action.key);
        return false;
    }
    trace("queued", action.key);
    if (!action.owner)
        action.owner = this;
    disable(action);
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

void DeviceActions::shutDown()
{
    shutDown_ = true;
    std::deque<Action> dropped;
    dropped.swap(queue_);
    for (Action& action : dropped)
        release(action);
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
        if (ended.owner && ended.done)
            ended.done();
    }
    emit idle();
}

void DeviceActions::startNext()
{
    if (running_)
        return;
    if (queue_.empty()) {
        emit idle();
        return;
    }
    running_ = std::move(queue_.front());
    queue_.pop_front();
    trace("start", running_->key);
    std::function<void()> work = running_->work;
    QMetaObject::invokeMethod(
        workerContext_,
        [this, work = std::move(work)] {
            std::exception_ptr error;
            try {
                if (work)
                    work();
            } catch (...) {
                error = std::current_exception();
            }
            // Behind every view call the work has posted.
            QMetaObject::invokeMethod(this, [this, error] { finish(error); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void DeviceActions::finish(std::exception_ptr error)
{
    Action ended = std::move(*running_);
    running_.reset();
    trace("end", ended.key);
    release(ended);
    // The next action starts whatever this one's ending does.
    QMetaObject::invokeMethod(this, [this] { startNext(); }, Qt::QueuedConnection);
    if (error)
        std::rethrow_exception(error);  // reported by the application like any handler's
    if (ended.owner && ended.done)
        ended.done();
}

}  // namespace ktx
