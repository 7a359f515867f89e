#include "archive/ZAExcept.h"

#include "archive/ZAConst.h"

namespace {

std::string MessageText(int32_t messageIndex)
{
    // Native code 60 maps to index -1, which names no slot: it shows the text of index 0.
    if (messageIndex < 0 || messageIndex >= ZAErrorMessageCount)
        messageIndex = 0;
    return std::string(ErrorMessageTable[static_cast<size_t>(messageIndex)]);
}

// "%5d" with every blank turned into "0": 12 gives 00012, 123456 stays 123456.
std::string NativeErrorDigits(int32_t code)
{
    std::string digits = std::to_string(code);
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), '0');
    return digits;
}

std::string ComposeMessage(std::string text, std::string_view componentName, int32_t code)
{
    if (!componentName.empty())
        text = std::string(componentName) + ": " + text;
    return text + " - Native error: " + NativeErrorDigits(code);
}

std::string FormattedText(int32_t messageIndex, std::initializer_list<rtl::FormatArg> args)
{
    std::string text = MessageText(messageIndex);
    try {
        return rtl::Format(text, args);
    } catch (const rtl::EConvertError&) {
        // Arguments that do not fit the message must not hide the error being reported.
        return text;
    }
}

}  // namespace

int32_t EZAException::MessageIndexOf(int32_t nativeCode)
{
    for (const TZANativeErrorPair& pair : NativeErrorMap)
        if (pair.NativeCode == nativeCode)
            return pair.MessageIndex;
    return 0;
}

EZAException::EZAException(int32_t code, std::string_view componentName)
    : rtl::Exception(ComposeMessage(MessageText(MessageIndexOf(code)), componentName, code)),
      ErrorCode(MessageIndexOf(code)),
      NativeError(code)
{
}

EZAException::EZAException(int32_t code, std::initializer_list<rtl::FormatArg> args,
                           std::string_view componentName)
    : rtl::Exception(ComposeMessage(FormattedText(MessageIndexOf(code), args), componentName, code)),
      ErrorCode(MessageIndexOf(code)),
      NativeError(code)
{
}
