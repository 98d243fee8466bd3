// WinHTTP (loaded from the system folder: it is no KnownDLL) and plain file reading behind one fetch.
#include "CatalogFetch.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include <windows.h>

#include <winhttp.h>

#include "AnsiText.h"
#include "Handle.h"

namespace {

// Read in large blocks: WinHTTP under Wine moved 58 MB/s with 64 KiB reads and about 350 MB/s with 1 MiB.
constexpr std::size_t kBlockSize = 1024 * 1024;
constexpr DWORD kPatienceMs = 30000;
constexpr std::uint64_t kLeastBytesPerSecond = 1024;
// WSAETIMEDOUT: Wine's WinHTTP passes the socket's timeout on as it is, where Windows gives ERROR_WINHTTP_TIMEOUT.
constexpr DWORD kSocketTimedOut = 10060;

// How long a stage may go without progress, and the span the least average rate is judged over. Tests shorten it
// through the environment so that a stalled server is abandoned in moments, not half a minute.
DWORD PatienceMs() {
    const char* test = std::getenv("OSTREL_TEST_FETCH_PATIENCE_MS");
    const long value = test ? std::strtol(test, nullptr, 10) : 0;
    return value > 0 ? static_cast<DWORD>(value) : kPatienceMs;
}

struct WinHttp {
    decltype(&::WinHttpOpen) Open = nullptr;
    decltype(&::WinHttpConnect) Connect = nullptr;
    decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
    decltype(&::WinHttpSendRequest) SendRequest = nullptr;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
    decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
    decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable = nullptr;
    decltype(&::WinHttpReadData) ReadData = nullptr;
    decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
    decltype(&::WinHttpCrackUrl) CrackUrl = nullptr;
    decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfig = nullptr;
    decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
    HMODULE module = nullptr;
    bool loaded = false;
};

template <class Function> bool Bind(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

const WinHttp& Http() {
    static const WinHttp http = [] {
        WinHttp h;
        h.module = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        h.loaded =
            h.module && Bind(h.module, "WinHttpOpen", h.Open) && Bind(h.module, "WinHttpConnect", h.Connect) &&
            Bind(h.module, "WinHttpOpenRequest", h.OpenRequest) &&
            Bind(h.module, "WinHttpSendRequest", h.SendRequest) &&
            Bind(h.module, "WinHttpReceiveResponse", h.ReceiveResponse) &&
            Bind(h.module, "WinHttpQueryHeaders", h.QueryHeaders) && Bind(h.module, "WinHttpReadData", h.ReadData) &&
            Bind(h.module, "WinHttpQueryDataAvailable", h.QueryDataAvailable) &&
            Bind(h.module, "WinHttpCloseHandle", h.CloseHandle) && Bind(h.module, "WinHttpCrackUrl", h.CrackUrl) &&
            Bind(h.module, "WinHttpSetTimeouts", h.SetTimeouts) &&
            Bind(h.module, "WinHttpGetIEProxyConfigForCurrentUser", h.GetIEProxyConfig) &&
            Bind(h.module, "WinHttpGetProxyForUrl", h.GetProxyForUrl);
        return h;
    }();
    return http;
}

void CloseInternet(HINTERNET handle) {
    Http().CloseHandle(handle);
}
using Internet = UniqueAny<HINTERNET, &CloseInternet>;

// The system gives proxy settings as strings the caller frees.
struct GlobalText {
    LPWSTR text = nullptr;
    GlobalText() = default;
    GlobalText(const GlobalText&) = delete;
    GlobalText& operator=(const GlobalText&) = delete;
    ~GlobalText() {
        if (text)
            GlobalFree(text);
    }
};

std::string ErrorText(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "the name cannot be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "the connection is refused";
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimedOut:
        return "nothing received for " + std::to_string((PatienceMs() + 999) / 1000) + " s";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "the connection was broken";
    case ERROR_WINHTTP_SECURE_FAILURE:
        return "the server's certificate is not valid";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "the server's answer cannot be understood";
    default:
        break;
    }
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                        (Http().module ? FORMAT_MESSAGE_FROM_HMODULE : 0);
    const DWORD length = FormatMessageW(flags, Http().module, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return "Windows error " + std::to_string(error) + (message.empty() ? "" : " (" + WideToUtf8(message) + ")");
}

// Keeps the running count, the limit and the least rate, and hands blocks on.
class Receiver {
public:
    Receiver(std::uint64_t limit, FetchSink& sink, std::string what)
        : m_limit(limit), m_sink(sink), m_what(std::move(what)), m_patience(PatienceMs()),
          m_windowStart(GetTickCount64()) {}

    // False with the result's status and problem set when the fetch must stop.
    bool Take(const std::uint8_t* data, std::size_t size, FetchResult& result) {
        const bool tooLong = size > m_limit - result.bytes;
        const std::size_t kept = tooLong ? static_cast<std::size_t>(m_limit - result.bytes) : size;
        if (kept > 0 && !m_sink.Take(data, kept))
            return Stop(result, FetchStatus::SinkFailed, "cannot keep " + m_what);
        result.bytes += kept;
        if (tooLong)
            return Stop(result, FetchStatus::TooLarge,
                        "reading " + m_what + ": longer than " + std::to_string(m_limit) + " bytes, cut off there");
        m_windowBytes += size;
        const ULONGLONG now = GetTickCount64();
        if (now - m_windowStart >= m_patience) {
            if (m_windowBytes * 1000 < kLeastBytesPerSecond * m_patience)
                return Stop(result, FetchStatus::Unreachable,
                            "reading " + m_what + ": under 1 KiB/s for " + std::to_string((m_patience + 999) / 1000) +
                                " s");
            m_windowStart = now;
            m_windowBytes = 0;
        }
        return true;
    }

    static bool Stop(FetchResult& result, FetchStatus status, std::string problem) {
        result.status = status;
        result.problem = std::move(problem);
        return false;
    }

private:
    std::uint64_t m_limit;
    FetchSink& m_sink;
    std::string m_what;
    DWORD m_patience;
    ULONGLONG m_windowStart;
    std::uint64_t m_windowBytes = 0;
};

bool IsLoopback(const std::wstring& host) {
    return host == L"127.0.0.1" || host == L"localhost" || host == L"[::1]" || host == L"::1";
}

// The session, opened with the proxy that the user's settings give for `url`: WinHTTP takes the proxy only here
// (set on a request, Wine ignores it). Loopback is never sent through a proxy.
Internet OpenSession(const std::wstring& url, const std::wstring& host) {
    const WinHttp& h = Http();
    const wchar_t kAgent[] = L"Ostrel update";
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (IsLoopback(host) || !h.GetIEProxyConfig(&settings))
        return Internet(
            h.Open(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    GlobalText autoConfig, proxy, bypass;
    autoConfig.text = settings.lpszAutoConfigUrl;
    proxy.text = settings.lpszProxy;
    bypass.text = settings.lpszProxyBypass;
    if (settings.fAutoDetect || autoConfig.text) {
        const Internet probe(
            h.Open(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        WINHTTP_AUTOPROXY_OPTIONS options{};
        options.dwFlags = autoConfig.text ? WINHTTP_AUTOPROXY_CONFIG_URL : WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        options.lpszAutoConfigUrl = autoConfig.text;
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO found{};
        // A detection that fails falls through to the named proxy, if any, or a direct connection: never a retry.
        if (probe.IsValid() && h.GetProxyForUrl(probe.Get(), url.c_str(), &options, &found)) {
            GlobalText foundProxy, foundBypass;
            foundProxy.text = found.lpszProxy;
            foundBypass.text = found.lpszProxyBypass;
            if (found.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && foundProxy.text)
                return Internet(h.Open(kAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, foundProxy.text,
                                       foundBypass.text ? foundBypass.text : WINHTTP_NO_PROXY_BYPASS, 0));
        }
    }
    if (proxy.text)
        return Internet(h.Open(kAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.text,
                               bypass.text ? bypass.text : WINHTTP_NO_PROXY_BYPASS, 0));
    return Internet(h.Open(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
}

FetchResult FetchWeb(const std::wstring& url, std::uint64_t limit, FetchSink& sink) {
    const WinHttp& h = Http();
    const std::string what = WideToUtf8(url);
    FetchResult result;
    if (!h.loaded) {
        Receiver::Stop(result, FetchStatus::Unreachable, "connecting to " + what + ": WinHTTP cannot be loaded");
        return result;
    }
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!h.CrackUrl(url.c_str(), 0, 0, &parts)) {
        Receiver::Stop(result, FetchStatus::Unreachable, "resolving " + what + ": not a URL");
        return result;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    const DWORD patience = PatienceMs();
    const Internet session = OpenSession(url, host);
    const Internet connection(session.IsValid() ? h.Connect(session.Get(), host.c_str(), parts.nPort, 0) : nullptr);
    const Internet request(connection.IsValid()
                               ? h.OpenRequest(connection.Get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                               : nullptr);
    if (!request.IsValid() || !h.SetTimeouts(request.Get(), static_cast<int>(patience), static_cast<int>(patience),
                                             static_cast<int>(patience), static_cast<int>(patience))) {
        Receiver::Stop(result, FetchStatus::Unreachable, "connecting to " + what + ": " + ErrorText(GetLastError()));
        return result;
    }
    // A cache on the way must not serve a catalog and its signature from different publications.
    const wchar_t kNoCache[] = L"Cache-Control: no-cache\r\nPragma: no-cache";
    if (!h.SendRequest(request.Get(), kNoCache, static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        const DWORD error = GetLastError();
        Receiver::Stop(result, FetchStatus::Unreachable,
                       std::string(error == ERROR_WINHTTP_NAME_NOT_RESOLVED ? "resolving " : "connecting to ") + what +
                           ": " + ErrorText(error));
        return result;
    }
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!h.ReceiveResponse(request.Get(), nullptr) ||
        !h.QueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
        Receiver::Stop(result, FetchStatus::Unreachable,
                       "the server's answer for " + what + ": " + ErrorText(GetLastError()));
        return result;
    }
    if (status != HTTP_STATUS_OK) {
        Receiver::Stop(result, FetchStatus::Unreachable,
                       "the server's answer for " + what + ": HTTP status " + std::to_string(status));
        return result;
    }
    Receiver receiver(limit, sink, what);
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kBlockSize]);
    for (;;) {
        // Only what has arrived is asked for: a read of a whole block would wait for the block to fill, however
        // slowly the server sends it, and so escape the least-rate check.
        DWORD available = 0;
        DWORD read = 0;
        if (!h.QueryDataAvailable(request.Get(), &available) ||
            (available > 0 &&
             !h.ReadData(request.Get(), block.get(),
                         static_cast<DWORD>(available < kBlockSize ? available : kBlockSize), &read))) {
            Receiver::Stop(result, FetchStatus::Unreachable, "reading " + what + ": " + ErrorText(GetLastError()));
            return result;
        }
        if (read == 0 || !receiver.Take(block.get(), read, result))
            return result;
    }
}

FetchResult FetchLocal(const std::wstring& path, std::uint64_t limit, FetchSink& sink) {
    const std::string what = WideToUtf8(path);
    FetchResult result;
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    Receiver receiver(limit, sink, what);
    const std::unique_ptr<std::uint8_t[]> block(file.IsValid() ? new std::uint8_t[kBlockSize] : nullptr);
    for (;;) {
        DWORD read = 0;
        if (!block || !ReadFile(file.Get(), block.get(), static_cast<DWORD>(kBlockSize), &read, nullptr)) {
            const DWORD error = GetLastError();
            Receiver::Stop(result, FetchStatus::Unreachable,
                           "reading " + what + ": " +
                               (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "no such file"
                                                                                               : ErrorText(error)));
            return result;
        }
        if (read == 0 || !receiver.Take(block.get(), read, result))
            return result;
    }
}

} // namespace

bool IsWebLocation(const std::wstring& location) {
    const auto starts = [&](const wchar_t* prefix) {
        const int length = static_cast<int>(wcslen(prefix));
        return location.size() >= static_cast<std::size_t>(length) &&
               CompareStringOrdinal(location.c_str(), length, prefix, length, TRUE) == CSTR_EQUAL;
    };
    return starts(L"http://") || starts(L"https://");
}

FetchResult FetchFile(const std::wstring& location, std::uint64_t limit, FetchSink& sink) {
    return IsWebLocation(location) ? FetchWeb(location, limit, sink) : FetchLocal(location, limit, sink);
}
