// Entry names as stored in an archive, turned into the system's code page.
//
// A name is stored in one of three forms: UTF-8 (flagged by bit 11, or unflagged: most writers
// outside DOS and Windows store the file system's UTF-8 bytes as they are), the OEM code page
// (cp866, as DOS and Windows tools store names), or the system's own code page.
//
// A character the system's code page lacks is written "<U+XXXX>" (its code point, at least four
// upper-case hex digits), a byte that forms no character "<XX>", and in such a name every "<" that
// stood in it "<U+003C>". An escaped name thus says which stored name it came from: two entries
// never meet under one name, the same archive always gives the same names, and since "<" cannot
// stand in a Windows file name no name made there looks like an escaped one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class TZANameForm { Utf8, Oem, System };

// The form of a stored name. flags and versionMadeBy are the entry's; hostKnown is false where the
// record that made the entry is unknown (a directory rebuilt from local headers). Unflagged UTF-8 is
// taken when the name is well-formed UTF-8 with some byte above 0x7F and no DOS or Windows host
// made it: their tools store code-page names, and many Russian names in cp866 are also well-formed
// UTF-8.
TZANameForm StoredNameForm(std::string_view raw, uint16_t flags, uint16_t versionMadeBy, bool hostKnown,
                           bool oemNames);

// The name in the system's code page; escaped tells that some character needed an escape.
std::string SystemNameOf(std::string_view raw, TZANameForm form, bool& escaped);
