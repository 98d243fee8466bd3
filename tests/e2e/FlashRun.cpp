// The console flasher run from a test, and a reader of its JSON lines.
#include "FlashRun.h"

#include <cstdlib>
#include <cstring>

namespace e2e {

namespace {

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : m_text(text) {}

    bool Object(std::map<std::string, std::string>& members) {
        if (!Take('{'))
            return false;
        if (Take('}'))
            return AtEnd();
        do {
            std::string key, value;
            if (!String(key) || !Take(':') || !Value(value) || members.count(key))
                return false;
            members[key] = value;
        } while (Take(','));
        return Take('}') && AtEnd();
    }

private:
    bool Take(char c) {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool AtEnd() const { return m_at == m_text.size(); }

    bool Hex4(unsigned& code) {
        if (m_at + 4 > m_text.size())
            return false;
        char* end = nullptr;
        const std::string digits = m_text.substr(m_at, 4);
        code = static_cast<unsigned>(std::strtoul(digits.c_str(), &end, 16));
        m_at += 4;
        return end == digits.c_str() + 4;
    }

    bool String(std::string& out) {
        if (!Take('"'))
            return false;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at == m_text.size())
                return false;
            const char escape = m_text[m_at++];
            const std::string simple = "\"\\/bfnrt";
            const std::string meaning = "\"\\/\b\f\n\r\t";
            if (simple.find(escape) != std::string::npos) {
                out += meaning[simple.find(escape)];
                continue;
            }
            unsigned code = 0;
            if (escape != 'u' || !Hex4(code))
                return false;
            if (code >= 0xD800 && code <= 0xDBFF) {
                unsigned low = 0;
                if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                    return false;
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            }
            AppendUtf8(out, code);
        }
        return false;
    }

    bool Value(std::string& out) {
        if (m_at < m_text.size() && m_text[m_at] == '"')
            return String(out);
        for (const char* word : {"true", "false", "null"}) {
            if (m_text.compare(m_at, std::strlen(word), word) == 0) {
                out = word;
                m_at += std::strlen(word);
                return true;
            }
        }
        const std::size_t start = m_at;
        Take('-');
        const std::size_t digits = m_text.find_first_not_of("0123456789", m_at);
        if (digits == m_at || digits == std::string::npos)
            return false;
        m_at = digits;
        if (Take('.')) {
            const std::size_t fraction = m_text.find_first_not_of("0123456789", m_at);
            if (fraction == m_at || fraction == std::string::npos)
                return false;
            m_at = fraction;
        }
        out = m_text.substr(start, m_at - start);
        return true;
    }

    const std::string& m_text;
    std::size_t m_at = 0;
};

} // namespace

FlashRun::FlashRun(const std::wstring& folder, const std::wstring& arguments, bool pipedInput)
    : m_start(GetTickCount()),
      m_process(folder + L"ostrel-flash.exe", arguments, ChildProcess::Output::Separate, folder, {}, pipedInput) {}

bool FlashRun::WaitForOutput(const std::string& text, DWORD timeoutMs) {
    const DWORD began = GetTickCount();
    for (;;) {
        m_process.Read();
        if (Out().find(text) != std::string::npos)
            return true;
        if (GetTickCount() - began >= timeoutMs)
            return false;
        Sleep(10);
    }
}

int FlashRun::Wait(DWORD timeoutMs) {
    if (!m_process.WaitForEnd(timeoutMs))
        return -1;
    m_elapsedMs = GetTickCount() - m_start;
    return m_process.ExitCode();
}

bool ParseFlatJson(const std::string& text, std::map<std::string, std::string>& members) {
    return JsonReader(text).Object(members);
}

} // namespace e2e
