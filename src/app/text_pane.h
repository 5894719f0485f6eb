// A pane of the trace session drawn in one of the window's text boxes.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "trace/panes.h"
#include "trace/routing.h"

class QElapsedTimer;
class QFont;
class QPlainTextEdit;
class QTimer;

namespace zindra::app {

// The panes' font: Zindra Mono, carried by the program, 17 pixels high and of
// fixed pitch, with a glyph for every character a pane draws (fonts/README.md).
QFont paneFont(bool bold);

// Lines are Windows-1252 bytes; the text box shows them converted, with
// control bytes drawn as control pictures so that each line stays one line of
// the box.  Every change by the session sets the box's own modification flag,
// as typing does; clear() resets it.  The box must outlive the pane.
//
// The lines live in memory; the box is brought up to date at most every
// FlushInterval (and at once when it has been quiet that long), so a replay
// that routes millions of lines lays out and paints only what is shown.  What
// the user types into the box comes back into the lines before the pane's
// next change, as if it had been typed at the last update of the box.
class TextBoxPane final : public trace::Pane {
public:
    static constexpr int FlushInterval = 50;  // milliseconds

    explicit TextBoxPane(QPlainTextEdit& box);
    ~TextBoxPane() override;

    std::size_t lineCount() const override;
    void addLine(std::string_view line) override;
    void appendToLastLine(std::string_view text) override;
    void removeFirstLines(std::size_t n) override;
    void clear() override;

    // The lines as bytes, whatever the user typed included.
    std::vector<std::string> lines() const;
    std::string line(std::size_t index) const;

    // Brings the box up to date now and, unless the user has scrolled away
    // from the end, scrolls to the newest line.
    void flush();

    // The time of the last line (an event's, when its chunk was read), for a
    // box that draws times beside the lines; the lines themselves never
    // hold it.  New lines have none until stamped.
    void stampLastLine(trace::ChunkTime time);
    // The time of the box's line `index` as last brought up to date.
    trace::ChunkTime shownTime(std::size_t index) const;

    bool modified() const;
    void setModified(bool modified);

    QPlainTextEdit& box() { return box_; }

private:
    // Takes what the user typed into the lines (the pending changes are put
    // into the box first).
    void takeTyping() const;
    // The first change after an update arms the next one.
    void changed();
    void writeBox() const;

    QPlainTextEdit& box_;
    // What the box shows once it is up to date.
    mutable std::deque<std::string> lines_;
    mutable std::deque<trace::ChunkTime> times_;       // beside lines_
    mutable std::deque<trace::ChunkTime> shownTimes_;  // beside the box's lines
    // The box as last written: its first `dropped_` lines are gone from
    // lines_, the next `kept_` are lines_'s first, unchanged except that the
    // last of them may have grown beyond `keptLastSize_` bytes.
    mutable std::size_t dropped_ = 0;
    mutable std::size_t kept_ = 0;
    mutable std::size_t keptLastSize_ = 0;
    mutable bool typed_ = false;    // the user changed the box's text
    mutable bool writing_ = false;  // the pane itself changes the box
    mutable bool pending_ = false;  // lines_ has changes the box lacks
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<QElapsedTimer> sinceWrite_;
};

}  // namespace zindra::app
