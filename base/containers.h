#pragma once
// The two containers of plain records used throughout the program.
//
// DynamicArray: growable; grows one element early (when count + 1 reaches the
// capacity): first to 16, then doubling. Elements are trivially copyable and move by
// their bytes; no constructor or destructor ever runs. The array itself is a plain
// record too: the owner frees it with clear().
//
// FixedArray: N elements stored inline, with a count.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "base/diagnostics.h"

template <typename T, typename SizeT = uint64_t>
struct DynamicArray {
  static_assert(std::is_trivially_copyable_v<T>, "DynamicArray holds plain records only");
  static_assert(std::is_same_v<SizeT, uint32_t> || std::is_same_v<SizeT, uint64_t>);

  T* items = nullptr;
  SizeT count = 0;
  SizeT capacity = 0;

  void push(const T& element) {
    if (count + 1 >= capacity) reserve(capacity == 0 ? SizeT(16) : SizeT(capacity * 2));
    memcpy(static_cast<void*>(&items[count]), &element, sizeof(T));
    count += 1;
  }

  void reserve(SizeT newCapacity) {
    ASSERT(capacity < newCapacity,
           "New capacity must be larger than capacity. To clear the use the clear function.\n");
    uint64_t bytes = uint64_t(newCapacity) * sizeof(T);
    if (sizeof(T) != 0 && bytes / sizeof(T) != uint64_t(newCapacity))
      bytes = std::numeric_limits<uint64_t>::max();
    T* storage = static_cast<T*>(malloc(size_t(bytes)));
    ASSERT(storage != nullptr, "\n");
    if (count > 0) memcpy(static_cast<void*>(storage), items, size_t(count) * sizeof(T));
    free(items);
    items = storage;
    capacity = newCapacity;
  }

  void clear() {
    free(items);
    items = nullptr;
    count = 0;
    capacity = 0;
  }

  T& operator[](SizeT index) { return items[index]; }
  const T& operator[](SizeT index) const { return items[index]; }
  T* begin() { return items; }
  T* end() { return items + count; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }
};

// A copy with new storage of exactly count elements (descriptions that are copied).
template <typename T, typename SizeT>
DynamicArray<T, SizeT> copyDynamicArray(const DynamicArray<T, SizeT>& source) {
  DynamicArray<T, SizeT> copy;
  if (source.count == 0) return copy;
  copy.items = static_cast<T*>(malloc(size_t(source.count) * sizeof(T)));
  ASSERT(copy.items != nullptr, "\n");
  memcpy(static_cast<void*>(copy.items), source.items, size_t(source.count) * sizeof(T));
  copy.count = source.count;
  copy.capacity = source.count;
  return copy;
}

// Takes over source's storage and leaves source empty (how lists of lists move).
template <typename T, typename SizeT>
DynamicArray<T, SizeT> moveDynamicArray(DynamicArray<T, SizeT>& source) {
  DynamicArray<T, SizeT> moved = source;
  source.items = nullptr;
  source.count = 0;
  source.capacity = 0;
  return moved;
}

template <typename T, uint64_t N, typename SizeT = uint32_t>
struct FixedArray {
  static_assert(std::is_trivially_copyable_v<T>, "FixedArray holds plain records only");

  T items[N];
  SizeT count = 0;

  void push(const T& element) {
    ASSERT(uint64_t(count) + 1 <= N, "Exceeded the limit of the fixed array %u\n", unsigned(N));
    items[count] = element;
    count += 1;
  }

  static constexpr uint64_t limit() { return N; }
  T& operator[](SizeT index) { return items[index]; }
  const T& operator[](SizeT index) const { return items[index]; }
  T* begin() { return items; }
  T* end() { return items + count; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }
};
