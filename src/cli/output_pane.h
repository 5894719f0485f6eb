// Panes for the command line: one that writes each line once it is complete,
// and one that only counts.
#pragma once

#include <cstdio>
#include <string>

#include "trace/panes.h"

namespace zindra::cli {

// Writes every finished line to a stream as raw bytes followed by "\n".  A
// line is finished once another line is added after it (only the last line
// can still grow), so memory stays bounded however long the input.
class StreamPane final : public trace::Pane {
public:
    explicit StreamPane(std::FILE* out) : out_(out) {}
    ~StreamPane() override { flush(); }

    std::size_t lineCount() const override { return count_; }
    void addLine(std::string_view line) override {
        writeLast();
        last_.assign(line);
        hasLast_ = true;
        ++count_;
    }
    void appendToLastLine(std::string_view text) override {
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
        hasLast_ = false;
        count_ = 0;
    }
    // Writes the last line too; called once the input is done.
    void flush() {
        writeLast();
        std::fflush(out_);
    }

private:
    void writeLast() {
        if (!hasLast_) return;
        last_.push_back('\n');
        std::fwrite(last_.data(), 1, last_.size(), out_);
        last_.clear();
        hasLast_ = false;
    }

    std::FILE* out_;
    std::string last_;
    bool hasLast_ = false;
    std::size_t count_ = 0;
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
