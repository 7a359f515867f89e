#include "platform/rtl/exceptions.h"

#include <gtest/gtest.h>

namespace {

TEST(Exceptions, MessageAndWhatAgree) {
    rtl::Exception e("\xD4\xE0\xE9\xEB");
    EXPECT_EQ(e.Message(), "\xD4\xE0\xE9\xEB");
    EXPECT_STREQ(e.what(), "\xD4\xE0\xE9\xEB");
}

TEST(Exceptions, InOutErrorCarriesCode) {
    try {
        throw rtl::EInOutError("File not found", 2);
    } catch (const rtl::Exception& e) {
        auto* io = dynamic_cast<const rtl::EInOutError*>(&e);
        ASSERT_NE(io, nullptr);
        EXPECT_EQ(io->ErrorCode, 2);
        EXPECT_EQ(e.Message(), "File not found");
    }
}

TEST(Exceptions, StreamErrorsShareABase) {
    EXPECT_THROW(throw rtl::EFOpenError("x"), rtl::EStreamError);
    EXPECT_THROW(throw rtl::EFCreateError("x"), rtl::EStreamError);
    EXPECT_THROW(throw rtl::EReadError("x"), rtl::EStreamError);
    EXPECT_THROW(throw rtl::EWriteError("x"), rtl::EStreamError);
    EXPECT_THROW(throw rtl::EStreamError("x"), std::exception);
}

}  // namespace
