// A new archive that takes the place of an archive file in one rename once it is complete. Both
// ways of replacing an archive file (a commit, and a move of an archive in memory to a file) write
// through this, so both treat links, other writers and failures alike.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/rtl/streams.h"

class TZABaseArchiver;

class TZANewArchiveFile {
public:
    // A temporary beside the file that name leads to through its links, so the link stays a link
    // and the rename stays on one file system; held under the writers' lock from the start, so no
    // other writer ever holds the new archive. Code 19 when none can be made.
    TZANewArchiveFile(const std::string& name, const TZABaseArchiver& owner);
    // Removes the temporary unless it took the archive's place.
    ~TZANewArchiveFile();
    TZANewArchiveFile(const TZANewArchiveFile&) = delete;
    TZANewArchiveFile& operator=(const TZANewArchiveFile&) = delete;

    rtl::TFileStream& Stream() { return *stream_; }

    // Puts the new archive in the place of held, the archive file this writer opened and holds
    // under the writers' lock: code 36 when the name no longer leads to held (another writer has
    // put its archive there meanwhile, and nothing of it is lost), 19 when the rename fails. The
    // new archive takes held's owner and mode; its stream, still holding the lock, is handed back.
    std::unique_ptr<rtl::TFileStream> Replace(const rtl::TFileStream& held);

private:
    const TZABaseArchiver& owner_;
    std::string name_;
    std::filesystem::path target_;  // the file name leads to
    std::string temp_;              // empty once it has taken the target's place
    std::unique_ptr<rtl::TFileStream> stream_;
};
