#include "app/ui_bridge.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace zindra::app {

struct UiBridge::State {
    std::mutex mutex;
    std::condition_variable cv;
    QObject* context = nullptr;  // guarded by mutex; null once the bridge is gone
    QThread* thread = nullptr;

    // Queues fn on the context object.  False when the bridge is gone.
    template <class F>
    bool queue(F&& fn) {
        std::lock_guard lock(mutex);
        if (context == nullptr) return false;
        QMetaObject::invokeMethod(context, std::forward<F>(fn), Qt::QueuedConnection);
        return true;
    }
};

namespace {

// Tells the waiting caller that its call is over: run, or destroyed unrun
// because the bridge went away first.
struct Completion {
    std::shared_ptr<UiBridge::State> state;
    std::shared_ptr<bool> done = std::make_shared<bool>(false);

    void signal() const {
        std::lock_guard lock(state->mutex);
        *done = true;
        state->cv.notify_all();
    }
};

class SignalOnDestroy {
public:
    explicit SignalOnDestroy(Completion completion) : completion_(std::move(completion)) {}
    SignalOnDestroy(const SignalOnDestroy&) = delete;
    SignalOnDestroy& operator=(const SignalOnDestroy&) = delete;
    ~SignalOnDestroy() { completion_.signal(); }

private:
    Completion completion_;
};

}  // namespace

UiBridge::UiBridge() : state_(std::make_shared<State>()) {
    state_->context = new QObject;
    state_->thread = QThread::currentThread();
}

UiBridge::~UiBridge() {
    QObject* context = nullptr;
    {
        std::lock_guard lock(state_->mutex);
        context = state_->context;
        state_->context = nullptr;
    }
    // Deleting the context drops its queued calls, which releases their callers.
    delete context;
}

serial::Dispatcher UiBridge::dispatcher() const {
    return [state = state_](const std::function<void()>& fn) {
        if (QThread::currentThread() == state->thread) {
            fn();
            return;
        }
        Completion completion{state};
        auto guard = std::make_shared<SignalOnDestroy>(completion);
        // The guard signals when the queued call has run or when Qt drops it;
        // fn stays alive meanwhile because this caller waits for that.
        const bool queued = state->queue([guard, &fn]() mutable {
            fn();
            guard.reset();
        });
        guard.reset();
        if (!queued) return;
        std::unique_lock lock(state->mutex);
        state->cv.wait(lock, [&] { return *completion.done; });
    };
}

void UiBridge::post(std::function<void()> fn) const { state_->queue(std::move(fn)); }

std::function<void(std::function<void()>)> UiBridge::poster() const {
    return [state = state_](std::function<void()> fn) { state->queue(std::move(fn)); };
}

}  // namespace zindra::app
