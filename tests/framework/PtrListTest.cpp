#include "platform/framework/CPtrList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void* item(int n) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(n));
}

std::vector<int> forward(const CPtrList& list) {
    std::vector<int> out;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        out.push_back(static_cast<int>(reinterpret_cast<intptr_t>(list.GetNext(pos))));
    }
    return out;
}

} // namespace

TEST(PtrList, WalksInTheOrderOfAdding) {
    CPtrList list;
    POSITION first = list.AddTail(item(1));
    list.AddTail(item(2));
    POSITION last = list.AddTail(item(3));
    EXPECT_EQ(forward(list), (std::vector<int>{1, 2, 3}));
    // A position handed out by AddTail walks on from its element.
    EXPECT_EQ(first, list.GetHeadPosition());
    EXPECT_EQ(list.GetNext(last), item(3));
    EXPECT_EQ(last, nullptr);
}

TEST(PtrList, EmptyListAndNullPositionsAnswerNull) {
    CPtrList list;
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    POSITION pos = nullptr;
    EXPECT_EQ(list.GetNext(pos), nullptr);
    EXPECT_EQ(pos, nullptr);
}

TEST(PtrList, RemoveAllEmptiesTheListForNewElements) {
    CPtrList list;
    for (int i = 1; i <= 5; ++i) {
        list.AddTail(item(i));
    }
    list.RemoveAll();
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    list.AddTail(item(9));
    list.AddTail(item(8));
    EXPECT_EQ(forward(list), (std::vector<int>{9, 8}));
}

// A long list is taken down one node at a time, not by a recursion as deep as
// the list is long.
TEST(PtrList, HoldsAndFreesAMillionElements) {
    constexpr int kCount = 1000000;
    CPtrList list;
    for (int i = 0; i < kCount; ++i) {
        list.AddTail(item(i));
    }
    std::vector<int> walked = forward(list);
    ASSERT_EQ(walked.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(walked.front(), 0);
    EXPECT_EQ(walked.back(), kCount - 1);
    list.RemoveAll();
    for (int i = 0; i < kCount; ++i) {
        list.AddTail(item(i));
    }
}
