#pragma once

#include <string>
#include <vector>

#include "trace/ui.h"

namespace zindra::trace {

// Records what the session asks of the window.
class RecordingUi : public TraceUi {
public:
    void setCaption(const std::string& c) override { caption = c; }
    void setPanelCaption(const std::string& c) override { panelCaption = c; }
    void setPanelColour(PanelColour c) override { panelColour = c; }
    void setCaptureCount(const std::string& t) override { label5 = t; }
    void showError(const std::string& t) override { errors.push_back(t); }
    void setTraceButtons(bool r) override { stoppEnabled = r; }

    std::string caption = "Trace";
    std::string panelCaption = "nicht aktiv";
    PanelColour panelColour = PanelColour::ButtonFace;
    std::string label5 = "Label5";
    std::vector<std::string> errors;
    bool stoppEnabled = false;
    int portStops = 0;  // counted where a test sets the session's port steps
};

}  // namespace zindra::trace
