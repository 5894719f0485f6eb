// zindra: the trace window.
#include "app/application.h"
#include "app/trace_window.h"

int main(int argc, char** argv) {
    zindra::app::Application app(argc, argv);
    zindra::app::TraceWindow window(app.dialogs());
    window.show();
    // Logout, shutdown or a restart for updates in the night: a trace ends
    // as Stopp ends it (its recording complete, the FAT told to stop).
    app.watchSystemEnd([&](int signal) {
        window.endBySystem(signal);
        if (signal == 0) return;  // the session manager closes the window itself
        window.saveSettings();
        app.quit();
    });
    return app.exec();
}
