#include "media_files.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/rtl/paths.h"

namespace mediatest {
namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}

}  // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tome-media-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    FNative = pattern + "/";
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FNative, ignored);
}

std::string ScratchFolder::WinPath(const std::string& name) const { return rtl::FromNativePath(FNative + name); }

std::string ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = FNative + name;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

std::string MakeWav(int milliseconds, int sampleRate) {
    const uint32_t samples = uint32_t(int64_t(sampleRate) * milliseconds / 1000);
    const uint32_t dataBytes = samples * 2;
    std::string wav = "RIFF";
    PutLe(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    PutLe(wav, 16, 4);
    PutLe(wav, 1, 2);  // PCM
    PutLe(wav, 1, 2);  // mono
    PutLe(wav, uint32_t(sampleRate), 4);
    PutLe(wav, uint32_t(sampleRate) * 2, 4);
    PutLe(wav, 2, 2);
    PutLe(wav, 16, 2);
    wav += "data";
    PutLe(wav, dataBytes, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const double t = double(i) / sampleRate;
        PutLe(wav, uint32_t(uint16_t(int16_t(std::lround(8000 * std::sin(2 * M_PI * 440 * t))))), 2);
    }
    return wav;
}

}  // namespace mediatest
