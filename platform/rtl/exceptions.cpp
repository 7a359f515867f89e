#include "platform/rtl/exceptions.h"

#include <utility>

namespace rtl {

Exception::Exception(std::string message) : message_(std::move(message)) {}

EInOutError::EInOutError(std::string message, int errorCode)
    : Exception(std::move(message)), ErrorCode(errorCode) {}

}  // namespace rtl
