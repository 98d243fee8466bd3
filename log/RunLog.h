// Where the download log goes when none is named, and a record stamped with this moment on this machine.
#pragma once

#include <string>

#include "RunRecord.h"

struct DefaultLog {
    std::wstring path;       // empty when there is none
    bool fromPolicy = false; // <LogFolder>\<computer name>.jsonl
};

// The policy's <LogFolder>\<computer name>.jsonl when the policy is set; else this user's
// %LOCALAPPDATA%\Corvane\Ostrel update\downloads.jsonl, whose folders are created when `createFolders` asks.
DefaultLog DefaultRunLog(bool createFolders);

// A record of `front` at this moment: a fresh id, the UTC time, the version, the computer's name, and as station
// and operator the computer's and the signed-in user's names.
RunRecord StampedRecord(const char* front, const char* version);
