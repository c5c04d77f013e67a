#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>

#include "ComNames.h"

namespace {

struct TCase {
    const char* name;
    std::optional<std::int64_t> number;
};

void ExpectNumbers(const TComForm& form, std::initializer_list<TCase> cases)
{
    for (const TCase& c : cases)
        EXPECT_EQ(ComNumber(c.name, form), c.number) << c.name;
}

TEST(ComNumber, CommandLineNames)
{
    ExpectNumbers({.prefix = "COM", .anyCase = true, .max = 1000000}, {{"COM1", 1},
                                                                       {"com3", 3},
                                                                       {"Com12", 12},
                                                                       {"COM007", 7},
                                                                       {"COM1000000", 1000000},
                                                                       {"COM1000001", std::nullopt},
                                                                       {"COM99999999999999999999999", std::nullopt},
                                                                       {"COM0", std::nullopt},
                                                                       {"COM", std::nullopt},
                                                                       {"CO", std::nullopt},
                                                                       {"", std::nullopt},
                                                                       {"COM+1", std::nullopt},
                                                                       {"COM-1", std::nullopt},
                                                                       {"COM12x", std::nullopt},
                                                                       {"COM 1", std::nullopt},
                                                                       {"COM1 ", std::nullopt},
                                                                       {"/dev/COM1", std::nullopt},
                                                                       {"LPT1", std::nullopt}});
}

TEST(ComNumber, DriverNamesAreCaseSensitive)
{
    ExpectNumbers({.prefix = kComPrefix}, {{"\\\\.\\COM1", 1},
                                           {"\\\\.\\COM72", 72},
                                           {"\\\\.\\COM2147483647", INT_MAX},
                                           {"\\\\.\\COM2147483648", std::nullopt},
                                           {"\\\\.\\COM0", std::nullopt},
                                           {"\\\\.\\com3", std::nullopt},
                                           {"\\\\.\\COM", std::nullopt},
                                           {"\\\\.\\COM+1", std::nullopt},
                                           {"\\\\.\\COM3a", std::nullopt},
                                           {"COM3", std::nullopt}});
}

TEST(ComNumber, SignsWhereTheFormAllowsThem)
{
    ExpectNumbers({.prefix = kComPrefix, .signs = true, .min = INT32_MIN, .max = INT32_MAX},
                  {{"\\\\.\\COM4", 4},
                   {"\\\\.\\COM0", 0},
                   {"\\\\.\\COM+4", 4},
                   {"\\\\.\\COM-4", -4},
                   {"\\\\.\\COM+-4", -4},
                   {"\\\\.\\COM-0", 0},
                   {"\\\\.\\COM-2147483648", INT32_MIN},
                   {"\\\\.\\COM-2147483649", std::nullopt},
                   {"\\\\.\\COM2147483647", INT32_MAX},
                   {"\\\\.\\COM2147483648", std::nullopt},
                   {"\\\\.\\COM+", std::nullopt},
                   {"\\\\.\\COM-", std::nullopt},
                   {"\\\\.\\COM++4", std::nullopt},
                   {"\\\\.\\COM-+4", std::nullopt},
                   {"\\\\.\\COM--4", std::nullopt},
                   {"\\\\.\\COM4-", std::nullopt}});
}

}  // namespace
