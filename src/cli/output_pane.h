// Panes for the command line: one that writes each line once it is complete,
// and one that only counts.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "trace/panes.h"

namespace zindra::cli {

// Writes every finished line to a stream as raw bytes followed by "\n".  A
// line is finished once another line is added after it (only the last line
// can still grow), so memory stays bounded however long the input.
class StreamPane final : public trace::Pane {
public:
    // eager: every line is written when added (for a pane whose lines never
    // grow afterwards, such as the event pane in a live trace).
    explicit StreamPane(std::FILE* out, bool eager = false) : out_(out), eager_(eager) {}
    ~StreamPane() override { flush(); }

    std::size_t lineCount() const override { return count_; }
    void addLine(std::string_view line) override {
        writeLast();
        last_.assign(line);
        hasLast_ = true;
        ++count_;
        if (eager_) {
            writeLast();
            drain();
            std::fflush(out_);
        }
    }
    void appendToLastLine(std::string_view text) override {
        // Also where an eager pane has written its last line already: the
        // piece then goes on a line of its own.
        if (!hasLast_) {
            addLine(text);
            return;
        }
        last_.append(text);
    }
    // Lines already written cannot be taken back; the CLI runs without limits.
    void removeFirstLines(std::size_t) override {}
    void clear() override {
        last_.clear();
        pending_.clear();
        hasLast_ = false;
        count_ = 0;
    }
    // Writes the last line too; called once the input is done.
    void flush() {
        writeLast();
        drain();
        std::fflush(out_);
    }

private:
    // Finished lines collect in a buffer that goes out in large writes.
    void writeLast() {
        if (!hasLast_) return;
        pending_.append(last_);
        pending_.push_back('\n');
        last_.clear();
        hasLast_ = false;
        if (pending_.size() >= 64 * 1024) drain();
    }
    void drain() {
        if (!pending_.empty()) std::fwrite(pending_.data(), 1, pending_.size(), out_);
        pending_.clear();
    }

    std::FILE* out_;
    bool eager_ = false;
    std::string last_;
    std::string pending_;
    bool hasLast_ = false;
    std::size_t count_ = 0;
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
