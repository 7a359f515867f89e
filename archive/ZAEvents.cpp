// Event dispatchers. Each passes its values to the handler when one is assigned; without one it
// decides itself or asks the user through the dialog service (the confirmation dialog, or the input
// dialog for a password), with the prompt texts of ZAConst.
#include <limits>

#include "archive/ZAConst.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/format.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

namespace {

std::string Prompt(int id)
{
    return std::string(LoadZAResString(id));
}

std::string WithBackslashes(const std::string& name)
{
    return rtl::StringReplace(name, "/", "\\", rtl::rfReplaceAll);
}

std::string WithSlashes(const std::string& name)
{
    return rtl::StringReplace(name, "\\", "/", rtl::rfReplaceAll);
}

int Confirm(const std::string& text, rtl::TMsgDlgButtons buttons)
{
    return rtl::Dialogs().MessageDlg(text, rtl::mtConfirmation, buttons);
}

// A zero-based volume number as handlers and prompts count it (from 1).
int32_t CountedFromOne(int32_t number)
{
    return number < std::numeric_limits<int32_t>::max() ? number + 1 : number;
}

// True when the user answered OK to a prompt with OK and Cancel.
bool ConfirmOk(const std::string& text)
{
    return Confirm(text, rtl::mbOKCancel) == rtl::mrOk;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Progress

void TZABaseArchiver::DoOnOverallProgress(double Progress, TZAProcessOperation Operation,
                                          TZAProgressPhase ProgressPhase, bool& Cancel)
{
    if (OnOverallProgress)
        OnOverallProgress(this, Progress, Operation, ProgressPhase, Cancel);
    else
        Cancel = false;
}

void TZABaseArchiver::DoOnFileProgress(const std::string& FileName, double Progress,
                                       TZAProcessOperation Operation, TZAProgressPhase ProgressPhase,
                                       bool& Cancel)
{
    if (OnFileProgress)
        OnFileProgress(this, WithBackslashes(FileName), Progress, Operation, ProgressPhase, Cancel);
    else
        Cancel = false;
}

void TZABaseArchiver::DoOnCopyTempFileProgress(double Progress, TZAProgressPhase ProgressPhase, bool& Cancel)
{
    Cancel = false;
    if (OnCopyTempFileProgress)
        OnCopyTempFileProgress(this, Progress, ProgressPhase, Cancel);
}

void TZABaseArchiver::DoAfterOpen()
{
    if (AfterOpen)
        AfterOpen(this);
}

// ---------------------------------------------------------------------------------------------
// Confirmations

void TZABaseArchiver::DoOnConfirmProcessFile(const std::string& FileName, TZAProcessOperation Operation,
                                             bool& Confirm)
{
    Confirm = true;
    if (OnConfirmProcessFile)
        OnConfirmProcessFile(this, FileName, Operation, Confirm);
}

void TZABaseArchiver::DoOnConfirmOverwrite(const std::string& SourceFileName, std::string& DestFileName,
                                           bool& Confirm)
{
    if (OnConfirmOverwrite) {
        OnConfirmOverwrite(this, SourceFileName, DestFileName, Confirm);
        return;
    }
    const std::string text = rtl::Format(Prompt(SZAOverwriteFile), {DestFileName, SourceFileName});
    const int answer =
        ::Confirm(text, rtl::TMsgDlgButtons{rtl::mbYes, rtl::mbNo, rtl::mbNoToAll, rtl::mbYesToAll});
    Confirm = false;
    switch (answer) {
    case rtl::mrYes:
        Confirm = true;
        break;
    case rtl::mrNoToAll:
        options_->OverwriteMode = omNever;
        break;
    case rtl::mrYesToAll:
        Confirm = true;
        options_->OverwriteMode = omAlways;
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Password and failures

void TZABaseArchiver::DoOnPassword(const std::string& FileName, std::string& NewPassword, bool& SkipFile)
{
    if (OnPassword) {
        OnPassword(this, FileName, NewPassword, SkipFile);
        return;
    }
    const std::string caption = rtl::Format(Prompt(SZAPasswordFor), {FileName});
    const bool accepted = rtl::Dialogs().InputQuery(caption, Prompt(SZAEnterPassword), NewPassword, false);
    SkipFile = !accepted;
}

void TZABaseArchiver::DoOnProcessFileFailure(const std::string& FileName, TZAProcessOperation Operation,
                                             int32_t NativeError, int32_t ErrorCode,
                                             const std::string& ErrorMessage, TZAAction& Action)
{
    Action = fxaIgnore;
    if (OnProcessFileFailure) {
        OnProcessFileFailure(this, FileName, Operation, NativeError, ErrorCode, ErrorMessage, Action);
        return;
    }
    if (NativeError == 45) {  // a volume request was cancelled: nothing left to ask
        Action = fxaAbort;
        return;
    }
    // A file or folder that cannot be made, or a name refused, is no sign of a full disk: a full
    // disk is reported as the write error wherever it is met.
    const bool mayBeDiskFull = NativeError != 19 && NativeError != 20;
    const std::string text = mayBeDiskFull ? rtl::Format(Prompt(SZAProcessingError), {ErrorMessage}) : ErrorMessage;
    switch (::Confirm(text, rtl::mbAbortRetryIgnore)) {
    case rtl::mrRetry:
        Action = fxaRetry;
        break;
    case rtl::mrIgnore:
        Action = fxaIgnore;
        break;
    default:
        Action = fxaAbort;
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Volumes. Numbers are zero-based here and counted from 1 for handlers and prompts.

void TZABaseArchiver::DoOnRequestBlankVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel)
{
    if (VolumeNumber < 0)
        VolumeNumber = 0;
    this->VolumeFileName(VolumeFileName, VolumeNumber, false);
    Cancel = false;
    if (OnRequestBlankVolume)
        OnRequestBlankVolume(this, CountedFromOne(VolumeNumber), VolumeFileName, Cancel);
    else if (AsksForDisks())
        Cancel = !ConfirmOk(rtl::Format(Prompt(SZAInsertBlankDisk), {CountedFromOne(VolumeNumber)}));
}

void TZABaseArchiver::DoOnRequestFirstVolume(std::string& VolumeFileName, bool& Cancel)
{
    const std::string given = VolumeFileName;
    this->VolumeFileName(VolumeFileName, 0, !OnRequestFirstVolume);
    Cancel = false;
    if (OnRequestFirstVolume) {
        OnRequestFirstVolume(this, VolumeFileName, Cancel);
    } else if (AsksForDisks()) {
        Cancel = !ConfirmOk(Prompt(SZAInsertFirstDisk));
        VolumeFileName = given;  // the disk may have changed: look again
        this->VolumeFileName(VolumeFileName, 0, true);
    } else {
        Cancel = !rtl::FileExists(VolumeFileName) && !OpenedForCreate();
    }
}

void TZABaseArchiver::DoOnRequestLastVolume(std::string& VolumeFileName, bool& Cancel)
{
    this->VolumeFileName(VolumeFileName, -1, false);
    Cancel = false;
    if (OnRequestLastVolume) {
        OnRequestLastVolume(this, VolumeFileName, Cancel);
    } else if (AsksForDisks()) {
        bool ok = ConfirmOk(Prompt(SZAInsertLastDisk));
        while (ok && !rtl::FileExists(VolumeFileName))
            ok = ConfirmOk(rtl::Format(Prompt(SZAFileNotOnLastDisk), {VolumeFileName}));
        Cancel = !ok;
    } else {
        Cancel = !rtl::FileExists(VolumeFileName);
    }
}

void TZABaseArchiver::DoOnRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName, bool& Cancel)
{
    const std::string given = VolumeFileName;
    this->VolumeFileName(VolumeFileName, VolumeNumber, !OnRequestMiddleVolume);
    Cancel = false;
    if (OnRequestMiddleVolume) {
        OnRequestMiddleVolume(this, CountedFromOne(VolumeNumber), VolumeFileName, Cancel);
        return;
    }
    if (AsksForDisks())
        Cancel = !ConfirmOk(rtl::Format(Prompt(SZAInsertDisk), {CountedFromOne(VolumeNumber)}));
    else
        Cancel = !rtl::FileExists(VolumeFileName);
    VolumeFileName = given;
    this->VolumeFileName(VolumeFileName, VolumeNumber, true);
}

void TZABaseArchiver::DoOnDiskFull(int32_t VolumeNumber, const std::string& VolumeFileName, bool& Cancel)
{
    Cancel = false;
    if (OnDiskFull) {
        OnDiskFull(this, CountedFromOne(VolumeNumber), VolumeFileName, Cancel);
        return;
    }
    if (!AsksForDisks()) {
        Cancel = true;
        return;
    }
    TZAVolumeNumberInfo volume;
    volume.SetNumber(VolumeNumber);
    const int64_t required = spanningOptions_->VolumeSizeFor(volume);
    const int64_t available = DriveFreeSpace(VolumeFileName);
    Cancel = !ConfirmOk(rtl::Format(Prompt(SZADiskFull), {required, available}));
}

// ---------------------------------------------------------------------------------------------
// Names of stored and extracted files

void TZABaseArchiver::DoOnExtractFile(std::string& FileName, uint32_t& FileAttr, const std::string& Comment)
{
    FileName = WithBackslashes(FileName);
    if (OnExtractFile)
        OnExtractFile(this, FileName, FileAttr, Comment);
}

void TZABaseArchiver::DoOnStoreFile(std::string& FileName, uint32_t& FileAttr, std::string& Comment,
                                    const std::string& OriginalFileName)
{
    if (!OnStoreFile)
        return;
    FileName = WithBackslashes(FileName);
    OnStoreFile(this, FileName, FileAttr, Comment, OriginalFileName);
    FileName = WithSlashes(FileName);
}

void TZABaseArchiver::DoHiddenEvent(uint8_t Kind, int32_t A, int32_t B, int32_t C)
{
    if (HiddenEvent)
        HiddenEvent(this, Kind, A, B, C);
}
