// What the attempt log says of the machine and the moment: the computer's name and the UTC time.
#pragma once

#include <string>

// The computer's name in UTF-8; empty when the system does not tell it.
std::string ComputerName();
// The current time in UTC as ISO 8601 with milliseconds, e.g. "2026-12-07T11:32:15.042Z".
std::string UtcTimestamp();
// A system error's text in UTF-8, without the line end; "error N" when the system has none.
std::string SystemErrorText(unsigned long error);
