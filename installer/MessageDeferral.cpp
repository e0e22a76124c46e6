#include "installer/MessageDeferral.h"

#include "platform/Win32.h"

namespace {

thread_local MessageDeferral* t_deferral = nullptr;

}  // namespace

MessageDeferral::MessageDeferral() : m_outer(t_deferral)
{
    t_deferral = this;
}

MessageDeferral::~MessageDeferral()
{
    t_deferral = m_outer;
    for (const auto& [text, caption] : m_kept)
        ShowInstallerMessage(text, caption);
}

void ShowInstallerMessage(const std::string& text, const std::string& caption)
{
    if (t_deferral != nullptr) {
        t_deferral->m_kept.emplace_back(text, caption);
        return;
    }
    MessageBoxA(NULL, text.c_str(), caption.c_str(), MB_OK);
}
