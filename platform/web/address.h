// Browser addresses in both directions. The program passes and receives addresses as cp1251 text
// with Windows-style paths; the engine works with UTF-8 URIs.
#pragma once

#include <string>
#include <string_view>

namespace web {

// A URI as the program sees it. A file URI becomes the Windows-style cp1251 path of the file
// ("file:///opt/book/data/x.html" -> "\opt\book\data\x.html"), percent escapes decoded and UTF-8
// turned into cp1251; a query or fragment follows as "?..." / "#..." (decoded too). Any other URI is
// returned as given, converted from UTF-8 to cp1251.
std::string DisplayAddress(std::string_view uri);

// The URI to load for an address given to Navigate (cp1251). "file://" followed by a path in any
// spelling ("file://\opt\book\data/x.tmp", "file:///opt/x", "file://C:\x"), or a bare full path,
// gives a percent-encoded file URI of the file on disk (names matched without regard to case where
// the exact one is missing). Relative paths count from the current folder. Any other address (with a
// scheme such as "http:", "about:", "mailto:") is passed on, converted to UTF-8.
std::string LoadableUri(std::string_view address);

// True for file URIs; the comparison ignores case.
bool IsFileUri(std::string_view uri);
// True for "mailto:" addresses, which the desktop opens rather than the browser.
bool IsMailtoUri(std::string_view uri);
// The file of a file URI as a UTF-8 Linux path, without query or fragment; "" for other URIs.
std::string FileUriToNativePath(std::string_view uri);
// True when the file URI names a ".tmp" file: the program's composed pages, always shown as HTML.
bool IsComposedPageUri(std::string_view uri);

// Decodes %XX escapes; a malformed escape is kept as written.
std::string PercentDecode(std::string_view s);
// Escapes every byte outside the unreserved and path characters (so "?" and "#" are escaped too).
std::string PercentEncodePath(std::string_view path);

}  // namespace web
