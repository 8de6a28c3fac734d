#include "platform/failure.h"
#include "settings/numeric.h"

#include <gtest/gtest.h>

#include <optional>

using namespace quillfen;

namespace {

struct IntegerCase
{
    const char *text;
    std::optional<int> value; // nullopt: the failure below
    int failure;
};

class ToInteger16 : public ::testing::TestWithParam<IntegerCase>
{
};

TEST_P(ToInteger16, ConvertsOrFails)
{
    const IntegerCase &c = GetParam();
    if (c.value) {
        EXPECT_EQ(toInteger16(QString::fromUtf8(c.text)), *c.value) << c.text;
        return;
    }
    try {
        toInteger16(QString::fromUtf8(c.text));
        ADD_FAILURE() << "no failure for \"" << c.text << '"';
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.number(), c.failure) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ToInteger16,
    ::testing::Values(IntegerCase {" 7 ", 7, 0}, IntegerCase {"2.5", 2, 0}, IntegerCase {"3.5", 4, 0},
        IntegerCase {"-2.5", -2, 0}, IntegerCase {"1e3", 1000, 0}, IntegerCase {"010", 10, 0},
        IntegerCase {"+5", 5, 0}, IntegerCase {".5", 0, 0}, IntegerCase {"1.5", 2, 0},
        IntegerCase {"32767", 32767, 0}, IntegerCase {"-32768", -32768, 0},
        IntegerCase {"-32768.5", -32768, 0}, IntegerCase {"32767.5", std::nullopt, 6},
        IntegerCase {"32768", std::nullopt, 6}, IntegerCase {"-32769", std::nullopt, 6},
        IntegerCase {"1e999", std::nullopt, 6}, IntegerCase {"", std::nullopt, 13},
        IntegerCase {"   ", std::nullopt, 13}, IntegerCase {"abc", std::nullopt, 13},
        IntegerCase {"1 2", std::nullopt, 13}, IntegerCase {"1e", std::nullopt, 13},
        IntegerCase {"--1", std::nullopt, 13}));

struct FlagCase
{
    const char *text;
    std::optional<bool> value;
};

class ToMoveFlag : public ::testing::TestWithParam<FlagCase>
{
};

TEST_P(ToMoveFlag, ConvertsOrFailsWithTypeMismatch)
{
    const FlagCase &c = GetParam();
    if (c.value) {
        EXPECT_EQ(toMoveFlag(QString::fromUtf8(c.text)), *c.value) << c.text;
        return;
    }
    try {
        toMoveFlag(QString::fromUtf8(c.text));
        ADD_FAILURE() << "no failure for \"" << c.text << '"';
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.number(), 13) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ToMoveFlag,
    ::testing::Values(FlagCase {"1", true}, FlagCase {"0", false}, FlagCase {"2", true},
        FlagCase {"-1", true}, FlagCase {"0.0", false}, FlagCase {"True", true}, FlagCase {"tRUE", true},
        FlagCase {"FALSE", false}, FlagCase {"", std::nullopt}, FlagCase {"yes", std::nullopt},
        FlagCase {"1x", std::nullopt}));

} // namespace
