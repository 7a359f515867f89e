// Entry names as stored in an archive, turned into the system's code page: the names an archive
// lists, extracts and is searched by.
//
// A name is stored in one of three forms: UTF-8 (flagged by bit 11, or unflagged: most writers
// outside DOS and Windows store the file system's UTF-8 bytes as they are), the OEM code page
// (cp866, as DOS and Windows tools store names), or the system's own code page.
//
// A character the system's code page lacks is written "<U+XXXX>" (its code point, at least four
// upper-case hex digits), a zero byte "<U+0000>", and a byte that forms no character "<XX>". In such
// a name, and in a name whose own text holds something that reads as an escape ("<", then "U+" and
// four to eight hex digits, or two hex digits, then ">", in either case), every "<" is written
// "<U+003C>". So every "<" of an escaped name begins an escape, the name reads back one way, and no
// name shows as the escaped form of another.
//
// Names stored in different forms may still read as the same characters: a name read from a code
// page whose characters are those of a UTF-8 name of other bytes in the same archive gives way and is
// listed with each character outside ASCII, and each "<", written "<U+" and eight hex digits ">", a
// form no name takes otherwise. Within one archive two entries thus show one name only when they
// store the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TZADirArray;

enum class TZANameForm { Utf8, Oem, System };

// The form of a stored name. flags and versionMadeBy are the entry's; hostKnown is false where the
// record that made the entry is unknown (a directory rebuilt from local headers). Unflagged UTF-8 is
// taken when the name is well-formed UTF-8 with some byte above 0x7F and no DOS or Windows host
// made it: their tools store code-page names, and many Russian names in cp866 are also well-formed
// UTF-8.
TZANameForm StoredNameForm(std::string_view raw, uint16_t flags, uint16_t versionMadeBy, bool hostKnown,
                           bool oemNames);

// The name in the system's code page; escaped tells that some character had no place in it.
std::string SystemNameOf(std::string_view raw, TZANameForm form, bool& escaped);

// The name listed for a name given in the system's code page, as it reads once stored.
std::string ListedNameOf(std::string_view name);
// The name listed for a name given in UTF-8 (a name on a Linux disk or command line), as it reads
// once stored in UTF-8.
std::string ListedNameOfUtf8(std::string_view utf8);

// The entry a name given in the system's code page names: the one listed under the name, else one
// whose code-page name of the same characters gave way (it stores the bytes the given name is stored
// with), else one listed alike but for letter case (the last of several); -1 for none.
int IndexOfGivenName(const TZADirArray& dir, std::string_view name);

// Entry index was just named from its stored bytes: an entry of other bytes that shows the same name
// is kept apart by the rule above. oemNames: names not in UTF-8 are in the OEM code page.
void KeepNameApart(TZADirArray& dir, int index, bool oemNames);
