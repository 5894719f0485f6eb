// zindra: the trace window.
#include "app/application.h"
#include "app/trace_window.h"

int main(int argc, char** argv) {
    zindra::app::Application app(argc, argv);
    zindra::app::TraceWindow window(app.dialogs());
    window.show();
    return app.exec();
}
