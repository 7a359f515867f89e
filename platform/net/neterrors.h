// Errors of the HTTP client, in two families: a socket error (no usable answer: the connection
// failed, timed out, was cancelled, or the answer broke a limit) and a protocol error (the server
// answered with a status that is not a success; the code and status line travel with it).
#pragma once

#include <string>

#include "platform/rtl/exceptions.h"

namespace net {

// ErrorCode is the transfer library's result code (0 for failures detected by the client itself).
class ESocketError : public rtl::Exception {
public:
    ESocketError(std::string message, int errorCode);
    int ErrorCode;
};

// The connection could not be made within ConnectTimeout.
class EConnectTimeout : public ESocketError {
public:
    using ESocketError::ESocketError;
};

// No byte arrived for ReadTimeout, or the whole request outlasted RequestTimeout.
class EReadTimeout : public ESocketError {
public:
    using ESocketError::ESocketError;
};

// Cancel() or Disconnect() was called while the request ran.
class ERequestCancelled : public ESocketError {
public:
    using ESocketError::ESocketError;
};

// The body would exceed MaxBodySize, or the headers their fixed limit.
class EResponseTooLarge : public ESocketError {
public:
    using ESocketError::ESocketError;
};

// Message: the status line ("HTTP/1.1 404 Not Found"); ErrorCode: the status code;
// ErrorMessage: the start of the response body (at most 64 KiB).
class EHTTPProtocolException : public rtl::Exception {
public:
    EHTTPProtocolException(std::string statusLine, int errorCode, std::string errorMessage);
    int ErrorCode;
    std::string ErrorMessage;
};

// More redirects than RedirectMaximum; ErrorCode is the last redirect's status.
class ETooManyRedirects : public EHTTPProtocolException {
public:
    using EHTTPProtocolException::EHTTPProtocolException;
};

}  // namespace net
