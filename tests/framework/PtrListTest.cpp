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

std::vector<int> backward(const CPtrList& list) {
    std::vector<int> out;
    for (POSITION pos = list.GetTailPosition(); pos != nullptr;) {
        out.push_back(static_cast<int>(reinterpret_cast<intptr_t>(list.GetPrev(pos))));
    }
    return out;
}

} // namespace

TEST(PtrList, KeepsInsertionOrderBothWays) {
    CPtrList list;
    list.AddTail(item(2));
    list.AddTail(item(3));
    list.AddHead(item(1));
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(forward(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(backward(list), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(list.GetHead(), item(1));
    EXPECT_EQ(list.GetTail(), item(3));
    EXPECT_EQ(list.GetAt(list.Find(item(2))), item(2));
}

TEST(PtrList, RemovesAnywhere) {
    CPtrList list;
    for (int i = 1; i <= 5; ++i) {
        list.AddTail(item(i));
    }
    list.RemoveAt(list.Find(item(3)));
    EXPECT_EQ(forward(list), (std::vector<int>{1, 2, 4, 5}));
    EXPECT_EQ(backward(list), (std::vector<int>{5, 4, 2, 1}));
    EXPECT_EQ(list.RemoveHead(), item(1));
    EXPECT_EQ(list.RemoveTail(), item(5));
    EXPECT_EQ(forward(list), (std::vector<int>{2, 4}));
    list.RemoveAt(list.GetHeadPosition());
    list.RemoveAt(list.GetHeadPosition());
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_EQ(list.GetTailPosition(), nullptr);
    list.AddTail(item(9));
    EXPECT_EQ(forward(list), (std::vector<int>{9}));
    EXPECT_EQ(backward(list), (std::vector<int>{9}));
}

TEST(PtrList, EmptyListAndNullPositionsAnswerNull) {
    CPtrList list;
    EXPECT_EQ(list.GetHead(), nullptr);
    EXPECT_EQ(list.GetTail(), nullptr);
    EXPECT_EQ(list.RemoveHead(), nullptr);
    EXPECT_EQ(list.RemoveTail(), nullptr);
    POSITION pos = nullptr;
    EXPECT_EQ(list.GetNext(pos), nullptr);
    EXPECT_EQ(list.GetPrev(pos), nullptr);
    list.RemoveAt(nullptr);
    EXPECT_EQ(list.GetCount(), 0);
    list.AddTail(item(1));
    EXPECT_EQ(list.Find(item(2)), nullptr);
    // The search starts after the given position.
    EXPECT_EQ(list.Find(item(1), list.GetHeadPosition()), nullptr);
}

TEST(PtrList, ReusesNodesOfItsBlocks) {
    CPtrList list(4);
    for (int round = 0; round < 10; ++round) {
        for (int i = 0; i < 4; ++i) {
            list.AddTail(item(i));
        }
        while (!list.IsEmpty()) {
            list.RemoveHead();
        }
    }
    EXPECT_EQ(list.GetAllocatedNodeCount(), 4);
    for (int i = 0; i < 5; ++i) {
        list.AddTail(item(i));
    }
    EXPECT_EQ(list.GetAllocatedNodeCount(), 8);
    list.RemoveAll();
    EXPECT_EQ(list.GetAllocatedNodeCount(), 0);
    EXPECT_EQ(list.GetCount(), 0);
    CPtrList fallback(0);
    fallback.AddTail(item(1));
    EXPECT_EQ(fallback.GetAllocatedNodeCount(), 10);
}

TEST(PtrList, HoldsAThousandElements) {
    CPtrList list;
    std::vector<int> expected;
    for (int i = 0; i < 1000; ++i) {
        if (i % 2 == 0) {
            list.AddTail(item(i));
            expected.push_back(i);
        } else {
            list.AddHead(item(i));
            expected.insert(expected.begin(), i);
        }
    }
    EXPECT_EQ(list.GetCount(), 1000);
    EXPECT_EQ(list.GetAllocatedNodeCount(), 1000);
    EXPECT_EQ(forward(list), expected);
    // Remove every third element while walking.
    std::vector<int> kept;
    int index = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr; ++index) {
        POSITION current = pos;
        const int value = static_cast<int>(reinterpret_cast<intptr_t>(list.GetNext(pos)));
        if (index % 3 == 0) {
            list.RemoveAt(current);
        } else {
            kept.push_back(value);
        }
    }
    EXPECT_EQ(forward(list), kept);
    EXPECT_EQ(list.GetCount(), static_cast<int>(kept.size()));
}
