#include "common/StableHash.h"

#include <gtest/gtest.h>

// Books keep hashes made by earlier builds, and a library's names must not change between runs:
// the values are FNV-1a's own (its published test vectors), whatever the machine.
TEST(StableHash, GivesFnv1aOwnValues)
{
    EXPECT_EQ(StableHash32(""), 0x811c9dc5U);
    EXPECT_EQ(StableHash32("a"), 0xe40c292cU);
    EXPECT_EQ(StableHash32("foobar"), 0xbf9cf968U);
    EXPECT_EQ(StableHash64(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(StableHash64("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(StableHash64("foobar"), 0x85944171f73967e8ULL);
    // A hash carried on over a second text.
    EXPECT_EQ(StableHash64("bar", StableHash64("foo")), StableHash64("foobar"));
}
