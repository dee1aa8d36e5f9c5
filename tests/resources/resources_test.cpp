#include <gtest/gtest.h>

#include <cstring>

#include "resources/resources.h"

// Every resource is built in under its number and type, and starts with its
// format's signature; a wrong type or an unknown number finds nothing.
TEST(Resources, FoundByNumberAndType) {
    for (int id : {104, 105, 106, 107, 143}) {
        ResourceBytes r = findResource(id, "BITMAP");
        ASSERT_NE(r.data, nullptr) << id;
        ASSERT_GT(r.size, 54u);
        EXPECT_EQ(std::memcmp(r.data, "BM", 2), 0) << id;
        EXPECT_EQ(findResource(id, "XM").data, nullptr) << id;
    }
    for (int id : {148, 150, 152}) {
        ResourceBytes r = findResource(id, "XM");
        ASSERT_NE(r.data, nullptr) << id;
        ASSERT_GT(r.size, 336u);
        EXPECT_EQ(std::memcmp(r.data, "Extended Module: ", 17), 0) << id;
        EXPECT_EQ(findResource(id, "BITMAP").data, nullptr) << id;
    }
    EXPECT_EQ(findResource(999, "XM").data, nullptr);
    EXPECT_EQ(findResource(150, nullptr).size, 0u);
}
