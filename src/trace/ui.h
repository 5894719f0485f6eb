// What the trace session asks of the window (or of the CLI standing in for it).
#pragma once

#include <string>

namespace zindra::trace {

enum class PanelColour { ButtonFace, Red };

class TraceUi {
public:
    virtual ~TraceUi() = default;
    virtual void setCaption(const std::string& caption) = 0;       // the main window's caption
    virtual void setPanelCaption(const std::string& caption) = 0;  // Panel1
    virtual void setPanelColour(PanelColour colour) = 0;
    virtual void setCaptureCount(const std::string& text) = 0;  // Label5
    // A modal error box (title "Fehler", one OK button); returns when closed.
    // The text is Windows-1252.
    virtual void showError(const std::string& text) = 0;
    // running: StoppTrace enabled and StartTrace disabled; otherwise the reverse.
    virtual void setTraceButtons(bool running) = 0;
};

// Does nothing; for tests and tools that only want the panes.
class NullUi : public TraceUi {
public:
    void setCaption(const std::string&) override {}
    void setPanelCaption(const std::string&) override {}
    void setPanelColour(PanelColour) override {}
    void setCaptureCount(const std::string&) override {}
    void showError(const std::string&) override {}
    void setTraceButtons(bool) override {}
};

}  // namespace zindra::trace
