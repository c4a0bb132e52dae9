// The image loader: sections in order, the resource table, the data pool,
// the trailer, and refusal of malformed images.

#include <gtest/gtest.h>

#include "engine/image_loader.h"
#include "interp/variables.h"
#include "support/images.h"

namespace basrt {
namespace {

using test::Bytes;

LoadResult load(Interp& ip, const Bytes& b) { return load_image(ip, b.v.data(), static_cast<std::int64_t>(b.size())); }

Bytes empty_pool() { return Bytes().u8(30).i32(4); }

TEST(Loader, ImageWithOnlyADataPoolStartsMainCodeAfterIt) {
  Interp ip;
  Bytes b = empty_pool();
  b.text("main");
  ASSERT_EQ(load(ip, b).status, LoadStatus::kOk);
  EXPECT_EQ(ip.resource_count, 0);
  EXPECT_EQ(ip.data_start, 5);
  EXPECT_EQ(ip.data_pointer, 5);
  EXPECT_EQ(ip.cs.pc, 5);
}

TEST(Loader, SectionLengthsCountAsEachSectionSays) {
  // A procedure block's length counts its own four bytes and the body, a
  // resource block's only the payload, the data pool's its own four bytes.
  Bytes b;
  b.u8(10).i32(4 + 3).text("abc");          // procedure at 0, body 3 bytes
  b.u8(18).i32(2).text("R0");                // resource 0: length field at 9
  b.u8(18).i32(0);                           // resource 1: empty, length field at 16
  b.u8(18).i32(3).text("xyz");               // resource 2: length field at 21
  b.u8(30).i32(4 + 2).u8(2).u8(0);           // data pool with two bytes of items
  std::int64_t main = static_cast<std::int64_t>(b.size());
  b.text("12345");
  Interp ip;
  ASSERT_EQ(load(ip, b).status, LoadStatus::kOk);
  EXPECT_EQ(ip.resource_count, 3);
  EXPECT_EQ(ip.resource_table[0], 9);
  EXPECT_EQ(ip.resource_table[1], 16);
  EXPECT_EQ(ip.resource_table[2], 21);
  EXPECT_EQ(ip.data_start, 33);
  EXPECT_EQ(ip.data_end, 35);
  EXPECT_EQ(ip.cs.pc, main);
}

TEST(Loader, AcceptsAnyTagForTheDataPool) {
  Bytes b;
  b.u8(99).i32(4).text("main code");
  Interp ip;
  EXPECT_EQ(load(ip, b).status, LoadStatus::kOk);
  EXPECT_EQ(ip.cs.pc, 5);
}

TEST(Loader, RefusesMalformedImages) {
  struct Case {
    const char* what;
    Bytes image;
  };
  std::vector<Case> cases = {
      {"empty image", Bytes()},
      {"procedure length below four", Bytes().u8(10).i32(3).add(empty_pool())},
      {"negative procedure length", Bytes().u8(10).i32(-8).add(empty_pool())},
      {"procedure past the end", Bytes().u8(10).i32(100)},
      {"procedure length cut off", Bytes().u8(10).u8(4)},
      {"negative resource length", Bytes().u8(18).i32(-1).add(empty_pool())},
      {"resource past the end", Bytes().u8(18).i32(50).text("short")},
      {"no data pool", Bytes().u8(10).i32(4)},
      {"data pool length below four", Bytes().u8(30).i32(2).text("main")},
      {"data pool past the end", Bytes().u8(30).i32(40).text("main")},
  };
  for (auto& c : cases) {
    Interp ip;
    LoadResult r = load(ip, c.image);
    EXPECT_EQ(r.status, LoadStatus::kMalformed) << c.what;
    EXPECT_FALSE(r.message.empty()) << c.what;
  }
}

TEST(Loader, HoldsAtMost201ResourceBlocks) {
  Bytes ok, too_many;
  for (int i = 0; i < 201; ++i) ok.u8(18).i32(0);
  too_many = ok;
  too_many.u8(18).i32(0);
  ok.add(empty_pool());
  too_many.add(empty_pool());
  Interp a, b;
  ASSERT_EQ(load(a, ok).status, LoadStatus::kOk);
  EXPECT_EQ(a.resource_count, 201);
  LoadResult r = load(b, too_many);
  EXPECT_EQ(r.status, LoadStatus::kMalformed);
  EXPECT_NE(r.message.find("201"), std::string::npos);
}

TEST(Loader, FetchesAResourcePayloadIntoTheScratchStream) {
  Bytes b;
  b.u8(18).i32(3).text("abc");  // resource 0, length field at 1
  b.u8(18).i32(0);              // resource 1, empty
  b.add(empty_pool());
  const std::int64_t tail = static_cast<std::int64_t>(b.size());
  b.i32(40).text("xy");         // a length that runs past the image's end
  Interp ip;
  ASSERT_EQ(load(ip, b).status, LoadStatus::kOk);
  const std::int64_t pc = ip.cs.pc;
  auto scratch = [&] { return std::string(ip.scratch.data(), ip.scratch.size()); };
  ASSERT_TRUE(fetch_resource(ip, 0));
  EXPECT_EQ(scratch(), "abc");
  ASSERT_TRUE(fetch_resource(ip, 1));
  EXPECT_EQ(scratch(), "");
  EXPECT_FALSE(fetch_resource(ip, 2));
  EXPECT_FALSE(fetch_resource(ip, -1));
  fetch_resource_at(ip, 1);
  EXPECT_EQ(scratch(), "abc");
  fetch_resource_at(ip, tail);
  EXPECT_EQ(scratch(), "xy");  // what there is, never more
  for (std::int64_t outside : {std::int64_t{-4}, std::int64_t{1000}, ip.cs.size - 2}) {
    fetch_resource_at(ip, outside);
    EXPECT_EQ(scratch(), "") << outside;
  }
  EXPECT_EQ(ip.cs.pc, pc);  // the code stream has not moved
}

// Data items are read from the pool only: past its last item, or before its
// first after a reset, the program has run out of data.
TEST(Loader, ReadingOutsideTheDataPoolIsAnError) {
  struct Case {
    const char* source;
    const char* error;
  };
  const Case cases[] = {
      {".data\n.text \"a\"\n.item 1 #2 END\n.enddata\n"
       "DECLARE 0 1 0 0 ASSIGN 0 0 NextDataItem END ASSIGN 0 0 NextDataItem END",
       ""},
      {".data\n.text \"a\"\n.enddata\n"
       "DECLARE 0 1 0 0 ASSIGN 0 0 NextDataItem END ASSIGN 0 0 NextDataItem END",
       "Out of data"},
      {".data\n.text \"a\"\n.enddata\n"
       "DECLARE 0 1 0 0 RESTORE -1 ASSIGN 0 0 NextDataItem END",
       "Out of data"},
      {"DECLARE 0 1 0 0 ASSIGN 0 0 NextDataItem END", "Out of data"},  // an empty pool
  };
  for (const Case& c : cases) {
    Interp ip;
    EXPECT_EQ(test::run_for_error(ip, c.source), c.error) << c.source;
  }
}

TEST(Trailer, FindsTheImageThroughTheLastFourBytes) {
  // Whatever precedes the image is never read.
  std::vector<std::uint8_t> file = {'E', 'X', 'E', '?', 30, 4, 0, 0, 0, 'm'};
  Bytes t;
  t.i32(6);
  file.insert(file.end(), t.v.begin(), t.v.end());
  std::vector<std::uint8_t> image;
  ASSERT_EQ(extract_appended_image(file, image).status, LoadStatus::kOk);
  EXPECT_EQ(image, (std::vector<std::uint8_t>{30, 4, 0, 0, 0, 'm'}));
}

TEST(Trailer, ZeroMeansNoImageAndBadLengthsAreRefused) {
  std::vector<std::uint8_t> image;
  EXPECT_EQ(extract_appended_image({1, 2, 0, 0, 0, 0}, image).status, LoadStatus::kNoImage);
  EXPECT_EQ(extract_appended_image({1, 2}, image).status, LoadStatus::kMalformed);
  EXPECT_EQ(extract_appended_image({1, 2, 3, 0, 0, 0}, image).status, LoadStatus::kMalformed);  // 3 > 2
  EXPECT_EQ(extract_appended_image({1, 0xff, 0xff, 0xff, 0xff}, image).status, LoadStatus::kMalformed);
}

}  // namespace
}  // namespace basrt
