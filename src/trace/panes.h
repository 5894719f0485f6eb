// The three panes behind a small interface, so that the trace session can
// fill Qt text boxes in the window and plain line lists in the CLI and tests.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace zindra::trace {

class Pane {
public:
    virtual ~Pane() = default;
    virtual std::size_t lineCount() const = 0;
    virtual void addLine(std::string_view line) = 0;
    // Appends to the last line; in an empty pane the text becomes the first line.
    virtual void appendToLastLine(std::string_view text) = 0;
    virtual void removeFirstLines(std::size_t n) = 0;
    virtual void clear() = 0;
};

struct Panes {
    Pane& text;   // Memo1
    Pane& hex;    // Memo2
    Pane& event;  // Memo3
};

// Lines kept in memory, Windows-1252 bytes as received.
class MemoryPane final : public Pane {
public:
    std::size_t lineCount() const override { return lines_.size(); }
    void addLine(std::string_view line) override {
        lines_.emplace_back(line);
        modified_ = true;
    }
    void appendToLastLine(std::string_view text) override {
        if (lines_.empty()) lines_.emplace_back();
        lines_.back().append(text);
        modified_ = true;
    }
    void removeFirstLines(std::size_t n) override {
        if (n >= lines_.size()) {
            lines_.clear();
        } else {
            lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(n));
        }
        modified_ = true;
    }
    void clear() override {
        lines_.clear();
        modified_ = false;
    }

    const std::deque<std::string>& lines() const { return lines_; }
    bool modified() const { return modified_; }
    void setModified(bool m) { modified_ = m; }

private:
    std::deque<std::string> lines_;
    bool modified_ = false;
};

}  // namespace zindra::trace
