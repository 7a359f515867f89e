#include "platform/rtl/exceptions.h"

#include <utility>

namespace rtl {

Exception::Exception(std::string message) : message_(std::move(message)) {}

EInOutError::EInOutError(std::string message, int errorCode)
    : Exception(std::move(message)), ErrorCode(errorCode) {}

namespace {

std::string InOutErrorText(int errorCode) {
    switch (errorCode) {
        case 2: return "File not found";
        case 13: return "File access denied";
        case 100: return "Disk read error";
        case 101: return "Disk write error";
        default: return "I/O error " + std::to_string(errorCode);
    }
}

}  // namespace

void RaiseInOutError(int errorCode, std::string_view fileName) {
    throw EInOutError(InOutErrorText(errorCode) + ": " + std::string(fileName), errorCode);
}

}  // namespace rtl
