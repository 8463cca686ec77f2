#include "settings/IniNumber.h"

#include <gtest/gtest.h>

namespace ombrels {
namespace {

struct Case {
  const char* text;
  std::optional<std::int32_t> expected;
};

void ExpectAll(std::initializer_list<Case> cases) {
  for (const Case& c : cases)
    EXPECT_EQ(ParseInt32(c.text), c.expected) << "text: \"" << c.text << '"';
}

TEST(ParseInt32, DecimalFormsAndLimits) {
  ExpectAll({{"0", 0},
             {"3", 3},
             {"007", 7},
             {"+5", 5},
             {"-5", -5},
             {"   42", 42},
             {"2147483647", 2147483647},
             {"-2147483648", INT32_MIN},
             {"000000000002147483647", 2147483647},
             {"2147483648", std::nullopt},
             {"-2147483649", std::nullopt},
             {"9999999999", std::nullopt},
             {"21474836470", std::nullopt}});
}

TEST(ParseInt32, HexadecimalFormsWrapAndNegate) {
  ExpectAll({{"$1F", 31},
             {"x1F", 31},
             {"X1F", 31},
             {"0x1F", 31},
             {"0X1F", 31},
             {"$1f", 31},
             {"$9aA", 0x9AA},
             {"-$10", -16},
             {"+$10", 16},
             {"-0x10", -16},
             {"$FFFFFFFF", -1},
             {"$80000000", INT32_MIN},
             {"$7FFFFFFF", 2147483647},
             {"-$80000000", INT32_MIN},
             {"$0000000001", 1},
             {"$100000000", std::nullopt},  // a ninth significant digit
             {"x3", 3},
             {"$3", 3}});
}

TEST(ParseInt32, AnythingElseFails) {
  ExpectAll({{"", std::nullopt},
             {"   ", std::nullopt},
             {"-", std::nullopt},
             {"+", std::nullopt},
             {"0x", std::nullopt},
             {"$", std::nullopt},
             {"1.5", std::nullopt},
             {"12abc", std::nullopt},
             {"3a", std::nullopt},
             {"1e3", std::nullopt},
             {"5 ", std::nullopt},
             {"\t5", std::nullopt},
             {"- 5", std::nullopt},
             {"--5", std::nullopt},
             {"+-5", std::nullopt},
             {"$G", std::nullopt},
             {"0x1G", std::nullopt},
             {"$-1", std::nullopt}});
  // A text ends where its view ends, whatever follows in memory.
  EXPECT_EQ(ParseInt32(std::string_view("0x5", 1)), 0);
}

}  // namespace
}  // namespace ombrels
