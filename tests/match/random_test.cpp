#include <gtest/gtest.h>

#include "match/random.h"

// Seed 1 gives 41, 18467, 6334, 26500, 19169, ... (the runtime's sequence).
TEST(RandomScaled, TruncatesTheProductTowardZero) {
    seedRandom(1);
    EXPECT_EQ(randomScaled(1000), 1);  // 41000 / 32767
    EXPECT_EQ(randomScaled(-20), -11); // -369340 / 32767 = -11.27
    EXPECT_EQ(randomScaled(2), 0);     // 12668 / 32767
    EXPECT_EQ(randomScaled(100), 80);  // 2650000 / 32767 = 80.87
    EXPECT_EQ(randomScaled(-1), 0);    // any product above -32767 truncates to 0
    EXPECT_EQ(randomScaled(0), 0);
}

TEST(RandomScaled, LargeFactorsDoNotOverflow) {
    seedRandom(1);
    int32_t r = nextRandom();
    seedRandom(1);
    EXPECT_EQ(randomScaled(2000000000), int32_t(int64_t(2000000000) * r / 32767));
}

// Over many draws the shape callers rely on: randomScaled(2) is 0 or 1 alike
// and 2 almost never; randomScaled(-20) is 0 about one time in twenty.
TEST(RandomScaled, ShapeOfSmallRanges) {
    seedRandom(7);
    int counts[3] = {};
    int zeros = 0;
    for (int k = 0; k < 40000; k++) {
        int v = randomScaled(2);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 2);
        counts[v]++;
        int w = randomScaled(-20);
        ASSERT_GE(w, -20);
        ASSERT_LE(w, 0);
        zeros += w == 0;
    }
    EXPECT_NEAR(counts[0], 20000, 600);
    EXPECT_NEAR(counts[1], 20000, 600);
    EXPECT_LE(counts[2], 10);
    EXPECT_NEAR(zeros, 2000, 200);
}
