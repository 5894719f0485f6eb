// A pane that keeps nothing: for benchmarks and tools that want only the
// decoded events.
#pragma once

#include "trace/panes.h"

namespace zindra::bench {

class NullPane final : public trace::Pane {
public:
    std::size_t lineCount() const override { return 0; }
    void addLine(std::string_view) override {}
    void appendToLastLine(std::string_view) override {}
    void removeFirstLines(std::size_t) override {}
    void clear() override {}
};

}  // namespace zindra::bench
