// Captions with an accelerator: "&x" in the class library, "_x" in GTK.
#pragma once

#include <string>

namespace gtkui {

// A cp1251 caption as a UTF-8 GTK mnemonic label ("&&" is a plain "&", "_" is doubled).
std::string MnemonicLabel(const std::string& caption);

}  // namespace gtkui
