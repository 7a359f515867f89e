// Files the media tests play, made at test time in a scratch folder removed with the object.
#pragma once

#include <string>

namespace mediatest {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Native() const { return FNative; }  // Linux path, trailing "/"
    // A file of the folder as the system names it (Windows-style).
    std::string WinPath(const std::string& name) const;
    std::string Write(const std::string& name, const std::string& bytes) const;  // returns the Linux path

private:
    std::string FNative;
};

// A mono 16-bit PCM wave file of a 440 Hz tone.
std::string MakeWav(int milliseconds, int sampleRate = 8000);

}  // namespace mediatest
