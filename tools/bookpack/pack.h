// Packs the sample book's sources into a program folder: the scrambled configuration, the picture
// file, and the data folder with its pages in Windows-1251, pictures, templates and cursors.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace bookpack {

// Raised for sources the book cannot hold (a character Windows-1251 lacks, a picture the
// configuration names but the packer does not draw, a configuration too long to store).
class EPackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The configuration lines as the packer stores them: every non-empty line of the UTF-8 source, in
// Windows-1251.
std::vector<std::string> ConfigLines(const std::string& utf8Text);

// UTF-8 text converted to Windows-1251; raises EPackError naming `where` for a character it lacks.
std::string ToCp1251(const std::string& utf8Text, const std::string& where);

struct TPackSummary {
    size_t ConfigLines = 0;
    size_t Pictures = 0;
    size_t DataFiles = 0;
};

// sampleFolder and bookFolder are native (UTF-8, "/") paths. The book's data folder is made anew;
// other files of bookFolder (the program, the record) are left alone.
TPackSummary PackBook(const std::string& sampleFolder, const std::string& bookFolder);

}  // namespace bookpack
