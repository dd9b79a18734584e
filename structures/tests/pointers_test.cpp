#include "Pointers.h"

#include <gtest/gtest.h>

#include "manip.h"

namespace {

void expectRecord(Pointers& record, int a, const int* b, int c) {
    EXPECT_EQ(*record.getA(), a);
    EXPECT_EQ(record.getB(), b);
    EXPECT_EQ(record.getC(), c);
}

TEST(Pointers, ConstructorsAndManip1) {
    Pointers plain;
    expectRecord(plain, 5, nullptr, 10);
    manip1(&plain);
    expectRecord(plain, 10, nullptr, 10);

    int target = 7;
    Pointers built(56, &target);
    expectRecord(built, 56, &target, 0);
    manip1(&built);
    expectRecord(built, 10, &target, 0);
}

TEST(Manip, TwoThreeSixAndSevenWriteOnlyThroughB) {
    using Routine = void (*)(Pointers*);
    for (auto [routine, written] :
         {std::pair<Routine, int>{manip2, 45}, {manip3, 383}, {manip7, 15}}) {
        int target = 4;
        Pointers record(56, &target);
        routine(&record);
        EXPECT_EQ(target, written);
        expectRecord(record, 56, &target, 0);
    }
    int array[4] = {5, 6, 7, 8};
    Pointers record(0, array);
    manip6(&record);
    EXPECT_EQ(std::vector<int>(array, array + 4), (std::vector<int>{5, 6, 10, 8}));
    expectRecord(record, 0, array, 0);
}

TEST(Manip, FourAndNineChangeOnlyB) {
    for (auto routine : {manip4, manip9}) {
        int target = 4;
        Pointers record;
        routine(&record, &target);
        expectRecord(record, 5, &target, 10);
        routine(&record, nullptr);
        expectRecord(record, 5, nullptr, 10);
    }
}

// b is left on an int that stays alive and holds the copied value.
void expectStored(Pointers& record, int a, int value) {
    EXPECT_EQ(*record.getA(), a);
    EXPECT_EQ(record.getC(), value);
    ASSERT_NE(record.getB(), nullptr);
    EXPECT_EQ(*record.getB(), value);
}

TEST(Manip, FiveAndEightStoreAndCopyWhateverCWas) {
    int target = 4;
    Pointers built(0, &target);
    manip5(&built, &target);
    expectStored(built, 0, 45);
    EXPECT_EQ(target, 4);  // the caller's int is left alone

    Pointers plain;
    manip8(&plain);
    expectStored(plain, 5, 199);
    manip8(&built);
    expectStored(built, 0, 199);
    expectStored(plain, 5, 199);
}

TEST(Manip, TenTouchesOnlyTheSixthRecord) {
    Pointers records[10];
    manip10(records);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        if (i == 5) {
            expectStored(records[i], 5, 199);
        } else {
            expectRecord(records[i], 5, nullptr, 10);
        }
    }
}

}  // namespace
