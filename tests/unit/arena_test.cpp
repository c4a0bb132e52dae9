// The low arena: addresses that fit 32 bits, reuse, growth in place.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/low_arena.h"
#include "engine/text.h"

namespace basrt {
namespace {

TEST(LowArena, AddressesArePositiveThirtyTwoBitValues) {
  ASSERT_TRUE(low_arena::is_low());
  for (std::size_t n : {1u, 16u, 100u, 5000u, 40000u, 3000000u}) {
    void* p = low_arena::allocate(n);
    EXPECT_LE(reinterpret_cast<std::uintptr_t>(p) + n, std::uintptr_t{1} << 31);
    EXPECT_TRUE(low_arena::contains(reinterpret_cast<std::uintptr_t>(p), n));
    std::memset(p, 0xab, n);
    low_arena::deallocate(p, n);
  }
  Str s(1000, 'x');
  EXPECT_LT(reinterpret_cast<std::uintptr_t>(s.data()), std::uintptr_t{1} << 31);
}

TEST(LowArena, ReusesFreedBlocksAndKeepsContentsOnGrowth) {
  void* a = low_arena::allocate(48);
  low_arena::deallocate(a, 48);
  void* b = low_arena::allocate(40);  // the same size class
  EXPECT_EQ(a, b);
  low_arena::deallocate(b, 40);

  auto* big = static_cast<unsigned char*>(low_arena::allocate(1 << 20));
  for (int i = 0; i < (1 << 20); ++i) big[i] = static_cast<unsigned char>(i * 7);
  auto* grown = static_cast<unsigned char*>(low_arena::reallocate(big, 1 << 20, 8 << 20));
  for (int i = 0; i < (1 << 20); ++i) ASSERT_EQ(grown[i], static_cast<unsigned char>(i * 7));
  low_arena::deallocate(grown, 8 << 20);
}

TEST(LowArena, ManyMixedAllocationsStayConsistent) {
  std::vector<std::pair<unsigned char*, std::size_t>> live;
  unsigned seed = 7;
  auto rnd = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < 20000; ++i) {
    if (!live.empty() && rnd() % 3 == 0) {
      std::size_t k = rnd() % live.size();
      auto [p, n] = live[k];
      for (std::size_t j = 0; j < n; ++j) ASSERT_EQ(p[j], static_cast<unsigned char>(n + j));
      low_arena::deallocate(p, n);
      live[k] = live.back();
      live.pop_back();
    } else {
      std::size_t n = 1 + rnd() % (rnd() % 10 == 0 ? 100000 : 300);
      auto* p = static_cast<unsigned char*>(low_arena::allocate(n));
      for (std::size_t j = 0; j < n; ++j) p[j] = static_cast<unsigned char>(n + j);
      live.push_back({p, n});
    }
  }
  for (auto [p, n] : live) low_arena::deallocate(p, n);
}

}  // namespace
}  // namespace basrt
