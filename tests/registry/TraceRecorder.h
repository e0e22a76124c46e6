#pragma once

// Collects the trace texts of CRegistry for one test.

#include <string>
#include <vector>

#include "registry/CRegistry.h"

namespace zentra_test_local {

class TraceRecorder {
public:
    TraceRecorder() {
        Lines().clear();
        m_previous = registry_trace::SetSink(&Record);
    }
    ~TraceRecorder() { registry_trace::SetSink(m_previous); }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    // The texts since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(Lines());
        return taken;
    }

private:
    static std::vector<std::string>& Lines() {
        static std::vector<std::string> lines;
        return lines;
    }
    static void Record(const char* text) { Lines().push_back(text); }

    registry_trace::Sink m_previous = nullptr;
};

}  // namespace zentra_test_local
