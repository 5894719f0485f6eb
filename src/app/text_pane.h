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
// the box.  Every change by the session sets the box's own modification flag;
// clear() resets it.  The box must outlive the pane.  The pane makes the box
// read-only: the user may select and copy, never change what was received.
//
// The lines live in memory; the box is brought up to date at most every
// FlushInterval (and at once when it has been quiet that long), so a replay
// that routes millions of lines lays out and paints only what is shown.
//
// A box whose view stands at its end follows the new lines, also through a
// resize that lays its lines out anew; one scrolled up to read keeps the
// lines in view that it shows, whatever is added or cut from the top.
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

    // The lines as bytes.
    std::vector<std::string> lines() const;
    std::string line(std::size_t index) const;

    // Brings the box up to date now and, unless the user has scrolled away
    // from the end, scrolls to the newest line.
    void flush();
    // The view stands at the newest line and follows new ones.
    bool following() const { return endInView(); }

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
    class Pictures;

    // The first change after an update arms the next one.
    void changed();
    void writeBox();
    void scrollToEnd();
    bool endInView() const;

    QPlainTextEdit& box_;
    // What the box shows once it is up to date.
    std::deque<std::string> lines_;
    std::deque<trace::ChunkTime> times_;       // beside lines_
    std::deque<trace::ChunkTime> shownTimes_;  // beside the box's lines
    // The box as last written: its first `dropped_` lines are gone from
    // lines_, the next `kept_` are lines_'s first, unchanged except that the
    // last of them may have grown beyond `keptLastSize_` bytes.
    std::size_t dropped_ = 0;
    std::size_t kept_ = 0;
    std::size_t keptLastSize_ = 0;
    bool pending_ = false;  // lines_ has changes the box lacks
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<QElapsedTimer> sinceWrite_;
    Pictures* pictures_ = nullptr;  // a child of the box
};

}  // namespace zindra::app
