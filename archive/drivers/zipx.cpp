// zipx: the archiver component on the command line.
//   zipx list FILE         one line per entry: name (UTF-8), uncompressed size, compressed size,
//                          CRC-32 (8 hex digits), local header offset, separated by tabs; sizes
//                          that nobody knows (lost, damaged, or all ones with no ZIP64 value
//                          behind them) are "?"
//   zipx extract FILE DIR  every entry ("*.*", attributes 10431) into DIR with the options the
//                          updater uses (overwrite always, folders created, read-only files
//                          replaced, attributes and dates set)
//   zipx test FILE         every entry decompressed and checked; an archive whose directory had
//                          to be rebuilt from its local headers, or that holds entries in front of
//                          the ones its directory places, fails whatever its entries hold
//   zipx add FILE BASEDIR NAME...
//                          adds or replaces the files NAME (folders with everything in them; "."
//                          all BASEDIR holds), given relative to BASEDIR and stored under that
//                          name; makes FILE when it does not exist. FILE itself is never added; a
//                          source that is no regular file (a FIFO, a device) is skipped, and so is
//                          one whose name meets an earlier one's but for case or a trailing dot
//   zipx delete FILE NAME...       deletes every entry named NAME: the entries whose name holds
//                                  NAME's characters (as add would store NAME), else those listed
//                                  as NAME; nothing when some NAME names no entry
//   zipx delete-at FILE INDEX...   deletes the entries at these directory indexes (from 0)
// The writing commands make one batch and one commit with the component's default options; a batch
// that changes nothing leaves FILE as it was, and delete never makes FILE. ZIPX_PASSWORD, when set,
// answers the password prompt. Exit 0 on success; exit 1 with the messages on stderr when anything
// failed, was skipped or refused; a full disk or an exceeded file-size limit is code 46. Reading an
// archive whose directory had to be rebuilt says so once on stderr; a write to it is refused (code 35)
// unless its entries, each whole, fill the whole file. Reading one whose bytes in front of the entries
// its directory places hold entries of their own (no stub) says so too, and a write to it is refused.
#include <algorithm>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/ZADirManager.h"
#include "archive/ZAEntryNames.h"
#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"

