// bookpack: builds the sample book's program folder from the sources in sample/.
//   bookpack <sample folder> <book folder>
#include <cstdio>
#include <exception>

#include "tools/bookpack/pack.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bookpack <sample folder> <book folder>\n");
        return 2;
    }
    try {
        bookpack::TPackSummary s = bookpack::PackBook(argv[1], argv[2]);
        std::printf("bookpack: %zu configuration lines, %zu pictures, %zu data files -> %s\n", s.ConfigLines,
                    s.Pictures, s.DataFiles, argv[2]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bookpack: %s\n", e.what());
        return 1;
    }
}
