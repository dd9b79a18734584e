#include "LList.h"

#include <gtest/gtest.h>

#include <sstream>
#include <type_traits>

namespace {

static_assert(!std::is_copy_constructible_v<LList> && !std::is_copy_assignable_v<LList>,
              "two lists must never share nodes");

std::string print(const LList& list) {
    std::ostringstream out;
    out << list << "|";  // the stream comes back, with no end of line written
    return out.str();
}

void expectIndexInvalid(const LList& list, unsigned int index) {
    try {
        list[index];
        ADD_FAILURE() << "index " << index << " did not throw";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "Index invalid");
    }
}

TEST(LList, ANewListIsEmpty) {
    LList list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(print(list), "[]|");
    expectIndexInvalid(list, 0);
    list.clear();
    EXPECT_TRUE(list.empty());
}

TEST(LList, IndexZeroIsTheElementPushedLast) {
    LList list;
    list.push_front(1);
    list.push_front(2);
    EXPECT_FALSE(list.empty());
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], 2);
    EXPECT_EQ(list[1], 1);
    for (unsigned int index : {2u, 3u, 4294967295u}) {
        expectIndexInvalid(list, index);
    }
    list[1] = -4;
    EXPECT_EQ(print(list), "[2, -4, ]|");
}

TEST(LList, ClearEmptiesAndTheListCanBeFilledAgain) {
    LList list;
    for (int i = 0; i < 50; ++i) {
        list.push_front(i);
    }
    EXPECT_EQ(list.size(), 50u);
    EXPECT_EQ(list[20], 29);
    EXPECT_EQ(list[49], 0);
    expectIndexInvalid(list, 50);
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.size(), 0u);
    expectIndexInvalid(list, 0);
    list.push_front(3);
    EXPECT_EQ(print(list), "[3, ]|");
}

}  // namespace
