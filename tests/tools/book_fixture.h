// The sample book packed by the real packer into a scratch folder of the build tree, shared by the
// test processes and packed again whenever the packer or a source of the book changed.
#pragma once

#include <string>
#include <vector>

namespace booktest {

// The packed book folder (native path, trailing "/"); read it, never write into it.
const std::string& PackedBook();
// A private copy of the packed book in a new temporary folder, for tests that write into it.
std::string CopyOfPackedBook();
// The sample sources folder (native path, trailing "/").
std::string SampleFolder();

std::string ReadBytes(const std::string& path);
// Paths relative to `folder` of its regular files, sorted; "/" separated.
std::vector<std::string> FilesUnder(const std::string& folder);
// Non-empty lines of a UTF-8 configuration source, in Windows-1251.
std::vector<std::string> SourceConfigLines();

}  // namespace booktest
