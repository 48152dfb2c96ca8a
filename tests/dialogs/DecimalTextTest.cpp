#include "dialogs/DecimalText.h"

#include <gtest/gtest.h>

#include <climits>

TEST(DecimalText, LenientReadsTheLeadingNumberAndIgnoresTheRest)
{
    const struct
    {
        const char* text;
        int value;
    } cases[] = {
        {"", 0},
        {"-", 0},
        {"+", 0},
        {"abc", 0},
        {"12abc", 12},
        {"007", 7},
        {"  \t-42x", -42},
        {"+255", 255},
        {"- 5", 0},
        {"1e3", 1},
        {"3.9", 3},
        {"--1", 0},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"-2147483648", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecimalText::Lenient(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
}

TEST(DecimalText, StrictTakesOnlyAWholeNumberBetweenBlanks)
{
    const struct
    {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"5", 5},
        {" \t-3\t ", -3},
        {"+0", 0},
        {"0012", 12},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"12a", std::nullopt},
        {"1 2", std::nullopt},
        {"3.0", std::nullopt},
        {"\n4", std::nullopt},
        {"99999999999", INT_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecimalText::Strict(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
}
