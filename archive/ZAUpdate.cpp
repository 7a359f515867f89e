// The updating side of the archiver: batches of changes to an open archive. Only what closing an
// archive and the processing loop need is here; nothing in the system starts a batch.
#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"

void TZABaseArchiver::CommitUpdate()
{
    if (!InUpdate())
        return;
    // Writing a batch back into the archive is not built; refuse it rather than report a commit
    // that never happened. The batch is dropped so that closing can finish.
    PendingUpdateCount = 0;
    throw rtl::Exception("Archive update is not supported");
}

void TZABaseArchiver::DeleteItem(int32_t Index)
{
    if (!InUpdate())
        throw EZAException::CreateWithCode(22, this);
    CheckActive();
    TZADirArray& directory = DirManager->CurrentDir;
    if (Index < 0 || Index >= directory.Count())
        throw EZAException::CreateWithCode(21, this);
    directory.RemoveItem(Index);
}
