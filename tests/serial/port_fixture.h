// A port on a pseudo-terminal, with a UI loop on the test thread and the
// exceptions of handlers collected.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "serial/comm.h"
#include "serial/pty.h"
#include "serial/ui_loop.h"

namespace zindra::serial::test {

class PortTest : public ::testing::Test {
protected:
    PortTest() {
        comm.setDeviceName(pty.path());
        comm.setDispatcher(loop.dispatcher());
        comm.setExceptionHandler([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& ex) {
                reported.emplace_back(ex.what());
            }
        });
    }
    ~PortTest() override {
        comm.close();
        // Let the stopped threads end, so no test leaves one behind.
        loop.runUntil([this] { return comm.runningThreads() == 0; }, std::chrono::seconds(2));
    }

    // Pumps the UI loop until `done` or two seconds.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
        return loop.runUntil(done, timeout);
    }
    // Pumps the UI loop for a while.
    void pump(std::chrono::milliseconds time) {
        loop.runUntil([] { return false; }, time);
    }

    Pty pty;
    UiLoop loop;
    std::vector<std::string> reported;
    Comm comm;  // last: destroyed first
};

}  // namespace zindra::serial::test
