// The Linux path of a file the system names (cp1251, Windows-style), made absolute so a device
// that reads it later does not depend on the current folder.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/rtl/paths.h"

namespace media {

inline std::string AbsoluteNativePath(const std::string& fileName) {
    const std::string native = rtl::ToNativePath(fileName);
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(native, error);
    return error ? native : absolute.lexically_normal().string();
}

}  // namespace media
