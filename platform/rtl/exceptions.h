// Exception classes of the run-time layer. Messages are cp1251 bytes, as all text inside the system.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace rtl {

// Base of every error the run-time layer raises; what() returns the cp1251 message.
class Exception : public std::exception {
public:
    explicit Exception(std::string message);
    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// File input/output failure; ErrorCode is an errno-like code (2 = file not found).
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode);
    int ErrorCode;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Raises EInOutError for an errno-like code with a message naming the file:
// "File not found: \data\x.html" (2), "File access denied: ..." (13), "Disk read error: ..." (100),
// "Disk write error: ..." (101), otherwise "I/O error <code>: ...".
[[noreturn]] void RaiseInOutError(int errorCode, std::string_view fileName);

}  // namespace rtl
