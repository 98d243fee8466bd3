// What the log says of the machine, the user and the moment: the computer's and the user's names, the UTC time, a
// fresh identifier.
#pragma once

#include <string>

// The computer's DNS host name in UTF-8; empty when the system does not tell it.
std::string ComputerName();
// The signed-in user's name in UTF-8; empty when the system does not tell it.
std::string UserName();
// A fresh GUID from the platform, lower-case, as in "0f8fad5b-d9cb-469f-a165-70867728950e"; empty when the system
// gives none.
std::string NewGuidText();
// The current time in UTC as ISO 8601 with milliseconds, e.g. "2026-12-07T11:32:15.042Z".
std::string UtcTimestamp();
// A system error's text in UTF-8, without the line end; "error N" when the system has none.
std::string SystemErrorText(unsigned long error);
