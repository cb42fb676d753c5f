// Memory blocks handed to callers by handle-style exports.
//
// A block is owned by whoever received it and freed with BlockFree. The
// handle is opaque; BlockLock gives the address of the data, which stays put
// until the block is reallocated or freed.
#pragma once

#include <cstddef>

namespace platform {

struct MemBlock;  // opaque
using BlockHandle = MemBlock*;

// Zero-filled block of `size` bytes; null when memory runs out.
BlockHandle BlockAlloc(size_t size);
// Grows or shrinks the block, zero-filling what is new. On failure the old
// block is left as it was and null is returned.
BlockHandle BlockReAlloc(BlockHandle block, size_t size);
void BlockFree(BlockHandle block);
void* BlockLock(BlockHandle block);
size_t BlockSize(BlockHandle block);

// Owns a block until it is released to a caller.
class UniqueBlock {
 public:
  UniqueBlock() = default;
  explicit UniqueBlock(BlockHandle h) : h_(h) {}
  ~UniqueBlock() { BlockFree(h_); }
  UniqueBlock(UniqueBlock&& o) noexcept : h_(o.release()) {}
  UniqueBlock& operator=(UniqueBlock&& o) noexcept {
    if (this != &o) {
      BlockFree(h_);
      h_ = o.release();
    }
    return *this;
  }
  BlockHandle get() const { return h_; }
  BlockHandle release() {
    BlockHandle h = h_;
    h_ = nullptr;
    return h;
  }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  BlockHandle h_ = nullptr;
};

}  // namespace platform
