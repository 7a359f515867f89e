// The set-up before the sample book's first start: the background track is recorded once, and a
// value already stored (another track, or none) is never replaced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

#include "platform/rtl/registry.h"
#include "tools/booksetup/first_start.h"

namespace {

std::optional<std::string> StoredTrack() {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (!registry.OpenKeyReadOnly("\\Software\\orbel_lumen") || !registry.ValueExists("BackSound")) return {};
    return registry.ReadString("BackSound");
}

void StoreTrack(const std::string& track) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.OpenKey("\\Software\\orbel_lumen", true));
    registry.WriteString("BackSound", track);
}

TEST(BookSetup, RecordsTheTrackOnlyWhereNothingIsStored) {
    const std::filesystem::path store =
        std::filesystem::temp_directory_path() / ("tome-booksetup-" + std::to_string(::getpid()));
    setenv("TOME_REGISTRY", store.c_str(), 1);
    struct Case {
        std::optional<std::string> before;  // the stored value before the start; none: first start
        bool recorded;
        std::string after;
    };
    const Case cases[] = {
        {std::nullopt, true, "lumen"},  // first start
        {"other", false, "other"},      // the reader chose another track
        {"", false, ""},                // the reader switched the music off
    };
    for (const Case& c : cases) {
        std::filesystem::remove(store);
        if (c.before) StoreTrack(*c.before);
        EXPECT_EQ(booksetup::RecordBackgroundTrack("orbel_lumen", "lumen"), c.recorded) << c.after;
        EXPECT_EQ(StoredTrack(), c.after);
        // A later start changes nothing.
        EXPECT_FALSE(booksetup::RecordBackgroundTrack("orbel_lumen", "lumen"));
        EXPECT_EQ(StoredTrack(), c.after);
    }
    std::filesystem::remove(store);
    // A key name that names no key of the product's own writes nothing at all.
    for (const char* noKey : {"", "\\", "\\\\"}) EXPECT_FALSE(booksetup::RecordBackgroundTrack(noKey, "lumen")) << noKey;
    EXPECT_FALSE(std::filesystem::exists(store));
    std::filesystem::remove(store.string() + ".lock");
    unsetenv("TOME_REGISTRY");
}

}  // namespace
