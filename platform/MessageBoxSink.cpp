#include "platform/MessageBoxSink.h"

#include <mutex>
#include <utility>

#include "platform/Platform.h"

namespace platform {

namespace {

std::mutex g_sinkMutex;
MessageBoxSink g_sink;

}  // namespace

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink)
{
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    std::swap(g_sink, sink);
    return sink;
}

namespace detail {

bool DeliverToSink(const char* caption, const char* text)
{
    MessageBoxSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkMutex);
        sink = g_sink;
    }
    // Called outside the lock, so that a sink may itself swap sinks.
    if (!sink)
        return false;
    sink(caption != nullptr ? caption : "Error", text != nullptr ? text : "");
    return true;
}

}  // namespace detail

}  // namespace platform
