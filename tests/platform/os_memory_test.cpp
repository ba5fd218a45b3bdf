// The operating-system layer's resident-memory figure, which the whole-run soak bounds: it
// must follow memory the process really touches, in bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/os.h"

namespace {

TEST(OsResidentMemory, GrowsByTheMemoryTouched) {
  constexpr size_t kBlock = 64u << 20;
  size_t before = osResidentMemoryBytes();
  ASSERT_GT(before, 0u) << "the system reports no resident memory";
  std::unique_ptr<char[]> block(new char[kBlock]);
  memset(block.get(), 1, kBlock);  // resident only once written
  size_t touched = osResidentMemoryBytes();
  EXPECT_GE(touched, before + kBlock * 3 / 4) << "before " << before << ", after touching " << touched;
  EXPECT_LE(touched, before + kBlock * 2) << "before " << before << ", after touching " << touched;
  EXPECT_EQ(block[kBlock - 1], 1);
}

}  // namespace
