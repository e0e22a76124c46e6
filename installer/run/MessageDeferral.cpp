#include "installer/run/MessageDeferral.h"

#include "platform/Platform.h"
#include "platform/Win32.h"

namespace zentra_run {

namespace {

thread_local MessageDeferral* t_deferral = nullptr;

}  // namespace

MessageDeferral::MessageDeferral(std::vector<std::pair<std::string, std::string>>* record, bool show)
    : m_outer(t_deferral), m_record(record), m_show(show)
{
    t_deferral = this;
}

MessageDeferral::~MessageDeferral()
{
    t_deferral = m_outer;
    for (const auto& [text, caption] : m_kept) {
        if (m_record != nullptr)
            m_record->emplace_back(caption, text);
        if (m_show)
            ShowInstallerMessage(text, caption);
    }
}

void ShowInstallerMessage(const std::string& text, const std::string& caption)
{
    if (t_deferral != nullptr) {
        t_deferral->m_kept.emplace_back(text, caption);
        return;
    }
    platform::ShowMessageBox(text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace zentra_run
