// Hands work from the serial port's worker threads to the UI thread.
#pragma once

#include <functional>
#include <memory>

#include "serial/types.h"

class QObject;

namespace zindra::app {

// Lives on the UI thread.  The functions it gives out stay safe to call from
// any thread after the bridge is gone: they then do nothing.
class UiBridge {
public:
    UiBridge();
    // Calls still waiting are dropped and their callers released.
    ~UiBridge();
    UiBridge(const UiBridge&) = delete;
    UiBridge& operator=(const UiBridge&) = delete;

    // Runs a function on the UI thread and returns once it has run (or was
    // dropped).  On the UI thread itself it runs at once.
    [[nodiscard]] serial::Dispatcher dispatcher() const;
    // Queues a function for the UI thread's next turn without waiting.
    void post(std::function<void()> fn) const;
    [[nodiscard]] std::function<void(std::function<void()>)> poster() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace zindra::app
