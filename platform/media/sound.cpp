#include "platform/media/sound.h"

#include <mutex>

#include "platform/media/native_path.h"
#include "platform/rtl/paths.h"

namespace media {
namespace {

std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<ISoundOutput>& Output() {
    static std::shared_ptr<ISoundOutput> output;
    return output;
}

}  // namespace

void SetSoundOutput(std::shared_ptr<ISoundOutput> output) {
    std::lock_guard<std::mutex> hold(OutputLock());
    Output() = std::move(output);
}

std::shared_ptr<ISoundOutput> SoundOutput() {
    std::lock_guard<std::mutex> hold(OutputLock());
    return Output();
}

bool PlaySound(const std::string& fileName, unsigned flags) {
    std::shared_ptr<ISoundOutput> output = SoundOutput();
    if (fileName.empty()) {
        if (output) output->Stop();
        return true;
    }
    if (!output || !rtl::FileExists(fileName)) return false;
    if ((flags & SND_NOSTOP) && output->Busy()) return false;
    return output->Play(AbsoluteNativePath(fileName), (flags & SND_ASYNC) == 0);
}

}  // namespace media
