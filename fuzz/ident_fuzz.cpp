// Arbitrary reply bytes through the identification.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "trace/identify.h"
#include "trace/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zindra;
    trace::MemoryPane text, hex, event;
    trace::Panes panes{text, hex, event};
    trace::NullUi ui;
    trace::TraceSession session(panes, ui);

    // As received in chunks while the reply is awaited.
    session.clearIdentText();
    session.enterWaiting();
    std::size_t pos = 0;
    while (pos < size && session.awaitingIdent()) {
        const std::size_t n = std::min<std::size_t>(80, size - pos);
        session.receiveChunk(data + pos, n);
        pos += n;
    }
    if (!session.awaitingIdent()) {
        const std::string& t = session.identText();
        // The trimmed reply never holds its line feed.
        if (t.find('\n') != std::string::npos) std::abort();
        const bool matched = session.identOutcome() == trace::IdentOutcome::Matched;
        if (matched && !trace::matchPanelType(t).has_value()) std::abort();
    }

    // And given by name.
    std::string reply(reinterpret_cast<const char*>(data), size);
    std::string text2 = reply;
    session.identifyPanel(text2);
    if (text2.size() > reply.size()) std::abort();
    return 0;
}
