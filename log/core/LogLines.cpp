// Lines of a log read in pieces.
#include "LogLines.h"

void LogLines::Feed(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(std::string_view("\n\0", 2));
        const std::string_view part = text.substr(0, end);
        if (!m_overlong && m_pending.size() + part.size() <= kLongestLine)
            m_pending.append(part);
        else
            m_overlong = true;
        if (end == std::string_view::npos) {
            m_fed += text.size();
            if (m_overlong)
                m_pending.clear();
            return;
        }
        m_fed += end + 1;
        m_completed = m_fed;
        if (!m_overlong && !m_pending.empty())
            m_take(m_pending);
        m_pending.clear();
        m_overlong = false;
        text.remove_prefix(end + 1);
    }
}

void LogLines::End() {
    if (!m_overlong && !m_pending.empty())
        m_take(m_pending);
    m_pending.clear();
    m_overlong = false;
}
