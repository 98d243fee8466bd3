// Where the download log goes when none is named, and a record stamped with this moment on this machine.
#pragma once

#include <string>

#include "RunRecord.h"

struct DefaultLog {
    std::wstring path;       // empty when there is none
    bool fromPolicy = false; // <LogFolder>\<computer name>.jsonl
    // With the policy: the local file that keeps the lines the folder does not take until it answers again,
    // %LOCALAPPDATA%\Corvane\Ostrel update\spool\<computer name>-<folder's tag>.jsonl; one per folder, so that
    // lines never reach a folder they were not written for.
    std::wstring spoolPath;
};

// The policy's <LogFolder>\<computer name>.jsonl when the policy is set; else this user's
// %LOCALAPPDATA%\Corvane\Ostrel update\downloads.jsonl, whose folders are created when `createFolders` asks.
DefaultLog DefaultRunLog(bool createFolders);

// A record of `front` at this moment: a fresh id, the UTC time, the version, the computer's name, and as station
// and operator the computer's and the signed-in user's names.
RunRecord StampedRecord(const char* front, const char* version);
