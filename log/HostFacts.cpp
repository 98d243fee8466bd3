// The computer's and the user's names, the UTC time, GUIDs and system error texts.
#include "HostFacts.h"

#include <cstdio>

#include <windows.h>

#include <objbase.h>

#include "AnsiText.h"

namespace {

std::string FromWide(const wchar_t* text, std::size_t length) {
    return WideToUtf8(std::wstring(text, length));
}

} // namespace

std::string ComputerName() {
    // The DNS host name, whole: the NetBIOS name keeps only 15 characters, so LINE-STATION-01A and -01B would share
    // one.
    DWORD length = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &length);
    std::wstring name(length, L'\0');
    if (length == 0 || !GetComputerNameExW(ComputerNameDnsHostname, name.data(), &length))
        return std::string();
    return FromWide(name.data(), length);
}

std::string UserName() {
    wchar_t name[257];
    DWORD length = 257;
    // The count includes the terminating zero.
    return GetUserNameW(name, &length) && length > 0 ? FromWide(name, length - 1) : std::string();
}

std::string NewGuidText() {
    GUID guid;
    if (FAILED(CoCreateGuid(&guid)))
        return std::string();
    char text[40];
    std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string UtcTimestamp() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

std::string SystemErrorText(unsigned long error) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length ? FromWide(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}
