// The shared name table: numbers given in order, each name once, and every
// name found again after the table has grown many times.

#include <gtest/gtest.h>

#include <string>

#include "engine/name_table.h"
#include "platform/utf8.h"

namespace korvath::engine {
namespace {

TEST(NameTableTest, NumbersNamesInOrderAndFindsThemAgainAfterGrowing) {
  NameTable table;
  EXPECT_EQ(table.Intern(u""), 0u);  // the empty name is a name too
  constexpr std::uint32_t kNames = 5000;
  for (std::uint32_t i = 1; i < kNames; ++i) {
    const Text name = u"f" + Text(std::u16string_view(u"abcdefghij").substr(i % 10, 1)) +
                      platform::FromUtf8(std::to_string(i));
    ASSERT_EQ(table.Intern(name), i);
  }
  EXPECT_EQ(table.size(), kNames);
  for (std::uint32_t i = 1; i < kNames; i += 97) {
    const Text name(table.Name(i));
    EXPECT_EQ(table.Intern(name), i) << platform::ToUtf8(name);
  }
  EXPECT_EQ(table.Intern(u"F" + Text(table.Name(1)).substr(1)), kNames);  // case counts
  EXPECT_EQ(table.Name(0), u"");
  table.clear();
  EXPECT_EQ(table.Intern(u"x"), 0u);
}

}  // namespace
}  // namespace korvath::engine
