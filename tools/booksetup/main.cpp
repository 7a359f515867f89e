// booksetup: records the settings an installer would, once, before the sample book's first start.
//   booksetup <registry key> <background track>
#include <cstdio>
#include <exception>

#include "platform/rtl/registry.h"
#include "tools/booksetup/first_start.h"

int main(int argc, char** argv) {
    if (argc != 3 || !rtl::NamesSubkey(argv[1])) {
        std::fprintf(stderr, "usage: booksetup <registry key> <background track>\n");
        return 2;
    }
    try {
        if (booksetup::RecordBackgroundTrack(argv[1], argv[2]))
            std::printf("booksetup: background track \"%s\" recorded\n", argv[2]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "booksetup: %s\n", e.what());
        return 1;
    }
}
