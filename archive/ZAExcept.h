// Exceptions of the archive library.
//
// Every failure the library detects itself is an EZAException carrying a native error code (0..60,
// see NativeErrorMap in ZAConst.h) and the message index that code maps to. Its message is
//     [<component name>": "]<message text, formatted with the arguments> - Native error: <code, 5 digits>
// Raise it as
//     throw EZAException::CreateWithCode(13, this);                  // the archiver: name prefix
//     throw EZAException::CreateWithCodeFmt(12, {FileName}, this);
//     throw EZAException::CreateWithCode(1);                         // no component
// The component may be any object with a `Name` member (a string field or a function returning one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"

class EZAException : public rtl::Exception {
public:
    int32_t ErrorCode = 0;    // message index into ErrorMessageTable (-1 for native code 60)
    int32_t NativeError = 0;  // the code the raiser named

    EZAException(int32_t code, std::string_view componentName);
    EZAException(int32_t code, std::initializer_list<rtl::FormatArg> args, std::string_view componentName);

    static EZAException CreateWithCode(int32_t code, std::string_view componentName = {})
    {
        return EZAException(code, componentName);
    }
    static EZAException CreateWithCode(int32_t code, std::nullptr_t) { return EZAException(code, {}); }
    template <class Component>
    static EZAException CreateWithCode(int32_t code, const Component* component)
    {
        return EZAException(code, NameOf(component));
    }

    static EZAException CreateWithCodeFmt(int32_t code, std::initializer_list<rtl::FormatArg> args,
                                          std::string_view componentName = {})
    {
        return EZAException(code, args, componentName);
    }
    static EZAException CreateWithCodeFmt(int32_t code, std::initializer_list<rtl::FormatArg> args,
                                          std::nullptr_t)
    {
        return EZAException(code, args, {});
    }
    template <class Component>
    static EZAException CreateWithCodeFmt(int32_t code, std::initializer_list<rtl::FormatArg> args,
                                          const Component* component)
    {
        return EZAException(code, args, NameOf(component));
    }

    // The message index a native code shows: the first pair of NativeErrorMap with that code, else 0.
    static int32_t MessageIndexOf(int32_t nativeCode);

private:
    template <class Component>
    static std::string NameOf(const Component* component)
    {
        if (component == nullptr)
            return {};
        if constexpr (requires { component->Name(); })
            return std::string(component->Name());
        else
            return std::string(component->Name);
    }
};

// zlib failures: a negative result of deflate or inflate, with the message "error".
class EZlibError : public rtl::Exception {
public:
    EZlibError() : rtl::Exception("error") {}
    using rtl::Exception::Exception;
};

class ECompressionError : public EZlibError {
public:
    using EZlibError::EZlibError;
};

class EDecompressionError : public EZlibError {
public:
    using EZlibError::EZlibError;
};
