#pragma once
// Reference counting as every backend's objects do it: one reference at creation, deleted by
// the last Release. Atomic, as the sound and capture threads release objects too.
#include <atomic>
#include <cstdint>

namespace gfx {

template <class Interface>
class RefCounted : public Interface {
 public:
  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override {
    uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<uint32_t> references_{1};
};

// Makes `slot` hold `next` (null to hold nothing): a reference is taken on the new object and
// the old one's is given back.
template <class T>
void holdReference(T*& slot, T* next) {
  if (next) next->AddRef();
  if (slot) slot->Release();
  slot = next;
}

}  // namespace gfx
