// Which names count as numbers: [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?
// as a whole, nothing else.

#include <gtest/gtest.h>

#include "engine/number_text.h"

namespace korvath {
namespace {

TEST(ReadsAsNumber, DecimalIntegersFractionsAndExponents) {
  for (const char16_t* t : {u"0", u"12", u"007", u"+5", u"-5", u"1.", u".5", u"2.5", u"-.5",
                            u"+0.25", u"1e3", u"1E3", u"1E-3", u"1e+03", u"1.e5", u".5e-2",
                            u"-2.5E+10", u"123456789012345678901234567890"}) {
    EXPECT_TRUE(ReadsAsNumber(t)) << ::testing::PrintToString(Text(t));
  }
}

TEST(ReadsAsNumber, EverythingElseIsAName) {
  for (const char16_t* t :
       {u"", u"inf", u"Inf", u"-inf", u"nan", u"NaN", u"3i", u"1i", u"2j", u"0x1f", u"1d3",
        u".5e", u"1e", u"1e+", u"e5", u".", u"+", u"-", u"+.", u".e5", u"1.2.3", u"1e3.5",
        u"++1", u"+-1", u" 1", u"1 ", u"1_000", u"x1", u"1x", u"\uff11", u"1e3e3", u"- 1"}) {
    EXPECT_FALSE(ReadsAsNumber(t)) << ::testing::PrintToString(Text(t));
  }
}

}  // namespace
}  // namespace korvath
