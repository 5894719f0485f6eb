// Panes for the command line: one that writes each line once it is complete,
// and one that only counts.
#pragma once

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "trace/panes.h"

namespace zindra::cli {

// Writes every finished line to a stream as raw bytes followed by "\n".  A
// line is finished once another line is added after it; only the last line
// can still grow, and only at its end, so a long last line is written out
// piece by piece as it grows.  Memory stays bounded however long the input.
class StreamPane final : public trace::Pane {
public:
    // eager: every line is written when added (for a pane whose lines never
    // grow afterwards, such as the event pane in a live trace).
    explicit StreamPane(std::FILE* out, bool eager = false) : out_(out), eager_(eager) {}
    ~StreamPane() override { flush(); }

    std::size_t lineCount() const override { return count_; }
    void addLine(std::string_view line) override {
        writeLast();
        pending_.append(line);
        hasLast_ = true;
        ++count_;
        if (eager_) {
            writeLast();
            drain();
        } else if (pending_.size() >= BufferSize) {
            drain();
        }
    }
    void appendToLastLine(std::string_view text) override {
        // Also where an eager pane has written its last line already: the
        // piece then goes on a line of its own.
        if (!hasLast_) {
            addLine(text);
            return;
        }
        pending_.append(text);
        if (pending_.size() >= BufferSize) drain();
    }
    // Lines already written cannot be taken back; the CLI runs without limits.
    void removeFirstLines(std::size_t) override {}
    void clear() override {
        pending_.clear();
        hasLast_ = false;
        count_ = 0;
    }
    // Writes the last line too; called once the input is done.
    void flush() {
        writeLast();
        drain();
    }
    // Writing to the stream failed (a full disk, a closed pipe); nothing more
    // is written.  The error is kept in error().
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }

private:
    static constexpr std::size_t BufferSize = 64 * 1024;

    // The last line (or what of it has not gone out yet) is at the end of
    // pending_; finishing it adds the line end.
    void writeLast() {
        if (!hasLast_) return;
        pending_.push_back('\n');
        hasLast_ = false;
    }
    void drain() {
        if (error_ == 0 && !pending_.empty()) {
            errno = 0;
            if (std::fwrite(pending_.data(), 1, pending_.size(), out_) != pending_.size() ||
                std::fflush(out_) != 0) {
                error_ = errno != 0 ? errno : EIO;
            }
        }
        pending_.clear();
    }

    std::FILE* out_;
    bool eager_ = false;
    std::string pending_;
    bool hasLast_ = false;
    std::size_t count_ = 0;
    int error_ = 0;
};

// Passes every change to a pane and keeps a copy of its last `keep` lines
// (what a window pane would hold) for saving.
class TeePane final : public trace::Pane {
public:
    TeePane(trace::Pane& target, std::size_t keep) : target_(target), keep_(keep) {}
    std::size_t lineCount() const override { return target_.lineCount(); }
    void addLine(std::string_view line) override {
        target_.addLine(line);
        copy_.addLine(line);
        trim();
    }
    void appendToLastLine(std::string_view text) override {
        target_.appendToLastLine(text);
        copy_.appendToLastLine(text);
    }
    void removeFirstLines(std::size_t n) override { target_.removeFirstLines(n); }
    void clear() override {
        target_.clear();
        copy_.clear();
    }
    std::vector<std::string> lines() const { return {copy_.lines().begin(), copy_.lines().end()}; }

private:
    void trim() {
        if (copy_.lineCount() > keep_) copy_.removeFirstLines(copy_.lineCount() - keep_);
    }
    trace::Pane& target_;
    std::size_t keep_;
    trace::MemoryPane copy_;
};

// Keeps nothing but the number of lines.
class CountingPane final : public trace::Pane {
public:
    std::size_t lineCount() const override { return count_; }
    void addLine(std::string_view) override { ++count_; }
    void appendToLastLine(std::string_view) override {
        if (count_ == 0) count_ = 1;
    }
    void removeFirstLines(std::size_t n) override { count_ = n >= count_ ? 0 : count_ - n; }
    void clear() override { count_ = 0; }

private:
    std::size_t count_ = 0;
};

}  // namespace zindra::cli
