// Fetching a file of the vendor's (catalog, signature, image) from a web server over WinHTTP or from a folder, in
// large blocks handed on as they arrive, with limits on size and on patience.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Takes the bytes as they arrive; false stops the fetch (say, a disk that is full).
class FetchSink {
public:
    virtual bool Take(const std::uint8_t* data, std::size_t size) = 0;

protected:
    ~FetchSink() = default;
};

enum class FetchStatus {
    Ok,
    Unreachable, // not resolved, not connected, refused by the server, stalled, or the file is not there
    TooLarge,    // longer than the limit: cut off there
    SinkFailed,
};

struct FetchResult {
    FetchStatus status = FetchStatus::Ok;
    std::uint64_t bytes = 0;
    // Unless Ok, in plain English: the stage ("resolving", "connecting to", "the server's answer for", "reading")
    // with the URL or path, and what went wrong.
    std::string problem;
};

// True for an http:// or https:// location; anything else is a folder or file path (local or UNC).
bool IsWebLocation(const std::wstring& location);

// Fetches `location` whole into `sink`, refusing more than `limit` bytes. A stage that receives nothing for 30 s, or
// that averages under 1 KiB/s over 30 s, is abandoned. Proxies are those of the user's system settings; when their
// automatic detection fails, the connection is direct.
FetchResult FetchFile(const std::wstring& location, std::uint64_t limit, FetchSink& sink);
