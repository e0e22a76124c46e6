#pragma once

// Message boxes wait for the user; a transaction's locks must not. While a
// deferral is alive on a thread, the installer's message boxes of that thread
// are kept, and shown when the deferral goes, after the transaction that it
// outlives has ended. A deferral may also record them, and a preview's shows
// none.

#include <string>
#include <utility>
#include <vector>

namespace zentra_run {

class MessageDeferral {
public:
    // record (when not null) receives every box kept, as caption and text;
    // show false keeps them from being shown at all.
    explicit MessageDeferral(std::vector<std::pair<std::string, std::string>>* record = nullptr, bool show = true);
    ~MessageDeferral();
    MessageDeferral(const MessageDeferral&) = delete;
    MessageDeferral& operator=(const MessageDeferral&) = delete;

private:
    friend void ShowInstallerMessage(const std::string& text, const std::string& caption);
    MessageDeferral* m_outer;
    std::vector<std::pair<std::string, std::string>>* m_record;
    bool m_show;
    std::vector<std::pair<std::string, std::string>> m_kept;  // text, caption
};

// A message box with no owner window and an OK button, or kept for later while
// a deferral is alive.
void ShowInstallerMessage(const std::string& text, const std::string& caption);

}  // namespace zentra_run
