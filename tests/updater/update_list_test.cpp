// The list "updates.list", the texts of the offer, the gauge's steps and the browser's proxy value:
// nothing here needs a window.
#include <gtest/gtest.h>

#include "platform/rtl/codepage.h"
#include "updater/update.h"

namespace {

using viewer::ParseUpdateList;
using viewer::TMyUpdate;

TEST(UpdateList, NewerLinesAreOfferedInFileOrder) {
    const auto list = ParseUpdateList("1|old.zip|10\r\n3|p3.zip|1536\r\n5|p5.zip|2560\r\n4|p4.zip|3584\r\n", 2);
    ASSERT_FALSE(list.Malformed);
    ASSERT_EQ(list.Offers.size(), 3u);
    EXPECT_EQ(list.Offers[0].PackVersion, 3);
    EXPECT_EQ(list.Offers[1].PackVersion, 5);
    EXPECT_EQ(list.Offers[2].PackVersion, 4);
    EXPECT_EQ(list.Offers[0].PackFile, "p3.zip");
    EXPECT_EQ(list.Offers[2].PackSize, 3584);
    EXPECT_EQ(list.Lines, 4);
}

TEST(UpdateList, BlanksAroundFieldsAndEmptyOrUnnumberedLinesAreIgnored) {
    const auto list = ParseUpdateList("\r\n |anything at all\r\n\t 7 | pack 7.zip |\t100 \r\n", 0);
    ASSERT_FALSE(list.Malformed);
    ASSERT_EQ(list.Offers.size(), 1u);
    EXPECT_EQ(list.Offers[0].PackFile, "pack 7.zip");
    EXPECT_EQ(list.Offers[0].PackSize, 100);
    EXPECT_EQ(list.Lines, 2);  // the empty line and the pack; the line without a version counts no step
}

TEST(UpdateList, OlderLinesAreReadNoFurtherThanTheirVersion) {
    const auto list = ParseUpdateList("2|x\r\n1\r\n", 2);
    EXPECT_FALSE(list.Malformed);
    EXPECT_TRUE(list.Offers.empty());
}

TEST(UpdateList, LinesEndedByLfOrCrAloneAreLinesToo) {
    EXPECT_EQ(ParseUpdateList("3|a.zip|1\n4|b.zip|2", 0).Offers.size(), 2u);
    EXPECT_EQ(ParseUpdateList("3|a.zip|1\r4|b.zip|2\r", 0).Offers.size(), 2u);
}

TEST(UpdateList, HostileOrBrokenLinesMakeTheListMalformed) {
    for (const char* body : {"x|a.zip|1", "5|a.zip", "5|a.zip|big", "5|a.zip|-1", "5|a.zip|268435457",
                             "5|a.zip|99999999999999999999", "65536|a.zip|1", "5||1", "5|a\x01.zip|1",
                             "99999999999999999999|a.zip|1"}) {
        const auto list = ParseUpdateList(std::string("3|ok.zip|1\r\n") + body + "\r\n", 2);
        EXPECT_TRUE(list.Malformed) << body;
        EXPECT_TRUE(list.Offers.empty()) << body;
    }
}

TEST(UpdateList, TheLargestVersionAndPackAreAccepted) {
    const auto list = ParseUpdateList("65535|a.zip|268435456\r\n", 0);
    ASSERT_FALSE(list.Malformed);
    EXPECT_EQ(list.Offers.at(0).PackVersion, 65535);
    EXPECT_EQ(list.Offers.at(0).PackSize, 268435456);
}

TEST(UpdateOffer, SizesRoundHalvesToEven) {
    EXPECT_EQ(viewer::OfferSize(TMyUpdate{"a", 1536, 1}), "2" + rtl::Ru("кб"));
    EXPECT_EQ(viewer::OfferSize(TMyUpdate{"a", 2560, 1}), "2" + rtl::Ru("кб"));
    EXPECT_EQ(viewer::OfferSize(TMyUpdate{"a", 3584, 1}), "4" + rtl::Ru("кб"));
    EXPECT_EQ(viewer::OfferSize(TMyUpdate{"a", 0, 1}), "0" + rtl::Ru("кб"));
    EXPECT_EQ(viewer::OfferTitle(TMyUpdate{"a", 1, 12}), rtl::Ru("Пакет обновления 12"));
    EXPECT_EQ(viewer::RoundHalfEven(-2.5), -2);
    EXPECT_EQ(viewer::RoundHalfEven(3.5), 4);
    EXPECT_EQ(viewer::RoundHalfEven(3.49), 3);
}

TEST(UpdateOffer, InstallStepsShareTheGaugeAlsoWhenNoSizeIsGiven) {
    const std::vector<TMyUpdate> sized = {{"a", 300, 1}, {"b", 100, 2}};
    EXPECT_EQ(viewer::InstallHalfStep(sized[0], sized), 38);  // 37.5 -> 38
    EXPECT_EQ(viewer::InstallHalfStep(sized[1], sized), 12);  // 12.5 -> 12
    const std::vector<TMyUpdate> unsized = {{"a", 0, 1}, {"b", 0, 2}, {"c", 0, 3}, {"d", 0, 4}};
    EXPECT_EQ(viewer::InstallHalfStep(unsized[0], unsized), 12);
}

TEST(ProxyServerValue, HostAndPortOrTheHttpEntryOfAList) {
    viewer::TProxyAddress address;
    ASSERT_TRUE(viewer::ParseProxyServer("proxy.local:3128", address));
    EXPECT_EQ(address.Host, "proxy.local");
    EXPECT_EQ(address.Port, "3128");

    ASSERT_TRUE(viewer::ParseProxyServer("ftp=f.local:21;http=h.local:8080;https=s.local:443", address));
    EXPECT_EQ(address.Host, "h.local");
    EXPECT_EQ(address.Port, "8080");

    // The http entry is found wherever it stands, also last, and "https" is not taken for it.
    ASSERT_TRUE(viewer::ParseProxyServer("https=s.local:443;http=h.local:81", address));
    EXPECT_EQ(address.Host, "h.local");
    EXPECT_EQ(address.Port, "81");

    ASSERT_TRUE(viewer::ParseProxyServer("bare.proxy.host", address));
    EXPECT_EQ(address.Port, "80");
}

TEST(ProxyServerValue, ShortValuesAndListsWithoutHttpFindNothing) {
    viewer::TProxyAddress address;
    EXPECT_FALSE(viewer::ParseProxyServer("a.b:3128", address));  // 8 characters
    EXPECT_FALSE(viewer::ParseProxyServer("ftp=f.local:21;https=s.local:443", address));
    EXPECT_FALSE(viewer::ParseProxyServer("ftp=f.local:21;http=;", address));
    EXPECT_FALSE(viewer::ParseProxyServer(":3128000000", address));
}

}  // namespace
