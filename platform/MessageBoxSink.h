#pragma once

// The process-wide message box sink, shared by both platforms.

namespace platform::detail {

// Hands a message box to the installed sink; false when none is installed.
bool DeliverToSink(const char* caption, const char* text);

}  // namespace platform::detail