namespace {

void Complain(const std::string& cp1251)
{
    std::fprintf(stderr, "%s\n", rtl::Cp1251ToUtf8(cp1251).c_str());
}

// Opens FILE for reading. A directory rebuilt from local headers is only a guess at the archive:
// that is said once on stderr, with the headers that could not be taken as entries. Entries in
// front of the ones the directory places are said too. True in either case.
bool OpenReadOnly(TZipArchiver& archiver, const char* nativeFile)
{
    archiver.FileName = rtl::FromNativePath(nativeFile);
    archiver.OpenArchiveWithMode(ZA_MODE_READONLY);
    const TZADirManager& manager = *archiver.DirManager;
    if (manager.EntriesInFront) {
        std::fprintf(stderr, "warning: %s: its first %" PRId64 " bytes hold entries that the directory does not list\n",
                     nativeFile, manager.PrefixSize);
        return true;
    }
    if (!manager.Rebuilt)
        return false;
    std::fprintf(stderr, "warning: %s: no intact central directory; the entries were found from their local headers",
                 nativeFile);
    if (manager.SkippedHeaders > 0)
        std::fprintf(stderr, ", and %d more could not be read as entries", manager.SkippedHeaders);
    std::fprintf(stderr, "\n");
    return true;
}

// Failures are reported and passed over, so that one bad entry does not hide the others; the
// exit code still tells.
void ReportFailures(TZipArchiver& archiver)
{
    archiver.OnProcessFileFailure = [](TZABaseArchiver*, const std::string& name, TZAProcessOperation,
                                       int32_t, int32_t, const std::string& message, TZAAction& action) {
        Complain(name + ": " + message);
        action = fxaIgnore;
    };
    if (const char* password = std::getenv("ZIPX_PASSWORD"))
        archiver.OnPassword = [pw = std::string(password)](TZABaseArchiver*, const std::string&,
                                                           std::string& newPassword, bool&) {
            newPassword = pw;
        };
}

// Non-zero when an entry failed or was skipped for want of its password.
int Verdict(const TZipArchiver& archiver)
{
    int rc = 0;
    if (archiver.IgnoredFailures() > 0) {
        std::fprintf(stderr, "%d entries failed\n", archiver.IgnoredFailures());
        rc = 1;
    }
    if (archiver.PasswordSkips() > 0) {
        std::fprintf(stderr, "%d encrypted entries skipped\n", archiver.PasswordSkips());
        rc = 1;
    }
    if (archiver.CancelRequested)
        rc = 1;
    return rc;
}

int List(const char* file)
{
    TZipArchiver archiver;
    OpenReadOnly(archiver, file);
    const TZADirArray& dir = archiver.DirManager->CurrentDir;
    for (int i = 0; i < dir.Count(); ++i) {
        const TDirItem& item = dir.ItemAt(i);
        const auto size = [&item](int64_t value) { return item.SizesUnknown ? std::string("?") : std::to_string(value); };
        std::printf("%s\t%s\t%s\t%08" PRIx32 "\t%" PRId64 "\n", rtl::Cp1251ToUtf8(item.FileName).c_str(),
                    size(item.UncompressedSize64()).c_str(), size(item.CompressedSize64()).c_str(), item.Crc32,
                    item.LocalHeaderOffset64());
    }
    archiver.CloseArchive();
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Extract(const char* file, const char* dir)
{
    TZipArchiver archiver;
    archiver.BaseDir = rtl::IncludeTrailingBackslash(rtl::FromNativePath(dir));
    ReportFailures(archiver);
    OpenReadOnly(archiver, file);
    archiver.ExtractFiles("*.*", 10431, "");
    const int rc = Verdict(archiver);
    archiver.CloseArchive();
    return rc;
}

int Test(const char* file)
{
    TZipArchiver archiver;
    ReportFailures(archiver);
    const bool damaged = OpenReadOnly(archiver, file);  // whatever its entries say
    archiver.CheckActive();
    archiver.MarkFiles("*.*", 10431, "");
    archiver.ProcessFiles(poTest);
    const int rc = Verdict(archiver) | (damaged ? 1 : 0);
    archiver.CloseArchive();
    return rc;
}

// The system's form of a name given in UTF-8; code 33 (naming the characters it lacks by their
// numbers) when the system's code page cannot hold the name, so it is never stored with '?'.
std::string SystemName(const std::string& utf8)
{
    const std::string name = rtl::Utf8ToCp1251(utf8);
    if (rtl::Cp1251ToUtf8(name) == utf8)
        return name;
    std::string shown;
    for (size_t i = 0; i < utf8.size();) {
        size_t length = 1;
        while (i + length < utf8.size() && (static_cast<unsigned char>(utf8[i + length]) & 0xC0) == 0x80)
            ++length;
        const std::string one = rtl::Utf8ToCp1251(utf8.substr(i, length));
        if (rtl::Cp1251ToUtf8(one) == utf8.substr(i, length)) {
            shown += one;
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "<%02X", static_cast<unsigned char>(utf8[i]));
            shown += hex;
            for (size_t k = 1; k < length; ++k) {
                std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned char>(utf8[i + k]));
                shown += hex;
            }
            shown += '>';
        }
        i += length;
    }
    throw EZAException::CreateWithCodeFmt(33, {shown});
}

// The code of a source that cannot be read as a file (missing, unreadable, a FIFO or a device).
constexpr int32_t kUnreadableSource = 33;
// The code of a source whose entry another file of the batch takes (their names differ only in case
// or in a trailing dot).
constexpr int32_t kNameTaken = 23;

// Runs one batch on FILE and commits it; 1 when a source was skipped. A source that cannot be read
// is skipped with a warning, as it was never there, and so is one whose entry another source takes;
// any other failure of a write ends the commit, which then leaves the archive as it was, and is
// raised. FILE is made when missing only with create; otherwise a missing FILE is refused and
// nothing is made.
int InBatch(const char* file, bool create, const std::function<void(TZipArchiver&)>& changes)
{
    TZipArchiver archiver;
    std::string failure;
    bool skipped = false;
    archiver.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t native,
                                        int32_t, const std::string& message, TZAAction& action) {
        if (native == kUnreadableSource || native == kNameTaken) {
            Complain((native == kUnreadableSource ? "warning: " : "") + message + ", skipped");
            skipped = true;
            action = fxaIgnore;
            return;
        }
        failure = message;
        action = fxaAbort;
    };
    archiver.FileName = rtl::FromNativePath(file);
    if (create)
        archiver.OpenArchive();
    else
        archiver.OpenArchiveWithMode(ZA_MODE_READWRITE);
    archiver.BeginUpdate();
    try {
        changes(archiver);
    } catch (...) {
        archiver.DropPendingUpdate();
        archiver.CloseArchive();
        throw;
    }
    archiver.CloseArchive();
    if (!failure.empty())
        throw rtl::Exception(failure);
    return skipped ? 1 : 0;
}

