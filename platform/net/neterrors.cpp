#include "platform/net/neterrors.h"

#include <utility>

namespace net {

ESocketError::ESocketError(std::string message, int errorCode)
    : rtl::Exception(std::move(message)), ErrorCode(errorCode) {}

EHTTPProtocolException::EHTTPProtocolException(std::string statusLine, int errorCode,
                                               std::string errorMessage)
    : rtl::Exception(std::move(statusLine)), ErrorCode(errorCode),
      ErrorMessage(std::move(errorMessage)) {}

}  // namespace net
