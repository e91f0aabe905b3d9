#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/kernel.h"

namespace {

TEST(LocalMemory, MoveableBlockLocksCountAndZeroInit) {
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 64);
    ASSERT_NE(h, nullptr);
    auto* p = static_cast<unsigned char*>(LocalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    std::memset(p, 0xAB, 64);
    EXPECT_EQ(LocalLock(h), p);    // same address while it lives
    EXPECT_TRUE(LocalUnlock(h));   // still locked once
    EXPECT_FALSE(LocalUnlock(h));  // now unlocked
    EXPECT_FALSE(LocalUnlock(h));  // not locked at all
    EXPECT_EQ(LocalFree(h), nullptr);
    // Stale: every call fails and LocalFree hands the handle back.
    EXPECT_EQ(LocalLock(h), nullptr);
    EXPECT_FALSE(LocalUnlock(h));
    EXPECT_EQ(LocalFree(h), h);
}

TEST(LocalMemory, ZeroSizedMoveableBlockHasNoAddress) {
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(LocalLock(h), nullptr);
    EXPECT_EQ(LocalFree(h), nullptr);
}

TEST(LocalMemory, FixedBlockIsItsOwnAddress) {
    HLOCAL p = LocalAlloc(LPTR, 16);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(LocalLock(p), p);
    EXPECT_EQ(static_cast<unsigned char*>(p)[15], 0);
    EXPECT_EQ(LocalFree(p), nullptr);
    EXPECT_EQ(LocalFree(p), p);  // already freed: refused, not freed twice
    int unknown = 0;
    EXPECT_EQ(LocalLock(&unknown), nullptr);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
