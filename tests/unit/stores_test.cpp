// The stores from outside: array descriptors and element positions, the sort
// routine against the quicksort it stands for, and the addresses that record
// array fields hold.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/image_loader.h"
#include "interp/records.h"
#include "interp/variables.h"
#include "support/images.h"

namespace basrt {
namespace {

// An engine with `source` loaded; the test sets up stores, then runs it.
struct Engine {
  std::unique_ptr<Interp> ip = std::make_unique<Interp>();
  explicit Engine(const std::string& source) {
    auto image = test::assemble(source);
    EXPECT_EQ(load_image(*ip, image.data(), static_cast<std::int64_t>(image.size())).status, LoadStatus::kOk);
  }
  void run() { run_statements(*ip); }
};

// ---- scalars ----

// A declaration grows its store to hold the index, with zero bytes, empty
// texts, fixed-length strings of length 1 and integer-0 variants; the
// declared variable itself gets its length.
TEST(Stores, ScalarDeclarationsGrowTheirStoreToTheIndex) {
  Engine e("DECLARE 0 1 7 10  DECLARE 0 1 2 3  DECLARE 0 1 0 2  DECLARE 0 1 8 1 #4 END  DECLARE 0 1 9 5  LEAVE");
  e.run();
  const ByteStore& doubles = e.ip->global_num[kDouble - 1];
  ASSERT_EQ(doubles.size(), 88u);
  EXPECT_TRUE(std::all_of(doubles.data(), doubles.data() + 88, [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(e.ip->global_num[kI16 - 1].size(), 8u);
  EXPECT_EQ(e.ip->global_strings.size(), 3u);
  ASSERT_EQ(e.ip->global_fixed.size(), 2u);
  EXPECT_EQ(e.ip->global_fixed[0].length, 1);
  EXPECT_EQ(e.ip->global_fixed[0].text, "");
  EXPECT_EQ(e.ip->global_fixed[1].length, 4);
  EXPECT_EQ(e.ip->global_fixed[1].text, "    ");
  ASSERT_EQ(e.ip->variants.size(), 6u);
  EXPECT_EQ(e.ip->variants[5]->kind, Variant::kInteger);
  EXPECT_EQ(e.ip->variants[5]->integer, 0);
}

// ---- descriptors and element positions ----

TEST(Stores, BoundListsGiveOffsetsStridesAndElementCounts) {
  struct Case {
    const char* bounds;  // a bound list in assembler form
    std::array<std::int32_t, 5> offset;
    std::array<std::int32_t, 5> stride;
    std::size_t bytes;  // what the declaration appends to the type-7 store
  };
  const Case cases[] = {
      {"#3 END 0 1 #4 END 0 END", {0, 0, 0, 0, 0}, {20, 5, 1, 1, 1}, 160},
      {"#1 END 9 #3 END 1 #10 END 9 #12 END END", {-1, -10, 0, 0, 0}, {9, 3, 1, 1, 1}, 72},
      {"#9 END 0 END", {0, 0, 0, 0, 0}, {10, 1, 1, 1, 1}, 80},
      // Bounds truncate toward zero; the element count is the product of the
      // untruncated extents, truncated: 3.5 elements are 3.
      {"#2.5 END 0 END", {0, 0, 0, 0, 0}, {3, 1, 1, 1, 1}, 24},
      {"#-2.5 END 9 #-0.5 END END", {2, 0, 0, 0, 0}, {3, 1, 1, 1, 1}, 24},
      // Fewer than one element: the array has none.
      {"#-1 END 0 END", {0, 0, 0, 0, 0}, {0, 1, 1, 1, 1}, 0},
      {"#1 END 0 1 #1 END 0 1 #1 END 0 1 #1 END 0 1 #2 END 0 END", {0, 0, 0, 0, 0}, {48, 24, 12, 6, 3}, 384},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bounds);
    Engine e(std::string("DECLARE 0 3 #1 END 0 END 7 1  DECLARE 0 3 ") + c.bounds + " 7 0 LEAVE");
    e.run();
    const ArrayDesc& d = e.ip->array_desc[kDouble][0];
    EXPECT_TRUE(d.declared);
    EXPECT_EQ(d.position, 16);  // after array 1's two elements
    EXPECT_EQ(d.offset, c.offset);
    EXPECT_EQ(d.stride, c.stride);
    EXPECT_EQ(e.ip->array_num[kDouble - 1].size(), 16 + c.bytes);
  }
}

// A descriptor whose terms sum past 64 bits: (MAX + MAX) * MAX twice, then
// (MAX + MAX) * 4 and 4 wrap round to exactly 0, the first byte of the store.
// Such a position is no element: it neither reads that byte nor writes it.
TEST(Stores, PositionsBeyond64BitsNameNoElement) {
  Engine e(
      "DECLARE 0 3 #3 END 0 END 1 0  ASSIGNELEM 1 0 1 #0 END #99 END "
      "DECLARE 0 1 7 0 "
      "ASSIGN 7 0 ELEM 1 1 4 #2147483647 END #2147483647 END #2147483647 END #4 END END "
      "ASSIGNELEM 1 1 4 #2147483647 END #2147483647 END #2147483647 END #4 END #7 END "
      "LEAVE");
  ArrayDesc& d = e.ip->array_desc[kU8][1];
  d.declared = true;
  d.offset = {INT32_MAX, INT32_MAX, INT32_MAX, 0, 0};
  d.stride = {1, INT32_MAX, INT32_MAX, 4, 1};
  e.run();
  EXPECT_EQ(load_numeric(e.ip->global_num[kDouble - 1], kDouble, 0), 0);
  EXPECT_EQ(e.ip->array_num[kU8 - 1].data()[0], 99);
}

// A number outside the signed 32-bit range (or not a number) cannot be
// stored into an integer type: the statement fails and the store keeps its
// value. Every place that stores integers converts the same way.
TEST(Stores, IntegerStoresRefuseNumbersOutside32Bits) {
  auto global = [](int t) {
    return [t](Interp& ip) { return load_numeric(ip.global_num[static_cast<std::size_t>(t - 1)], t, 0); };
  };
  struct Case {
    std::string source;  // stores 7, then fails
    std::function<double(Interp&)> value;
  };
  const Case cases[] = {
      {"DECLARE 0 1 1 0 ASSIGN 1 0 #7 END ASSIGN 1 0 #3e9 END", global(kU8)},
      {"DECLARE 0 1 2 0 ASSIGN 2 0 #7 END ASSIGN 2 0 #-3e9 END", global(kI16)},
      {"DECLARE 0 1 3 0 ASSIGN 3 0 #7 END ASSIGN 3 0 #2147483648 END", global(kI32)},
      {"DECLARE 0 1 4 0 ASSIGN 4 0 #7 END ASSIGN 4 0 LIT 7 nan END", global(kU16)},
      {"DECLARE 0 1 5 0 ASSIGN 5 0 #7 END ASSIGN 5 0 #-2147483649 END", global(kI32b)},
      {"DECLARE 0 1 9 0 ASSIGN 9 0 #7 END ASSIGN 9 0 #1e10 END",
       [](Interp& ip) { return static_cast<double>(ip.variants[0]->integer); }},
      {"DECLARE 0 3 #1 END 0 END 3 0 ASSIGNELEM 3 0 1 #1 END #7 END ASSIGNELEM 3 0 1 #1 END #3e9 END",
       [](Interp& ip) { return load_numeric(ip.array_num[kI32 - 1], kI32, 4); }},
      {"SETFIELD 0 0 1 0 4 END SETFIELD 63 0 4 0 #7 END SETFIELD 63 0 4 0 #1e12 END",
       [](Interp& ip) { return static_cast<double>(ip.records[0].data.get<std::uint16_t>(0)); }},
      // A subscript converts as well; the element keeps its value.
      {"DECLARE 0 3 #1 END 0 END 3 0 ASSIGNELEM 3 0 1 #0 END #7 END ASSIGNELEM 3 0 1 #3e9 END #1 END",
       [](Interp& ip) { return load_numeric(ip.array_num[kI32 - 1], kI32, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    Interp ip;
    EXPECT_EQ(test::run_for_error(ip, c.source + " LEAVE"), "Invalid floating point operation");
    EXPECT_EQ(c.value(ip), 7);
  }
  // The largest numbers that truncate into the range are stored.
  Interp ip;
  EXPECT_EQ(test::run_for_error(ip, "DECLARE 0 1 3 1 ASSIGN 3 0 #2147483647.9 END ASSIGN 3 1 #-2147483648.9 END LEAVE"),
            "");
  EXPECT_EQ(load_numeric(ip.global_num[kI32 - 1], kI32, 0), 2147483647);
  EXPECT_EQ(load_numeric(ip.global_num[kI32 - 1], kI32, 4), -2147483648.0);
}

// ---- the sort ----

// The sort as the statement defines it: quicksort with the first element as
// pivot and a moving hole, literally.
template <class T, class Less>
void reference_sort(std::vector<T>& v, std::int64_t lo, std::int64_t hi, bool descending, Less less) {
  if (lo >= hi) return;
  const T pivot = v[static_cast<std::size_t>(lo)];
  auto at = [&](std::int64_t p) -> T& { return v[static_cast<std::size_t>(p)]; };
  std::int64_t i = lo, j = hi, k;
  for (;;) {
    while (descending ? !less(pivot, at(j)) : !less(at(j), pivot)) {
      if (--j <= i) break;
    }
    if (i >= j) {
      k = i;
      break;
    }
    at(i++) = at(j);
    while (descending ? less(pivot, at(i)) : less(at(i), pivot)) {
      if (++i >= j) break;
    }
    if (i >= j) {
      k = j;
      break;
    }
    at(j) = at(i);
  }
  at(k) = pivot;
  reference_sort(v, lo, k - 1, descending, less);
  reference_sort(v, k + 1, hi, descending, less);
}

// Numbers compare by value; the doubles include 0 and -0, which compare
// equal and stay told apart by their sign.
template <class T>
void check_numeric_sort(int t, const std::vector<T>& pool) {
  std::mt19937 random(t);
  for (int n : {0, 1, 2, 3, 7, 31, 200}) {
    for (int descending = 0; descending <= 1; ++descending) {
      SCOPED_TRACE("type " + std::to_string(t) + ", " + std::to_string(n) + " elements, direction " +
                   std::to_string(descending));
      std::vector<T> values(static_cast<std::size_t>(n) + 2);
      for (T& v : values) v = pool[random() % pool.size()];
      // Array 1 takes the store's first elements; array 0 sorts its elements
      // 1 to n, so elements 0 and n + 1 lie outside the run.
      Engine e("SORT " + std::to_string(t) + " 0 1 #1 END " + std::to_string(t) + " 0 1 #" + std::to_string(n) +
               " END #" + std::to_string(descending) + " END LEAVE");
      ArrayDesc shape;
      shape.stride = {static_cast<std::int32_t>(values.size()), 1, 1, 1, 1};
      declare_array(*e.ip, t, 1, shape, 3, false);
      declare_array(*e.ip, t, 0, shape, static_cast<std::int64_t>(values.size()), false);
      ByteStore& store = e.ip->array_num[static_cast<std::size_t>(t - 1)];
      const std::size_t base = 3 * sizeof(T);
      for (std::size_t k = 0; k < values.size(); ++k) store.put<T>(base + k * sizeof(T), values[k]);
      e.run();
      reference_sort(values, 1, n, descending != 0, [](T a, T b) { return a < b; });
      for (std::size_t k = 0; k < values.size(); ++k) {
        T got = store.get<T>(base + k * sizeof(T));
        EXPECT_EQ(std::memcmp(&got, &values[k], sizeof(T)), 0) << "element " << k << ": " << +got << ", not "
                                                                << +values[k];
      }
    }
  }
}

TEST(Stores, SortGivesWhatTheQuicksortGivesForEveryNumericType) {
  check_numeric_sort<std::uint8_t>(kU8, {0, 1, 5, 17, 127, 128, 200, 255});
  check_numeric_sort<std::int16_t>(kI16, {-32768, -5, 0, 17, 200, 32767});
  check_numeric_sort<std::int32_t>(kI32, {INT32_MIN, -70000, 0, 3, 70000, INT32_MAX});
  check_numeric_sort<std::uint16_t>(kU16, {0, 1, 200, 32768, 65535});
  check_numeric_sort<std::int32_t>(kI32b, {INT32_MIN, -1, 0, 1, INT32_MAX});
  check_numeric_sort<float>(kSingle, {-1.5f, -0.0f, 0.0f, 0.0f, 2.5f, 1e30f});
  check_numeric_sort<double>(kDouble, {-1e300, -2.5, -0.0, 0.0, 1e-300, 3.25});
  check_numeric_sort<double>(kDouble, {-2.5, 0.0, 1.0, 3.25});  // no -0: the general path
}

// Texts compare byte-wise as unsigned bytes, a proper prefix first; in
// fixed-length strings only the texts move, each record keeps its length.
TEST(Stores, SortGivesWhatTheQuicksortGivesForTexts) {
  const std::vector<std::string> pool = {"", "a", "B", "ab", "b", "\xe9", "a\xe9", "ba", "abc"};
  std::mt19937 random(8);
  for (int t : {kString, kFixed}) {
    for (int n : {1, 2, 9, 150}) {
      for (int descending = 0; descending <= 1; ++descending) {
        SCOPED_TRACE("type " + std::to_string(t) + ", " + std::to_string(n) + " elements, direction " +
                     std::to_string(descending));
        std::vector<std::string> texts(static_cast<std::size_t>(n) + 2);
        for (std::string& s : texts) s = pool[random() % pool.size()];
        Engine e("SORT " + std::to_string(t) + " 0 1 #1 END " + std::to_string(t) + " 0 1 #" + std::to_string(n) +
                 " END #" + std::to_string(descending) + " END LEAVE");
        ArrayDesc shape;
        shape.stride = {static_cast<std::int32_t>(texts.size()), 1, 1, 1, 1};
        declare_array(*e.ip, t, 0, shape, static_cast<std::int64_t>(texts.size()), false, 3);
        for (std::size_t k = 0; k < texts.size(); ++k) {
          if (t == kString) {
            e.ip->array_strings[k] = to_str(texts[k]);
          } else {
            e.ip->array_fixed[k].text = to_str(texts[k]);
            e.ip->array_fixed[k].length = static_cast<std::int32_t>(k);
          }
        }
        e.run();
        // std::string compares its bytes as unsigned values, a prefix first.
        reference_sort(texts, 1, n, descending != 0, [](const std::string& a, const std::string& b) { return a < b; });
        for (std::size_t k = 0; k < texts.size(); ++k) {
          if (t == kString) {
            EXPECT_EQ(to_std(e.ip->array_strings[k]), texts[k]) << "element " << k;
          } else {
            EXPECT_EQ(to_std(e.ip->array_fixed[k].text), texts[k]) << "element " << k;
            EXPECT_EQ(e.ip->array_fixed[k].length, static_cast<std::int32_t>(k));
          }
        }
      }
    }
  }
}

// A long run already in order, of doubles with a -0 among them, takes the
// exact quicksort past its allowance; the run still ends up in order.
TEST(Stores, LongOrderedRunWithNegativeZeroEndsInOrder) {
  constexpr int kCount = 50000;
  Engine e("SORT 7 0 1 #0 END 7 0 1 #49999 END #0 END LEAVE");
  ArrayDesc shape;
  shape.stride = {kCount, 1, 1, 1, 1};
  declare_array(*e.ip, kDouble, 0, shape, kCount, false);
  ByteStore& store = e.ip->array_num[kDouble - 1];
  for (int k = 0; k < kCount; ++k) store.put<double>(static_cast<std::size_t>(k) * 8, k - 100.0);
  store.put<double>(100 * 8, -0.0);
  e.run();
  for (int k = 1; k < kCount; ++k)
    ASSERT_LE(store.get<double>(static_cast<std::size_t>(k - 1) * 8), store.get<double>(static_cast<std::size_t>(k) * 8));
}

// ---- record array fields ----

// An array field's data bytes hold the address of its array's first element,
// where the element is when a program takes the record's address, also after
// the element store has grown and moved.
TEST(Stores, RecordArrayFieldHoldsTheAddressOfItsFirstElement) {
  Engine e(
      "SETFIELD 0 0 1 0 1 0 #2 END 0 END 16 5 END "  // record 0: an 8-bit field, then 32-bit array 5
      "DECLARE 0 3 #100000 END 0 END 3 6 "
      "DECLARE 0 1 7 0  ASSIGN 7 0 RECADDR 0 END "
      "LEAVE");
  e.run();
  const ArrayDesc& d = e.ip->array_desc[kI32][5];
  ASSERT_TRUE(d.declared);
  const auto element = static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(e.ip->array_num[kI32 - 1].data() + d.position));
  const Record& r = e.ip->records[0];
  EXPECT_EQ(r.data.get<std::uint32_t>(1), element);
  EXPECT_EQ(load_numeric(e.ip->global_num[kDouble - 1], kDouble, 0),
            static_cast<double>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(r.data.data()))));
}

}  // namespace
}  // namespace basrt
