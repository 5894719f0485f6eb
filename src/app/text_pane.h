// A pane of the trace session drawn in one of the window's text boxes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "trace/panes.h"

class QFont;
class QObject;
class QPlainTextEdit;
class QTextCursor;

namespace zindra::app {

// The panes' font: Zindra Mono, carried by the program, 17 pixels high and of
// fixed pitch, with a glyph for every character a pane draws (fonts/README.md).
QFont paneFont(bool bold);

// Lines are Windows-1252 bytes; the text box shows them converted, with
// control bytes drawn as control pictures so that each line stays one line of
// the box.  Every change by the session sets the box's own modification flag,
// as typing does; clear() resets it.  The box must outlive the pane.
class TextBoxPane final : public trace::Pane {
public:
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

    // Hands the changes made so far to the box's layout and, unless the user
    // has scrolled away from the end, scrolls to the newest line.  Runs by
    // itself at the next turn of the event loop.
    void flush();

    bool modified() const;
    void setModified(bool modified);

    QPlainTextEdit& box() { return box_; }

private:
    // Changes are grouped into one edit of the document per turn of the event
    // loop, so the box lays out and repaints once, not once per line.
    QTextCursor& editCursor();
    void changed();

    QPlainTextEdit& box_;
    // An empty document can hold no lines or one empty line; the box cannot
    // tell them apart, so the pane remembers which.
    bool emptyLineHeld_ = false;
    bool editOpen_ = false;
    // The view was at the end when the open edit began: it follows the new
    // lines.  Otherwise it keeps showing the lines the user scrolled to.
    bool follow_ = true;
    std::unique_ptr<QTextCursor> cursor_;
    std::unique_ptr<QObject> flushContext_;  // cancels a pending flush with the pane
};

}  // namespace zindra::app
