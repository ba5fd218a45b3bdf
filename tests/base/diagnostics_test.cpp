#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/containers.h"
#include "base/diagnostics.h"
#include "tests/support/fatal.h"

TEST(PrintMessage, FormatsIntoARingOfFourBuffers) {
  uint32_t first = messageRingIndex();
  printMessage("message %d\n", 1);
  const char* firstBuffer = messageRingBuffer(first);
  EXPECT_STREQ(firstBuffer, "message 1\n");
  for (int i = 2; i <= 4; ++i) printMessage("message %d\n", i);
  // Four further messages later the first buffer is still intact...
  EXPECT_STREQ(firstBuffer, "message 1\n");
  // ...and the fifth overwrites it.
  printMessage("message %d\n", 5);
  EXPECT_EQ(messageRingBuffer(first), firstBuffer);
  EXPECT_STREQ(firstBuffer, "message 5\n");
}

TEST(PrintMessage, BoundsLongTextsAndReturnsTheWriteResult) {
  std::string longText(10000, 'x');
  int written = printMessage("%s", longText.c_str());
  uint32_t slot = (messageRingIndex() + 3) & 3;
  EXPECT_EQ(strlen(messageRingBuffer(slot)), 4095u);
  EXPECT_EQ(written, 4095);
}

namespace {
void writeMarker(void* path) {
  FILE* file = fopen(static_cast<const char*>(path), "w");
  fputs("handler ran", file);
  fclose(file);
}

std::string readFile(const char* path) {
  FILE* file = fopen(path, "r");
  if (!file) return "";
  char buffer[64] = {};
  size_t n = fread(buffer, 1, sizeof(buffer) - 1, file);
  fclose(file);
  return std::string(buffer, n);
}
}  // namespace

TEST(FatalStops, PanicWithoutHandlerStopsWithItsMessage) {
  EXPECT_FATAL(PANIC("Failed to create device\n"), "^PANIC: Failed to create device\n$");
}

TEST(FatalStops, PanicRunsTheHandlerButAssertDoesNot) {
  const char* panicMarker = "diagnostics_panic_marker.txt";
  const char* assertMarker = "diagnostics_assert_marker.txt";
  remove(panicMarker);
  remove(assertMarker);
  EXPECT_FATAL(
      {
        setFatalHandler(writeMarker, const_cast<char*>(panicMarker));
        PANIC("Failed to present\n");
      },
      "PANIC: Failed to present");
  EXPECT_EQ(readFile(panicMarker), "handler ran");
  EXPECT_FATAL(
      {
        setFatalHandler(writeMarker, const_cast<char*>(assertMarker));
        ASSERT(1 + 1 == 3, "Arithmetic is broken %d\n", 42);
      },
      "ASSERT: Arithmetic is broken 42");
  EXPECT_EQ(readFile(assertMarker), "");
  remove(panicMarker);
}

TEST(DynamicArray, GrowsTo16ThenDoublesOneElementEarly) {
  DynamicArray<uint32_t, uint32_t> array;
  EXPECT_EQ(array.items, nullptr);
  array.push(0);
  EXPECT_EQ(array.capacity, 16u);
  for (uint32_t i = 1; i < 15; ++i) array.push(i);
  EXPECT_EQ(array.count, 15u);
  EXPECT_EQ(array.capacity, 16u);
  array.push(15);  // count 15 -> 16 grows first: 16 never holds 16 elements
  EXPECT_EQ(array.capacity, 32u);
  for (uint32_t i = 16; i < 31; ++i) array.push(i);
  EXPECT_EQ(array.capacity, 32u);
  array.push(31);
  EXPECT_EQ(array.capacity, 64u);
  for (uint32_t i = 0; i < array.count; ++i) EXPECT_EQ(array[i], i);
  array.clear();
  EXPECT_EQ(array.items, nullptr);
  EXPECT_EQ(array.count, 0u);
  EXPECT_EQ(array.capacity, 0u);
  array.clear();  // clearing an empty array leaves it empty
  EXPECT_EQ(array.capacity, 0u);
}

TEST(DynamicArray, ReserveMustGrow) {
  DynamicArray<uint64_t> array;
  array.reserve(5);
  array.push(7);
  EXPECT_EQ(array.capacity, 5u);
  array.reserve(40);
  EXPECT_EQ(array[0], 7u);
  EXPECT_FATAL(array.reserve(40),
               "ASSERT: New capacity must be larger than capacity. To clear the use the clear "
               "function.");
  DynamicArray<uint64_t> empty;
  EXPECT_FATAL(empty.reserve(0), "ASSERT: New capacity must be larger");
  array.clear();
}

TEST(DynamicArray, AStorageSizeThatCannotBeAllocatedStops) {
  struct Big {
    char bytes[1 << 20];
  };
  DynamicArray<Big> array;
  volatile uint64_t huge = uint64_t(1) << 62;  // opaque, so the compiler cannot fold it
  EXPECT_FATAL(array.reserve(huge), "ASSERT: \n$");
}

TEST(DynamicArray, CopiesExactlyAndListsOfListsMove) {
  DynamicArray<int> source;
  for (int i = 0; i < 3; ++i) source.push(i * 10);
  DynamicArray<int> copy = copyDynamicArray(source);
  EXPECT_NE(copy.items, source.items);
  EXPECT_EQ(copy.count, 3u);
  EXPECT_EQ(copy.capacity, 3u);
  copy.push(30);  // a copy at full capacity still grows
  EXPECT_EQ(copy[3], 30);

  DynamicArray<DynamicArray<int>> lists;
  int* storage = source.items;
  lists.push(moveDynamicArray(source));
  EXPECT_EQ(source.items, nullptr);
  EXPECT_EQ(source.count, 0u);
  EXPECT_EQ(lists[0].items, storage);
  EXPECT_EQ(lists[0][2], 20);
  lists[0].clear();
  lists.clear();
  copy.clear();
}

TEST(FixedArray, AcceptsItsLimitThenStops) {
  FixedArray<int, 4> array;
  for (int i = 0; i < 4; ++i) array.push(i);
  EXPECT_EQ(array.count, 4u);
  EXPECT_EQ(array[3], 3);
  EXPECT_FATAL(array.push(4), "^ASSERT: Exceeded the limit of the fixed array 4\n$");
}
