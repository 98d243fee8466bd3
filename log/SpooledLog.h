// The log in the policy's folder, with a local spool: the lines the folder does not take (a share that cannot be
// reached) wait in the spool, and are moved to the folder, in order and once, as soon as it answers again.
#pragma once

#include <string>

#include "Handle.h"

class SpooledLog {
public:
    SpooledLog(std::wstring folderLog, std::wstring spool)
        : m_folderLog(std::move(folderLog)), m_spool(std::move(spool)) {}

    enum class Wrote {
        Folder,  // the line, and any spooled before it, are in the folder's log
        Spooled, // the line waits in the spool
        Lost,    // neither the folder nor the spool took it
    };
    // Moves what the spool holds to the folder, then appends the line there, or else to the spool; the folder's
    // error is in Error() when it did not take the line.
    Wrote Append(const std::string& line);
    // Moves what the spool holds to the folder when it answers; true when the spool holds nothing then.
    bool MoveSpool();

    const std::wstring& FolderLog() const { return m_folderLog; }
    const std::wstring& Spool() const { return m_spool; }
    unsigned long Error() const { return m_error; }

private:
    // The spool, opened by this process alone, so that the window and the flasher of one station never move it
    // at once; invalid when there is none (and `create` is false) or it cannot be opened.
    FileHandle OpenSpool(bool create) const;
    // Appends the spool's lines to the folder's log and empties the spool; false, with what was moved taken out of
    // the spool, when the folder stops taking them.
    bool MoveFrom(HANDLE spool);

    std::wstring m_folderLog;
    std::wstring m_spool;
    unsigned long m_error = 0;
};
