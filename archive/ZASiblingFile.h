// Files that take an archive file's place: made beside it, so the final rename stays on one file
// system, and given the old file's owner and mode.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/rtl/streams.h"

// A new empty file beside the archive, named after it and its writer's process id ("book.zip" gets
// "book.zip.FC<pid>.1A2B.tmp"), open for reading and writing, and held under the writers' lock
// (rtl::TryLockFile) from before any other process can judge it: a file left behind by a crash shows
// whose it is, and the next writer of the archive, which calls this, removes it once its writer has
// ended (platform/rtl/tempfiles.h), while a writer in another process namespace keeps its own. The
// stream keeps the lock, also once the file has taken the archive's place. Null when none can be
// made; name receives the system's form of its name.
std::unique_ptr<rtl::TFileStream> MakeSiblingTemp(const std::filesystem::path& archive, std::string& name);

// The new archive takes the owner, group and mode of the one it replaces, as far as the process
// may set them (an owner it may not give away is left as it is).
void CopyOwnerAndMode(const std::filesystem::path& from, const std::filesystem::path& to);
