// File names and file operations. Callers use Windows-style cp1251 names ("\" separators, "/"
// accepted too); each call maps the name to a UTF-8 Linux path. When a name does not exist exactly,
// every component is looked up without regard to letter case (full cp1251 case table), because the
// data, skins and links rely on Windows' case-blind names. A drive prefix such as "C:" has no meaning
// on Linux and is dropped before mapping: "C:\opt\book" is "/opt/book", "C:x" is the relative "x".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

// Full when the name holds ":\" or ":/" anywhere, or begins with "\" or "/".
bool IsFullPath(std::string_view path);

// Windows-style cp1251 name -> UTF-8 Linux path, with the case-blind lookup described above.
// The existing part of the path is resolved to the names on disk; missing trailing components are
// kept as given, so the result also serves to create files and folders. Relative stays relative.
std::string ToNativePath(std::string_view winPath);
// The same, with missing set when the resolution itself saw that no name matches in an existing
// folder, so a caller about to create the name needs no check of its own; false says nothing.
std::string ToNativePath(std::string_view winPath, bool& missing);
// open(2) of a Windows-style name; -1 with errno set on failure. Without O_CREAT the name as given
// is tried first and its case-blind resolution only when that fails, so an exact name costs one
// call; with O_CREAT the resolution is opened and a file it creates joins the look-up's index.
int OpenFile(std::string_view winPath, int flags, unsigned mode = 0666);
// UTF-8 Linux path -> Windows-style cp1251 name ("/" -> "\").
std::string FromNativePath(std::string_view nativePath);

// Folder of the running program as a Windows-style name with a trailing "\" ("\opt\book\").
std::string ProgramFolder();
// Full Windows-style name of the running program.
std::string ParamStr0();
// Makes ProgramFolder() return the given folder (a trailing "\" is added); "" restores the real one.
void SetProgramFolderForTests(std::string_view folder);

// Current folder without a trailing "\" (except for the root "\").
std::string GetCurrentDir();
bool SetCurrentDir(std::string_view dir);
// SetCurrentDir that raises the run time's input/output error ("I/O error 3", code 3) on failure.
void ChDir(std::string_view dir);

// Full name of path against the current folder, with "." and ".." folded away.
std::string ExpandFileName(std::string_view path);

bool FileExists(std::string_view path);  // regular files (or links to them) only
bool DirectoryExists(std::string_view path);
// Copies through a temporary file beside the target, then renames it over the target; the mode of
// the source is kept. With failIfExists an existing target makes the call fail.
bool CopyFile(std::string_view src, std::string_view dst, bool failIfExists);
// Read-only files are kept, as on the platform; a link loses the link only; folders are refused.
bool DeleteFile(std::string_view path);
// DeleteFile for a program's own files: a read-only one goes too.
bool DeleteOwnFile(std::string_view path);
bool RenameFile(std::string_view oldName, std::string_view newName);  // fails when newName exists
bool CreateDir(std::string_view dir);
bool RemoveDir(std::string_view dir);  // empty folders only
bool ForceDirectories(std::string_view dir);

// Modification time as a DOS date-time (local time, 2-second steps); -1 when the file is missing.
int32_t FileAge(std::string_view path);
// Sets the modification time from a DOS date-time; 0 on success, else an errno code.
int FileSetDate(std::string_view path, int32_t dosDateTime);
// Windows attributes (faReadOnly, faHidden, faDirectory, faSymLink of findfile.h); -1 when missing.
// Read-only is "no write permission for the owner"; hidden is a name beginning with ".".
int FileGetAttr(std::string_view path);
// Only the read-only bit has an effect (owner write permission); 0 on success, else an errno code.
int FileSetAttr(std::string_view path, int attr);
// Size in bytes; -1 when the file is missing.
int64_t FileSizeOf(std::string_view path);

// Name parts; "\", "/" and the drive's ":" all end a folder part.
std::string ExtractFilePath(std::string_view path);   // with the trailing separator
std::string ExtractFileDir(std::string_view path);    // without it
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);    // with the dot; "" when none
std::string ExtractFileDrive(std::string_view path);  // "C:" or "\\server\share"; "" otherwise
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string IncludeTrailingBackslash(std::string_view path);
std::string ExcludeTrailingBackslash(std::string_view path);

// $TMPDIR or /tmp as a Windows-style name with a trailing "\".
std::string GetTempDir();
// Creates a unique empty file dir + prefix (first three characters) + four hex digits + ".tmp" and
// returns its name; "" when no file could be created. An empty dir means GetTempDir().
std::string GetTempFileName(std::string_view dir, std::string_view prefix);

}  // namespace rtl
