#include "serial/ui_loop.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace zindra::serial {

struct UiLoop::State {
    struct Item {
        std::function<void()> fn;
        std::shared_ptr<bool> done;  // set once fn has run; null for post()
    };

    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Item> queue;
    bool closed = false;
    std::thread::id owner = std::this_thread::get_id();

    void call(const std::function<void()>& fn) {
        if (std::this_thread::get_id() == owner) {
            fn();
            return;
        }
        auto done = std::make_shared<bool>(false);
        std::unique_lock lock(mutex);
        if (closed) return;
        queue.push_back({fn, done});
        cv.notify_all();
        cv.wait(lock, [&] { return *done || closed; });
    }
};

UiLoop::UiLoop() : state_(std::make_shared<State>()) {}

UiLoop::~UiLoop() {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
    state_->queue.clear();
    state_->cv.notify_all();
}

Dispatcher UiLoop::dispatcher() const {
    return [state = state_](const std::function<void()>& fn) { state->call(fn); };
}

void UiLoop::post(std::function<void()> fn) {
    std::lock_guard lock(state_->mutex);
    if (state_->closed) return;
    state_->queue.push_back({std::move(fn), nullptr});
    state_->cv.notify_all();
}

std::size_t UiLoop::runPending() {
    std::size_t ran = 0;
    for (;;) {
        State::Item item;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->queue.empty()) return ran;
            item = std::move(state_->queue.front());
            state_->queue.pop_front();
        }
        // Mark the item done also when it throws, so its poster goes on.
        struct Done {
            State& state;
            std::shared_ptr<bool>& done;
            ~Done() {
                if (!done) return;
                std::lock_guard lock(state.mutex);
                *done = true;
                state.cv.notify_all();
            }
        } mark{*state_, item.done};
        ++ran;
        item.fn();
    }
}

bool UiLoop::runOnce(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(state_->mutex);
        if (!state_->cv.wait_for(lock, timeout, [&] { return !state_->queue.empty(); })) return false;
    }
    runPending();
    return true;
}

bool UiLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        runPending();
        if (done()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        // Wake now and then so conditions that change without a queued
        // function (bytes arriving at a pseudo-terminal) are seen too.
        const auto step =
            std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(5));
        std::unique_lock lock(state_->mutex);
        state_->cv.wait_for(lock, step, [&] { return !state_->queue.empty(); });
    }
}

}  // namespace zindra::serial
