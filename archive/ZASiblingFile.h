// Files that take an archive file's place: made beside it, so the final rename stays on one file
// system, and given the old file's owner and mode.
#pragma once

#include <filesystem>
#include <string>

// A new empty file beside the archive, named after it and its writer's process id ("book.zip" gets
// "book.zip.FC<pid>.1A2B.tmp"), so a file left behind by a crash shows whose it is and the next
// writer of the archive, which calls this, removes it once that process has ended. The system's form
// of its name, or "" when none can be made.
std::string MakeSiblingTempFile(const std::filesystem::path& archive);

// The new archive takes the owner, group and mode of the one it replaces, as far as the process
// may set them (an owner it may not give away is left as it is).
void CopyOwnerAndMode(const std::filesystem::path& from, const std::filesystem::path& to);
