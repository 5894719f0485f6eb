// Starts a program in the background with its output in files, for tests
// that need two processes at once.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/run_cli.h"

extern char** environ;

namespace zindra::testing {

class Process {
public:
    Process(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath)
        : out_(outPath), err_(errPath) {
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
    }
    ~Process() {
        if (pid_ > 0 && !done_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void signal(int sig) const {
        if (pid_ > 0 && !done_) ::kill(pid_, sig);
    }
    // Exit status, or -1 when it did not end within the time-out (or died of a signal).
    int wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(20000)) {
        if (done_) return status_;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            int raw = 0;
            rusage usage{};
            const pid_t r = ::wait4(pid_, &raw, WNOHANG, &usage);
            if (r == pid_) {
                done_ = true;
                maxRssKb_ = usage.ru_maxrss;
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
                return status_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    // Waits until the output holds a whole first line and returns it.
    std::string firstLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            const std::string s = readAll(out_);
            const std::size_t lf = s.find('\n');
            if (lf != std::string::npos) return s.substr(0, lf);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }
    std::string out() const { return readAll(out_); }
    std::string err() const { return readAll(err_); }
    bool started() const { return pid_ > 0; }
    // The peak resident memory of the ended process.
    long maxRssKb() const { return maxRssKb_; }

private:
    pid_t pid_ = -1;
    bool done_ = false;
    int status_ = -1;
    long maxRssKb_ = 0;
    std::string out_, err_;
};

}  // namespace zindra::testing