// Every path to add under one name, relative to base: the name itself and, for a folder, all it
// holds (sorted); the base folder itself (".") gives only what it holds. A name that leads out of
// the base folder is refused: stored names are always relative to it.
std::vector<std::filesystem::path> PathsUnder(const std::filesystem::path& base, const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path top = (base / name).lexically_normal();
    const fs::path relative = top.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..")
        throw rtl::Exception(SystemName(name) + ": not inside the base folder");
    std::error_code error;
    if (!fs::exists(fs::symlink_status(top, error)))
        throw EZAException::CreateWithCodeFmt(33, {SystemName(name)});
    std::vector<fs::path> paths;
    if (relative != ".")
        paths.push_back(relative);
    if (fs::is_directory(top)) {
        std::vector<fs::path> inside;
        for (const auto& entry : fs::recursive_directory_iterator(top))
            inside.push_back(entry.path().lexically_relative(base));
        std::sort(inside.begin(), inside.end());
        paths.insert(paths.end(), inside.begin(), inside.end());
    }
    return paths;
}

int Add(const char* file, const char* baseDir, const std::vector<std::string>& names)
{
    namespace fs = std::filesystem;
    const fs::path archive = fs::absolute(file);
    const fs::path base = fs::absolute(baseDir).lexically_normal();
    std::vector<std::string> stored;
    for (const std::string& name : names)
        for (const fs::path& path : PathsUnder(base, name))
            stored.push_back(SystemName(path.generic_string()));
    const fs::path savedDir = fs::current_path();
    fs::current_path(base);  // names are stored relative to the current folder
    int rc = 0;
    try {
        // The archive itself, under whatever name it is met, is left out by the archiver.
        rc = InBatch(archive.c_str(), true, [&](TZipArchiver& archiver) {
            for (const std::string& name : stored)
                archiver.AddFile(name);
        });
    } catch (...) {
        fs::current_path(savedDir);
        throw;
    }
    fs::current_path(savedDir);
    return rc;
}

// The entries named by a NAME in UTF-8: those whose name holds NAME's characters, which is how add
// stores a file of that name; when there is none, those listed as NAME (listings escape what the
// system's code page lacks, so an entry whose characters cannot be typed is named by its listing).
std::vector<int> EntriesNamed(const TZADirArray& dir, const std::string& utf8)
{
    std::vector<int> named = dir.IndexesNamed(ListedNameOfUtf8(utf8));
    const std::string listed = rtl::Utf8ToCp1251(utf8);
    if (named.empty() && rtl::Cp1251ToUtf8(listed) == utf8)
        named = dir.IndexesNamed(listed);
    return named;
}

// Deletes every entry named by one of names; when some name names no entry, nothing is deleted and
// each such name is reported.
int Delete(const char* file, const std::vector<std::string>& names)
{
    return InBatch(file, false, [&](TZipArchiver& archiver) {
        const TZADirArray& dir = archiver.DirManager->CurrentDir;
        std::vector<int32_t> doomed;
        bool missing = false;
        for (const std::string& name : names) {
            const std::vector<int> named = EntriesNamed(dir, name);
            if (named.empty())
                std::fprintf(stderr, "no entry named %s\n", name.c_str());
            missing = missing || named.empty();
            doomed.insert(doomed.end(), named.begin(), named.end());
        }
        if (missing)
            throw rtl::Exception("nothing deleted");
        archiver.DeleteItems(doomed);
    });
}

int DeleteAt(const char* file, const std::vector<std::string>& indexes)
{
    std::vector<int32_t> at;
    for (const std::string& text : indexes) {
        char* end = nullptr;
        const long index = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || index < 0 || index > INT32_MAX)
            throw EZAException::CreateWithCode(21);
        at.push_back(static_cast<int32_t>(index));
    }
    return InBatch(file, false, [&](TZipArchiver& archiver) { archiver.DeleteItems(at); });
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: zipx list FILE\n"
                 "       zipx extract FILE DIR\n"
                 "       zipx test FILE\n"
                 "       zipx add FILE BASEDIR NAME...\n"
                 "       zipx delete FILE NAME...\n"
                 "       zipx delete-at FILE INDEX...\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // A file-size limit makes a write fail with EFBIG, reported as the write error (46) with the
    // temporaries removed, instead of killing the tool halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    try {
        if (command == "list" && argc == 3)
            return List(argv[2]);
        if (command == "extract" && argc == 4)
            return Extract(argv[2], argv[3]);
        if (command == "test" && argc == 3)
            return Test(argv[2]);
        const std::vector<std::string> rest(argv + std::min(argc, 3), argv + argc);
        if (command == "add" && argc >= 5)
            return Add(argv[2], argv[3], std::vector<std::string>(rest.begin() + 1, rest.end()));
        if (command == "delete" && argc >= 4)
            return Delete(argv[2], rest);
        if (command == "delete-at" && argc >= 4)
            return DeleteAt(argv[2], rest);
    } catch (const rtl::Exception& e) {
        Complain(e.Message());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return Usage();
}
