// Page composer: turns one data page into the composed file the browser shows.
//
// The page's header block names a top and a bottom template, include directives are replaced by the
// files they name, and relative href/src links are made absolute under the program's data folder.
// The result is written to "data\tomeview.tmp" beside the program, or where the viewer's generated
// pages go when the data folder cannot be written (viewer/scratch.h).
#pragma once

#include <string>

namespace viewer {

// Composes PageName (relative to the data folder, or a full path) for the program folder ProgramDir
// (Windows-style, trailing "\"). On success ComposedPath receives the composed file's full path; when the
// page does not exist nothing is written and ComposedPath is left as it was. A missing template shows
// "Файл шаблона не найден" and raises rtl::EInOutError; other file failures raise the run time's errors
// (a composed page that cannot be written, with a message for the reader).
void ComposePage(const std::string& ProgramDir, const std::string& PageName, std::string& ComposedPath);

// The pieces of composition, exposed for tests and for the search page.
namespace compose {

// Reads a file as its lines, each followed by one space.
std::string ReadJoinedWithSpaces(const std::string& Path);

// The two template names of a header block's text (the characters between "<?" and "?>").
struct TemplateNames {
  std::string Top;
  std::string Bottom;
};
TemplateNames ParseHeader(const std::string& HeaderText);

// Resolves include directives in Page; names are relative to Base (the program folder with "/"), and a
// generated page named "data\<name>" is read where the viewer wrote it. Always ends: nesting and cycles
// are bounded.
void ResolveIncludes(std::string& Page, const std::string& Base);

// Rewrites href/src links of Page to absolute paths under Base + "data\".
void RewriteLinks(std::string& Page, const std::string& Base);

}  // namespace compose
}  // namespace viewer
