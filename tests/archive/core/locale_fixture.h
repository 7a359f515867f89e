// Tests that switch the archive library's user locale restore the one they found.
#pragma once

#include <gtest/gtest.h>

#include "archive/ZAStrFunc.h"

class LocaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = UserLocale();
        SetUserLocaleForTests(LocaleRussian);
    }
    void TearDown() override { SetUserLocaleForTests(saved_); }

private:
    uint32_t saved_ = LocaleRussian;
};
