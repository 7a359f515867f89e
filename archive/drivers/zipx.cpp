// zipx: the archiver component on the command line.
//   zipx list FILE         one line per entry: name (UTF-8), uncompressed size, compressed size,
//                          CRC-32 (8 hex digits), local header offset, separated by tabs
//   zipx extract FILE DIR  every entry ("*.*", attributes 10431) into DIR with the options the
//                          updater uses (overwrite always, folders created, read-only files
//                          replaced, attributes and dates set)
//   zipx test FILE         every entry decompressed and checked
// ZIPX_PASSWORD, when set, answers the password prompt. Exit 0 on success; exit 1 with the
// messages on stderr when anything failed, was skipped or refused.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/ZADirManager.h"
#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"

namespace {

void Complain(const std::string& cp1251)
{
    std::fprintf(stderr, "%s\n", rtl::Cp1251ToUtf8(cp1251).c_str());
}

void OpenReadOnly(TZipArchiver& archiver, const char* nativeFile)
{
    archiver.FileName = rtl::FromNativePath(nativeFile);
    archiver.OpenArchiveWithMode(ZA_MODE_READONLY);
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
        std::printf("%s\t%" PRId64 "\t%" PRId64 "\t%08" PRIx32 "\t%" PRId64 "\n",
                    rtl::Cp1251ToUtf8(item.FileName).c_str(), item.UncompressedSize64(),
                    item.CompressedSize64(), item.Crc32, item.LocalHeaderOffset64());
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
    OpenReadOnly(archiver, file);
    archiver.CheckActive();
    archiver.MarkFiles("*.*", 10431, "");
    archiver.ProcessFiles(poTest);
    const int rc = Verdict(archiver);
    archiver.CloseArchive();
    return rc;
}

int Usage()
{
    std::fprintf(stderr, "usage: zipx list FILE | zipx extract FILE DIR | zipx test FILE\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
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
    } catch (const rtl::Exception& e) {
        Complain(e.Message());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return Usage();
}
