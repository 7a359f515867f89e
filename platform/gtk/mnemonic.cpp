#include "platform/gtk/mnemonic.h"

#include "platform/rtl/codepage.h"

namespace gtkui {

std::string MnemonicLabel(const std::string& caption) {
    std::string utf8 = rtl::Cp1251ToUtf8(caption), label;
    for (size_t i = 0; i < utf8.size(); ++i) {
        char c = utf8[i];
        if (c == '_') label += "__";
        else if (c == '&' && i + 1 < utf8.size() && utf8[i + 1] == '&') label += '&', ++i;
        else if (c == '&') label += '_';
        else label += c;
    }
    return label;
}

}  // namespace gtkui
