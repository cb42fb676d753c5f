#include "platform/mem_block.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform {

// The data follows the header in the same allocation.
struct MemBlock {
  size_t size;
  alignas(std::max_align_t) unsigned char data[1];
};

namespace {
constexpr size_t kHeader = offsetof(MemBlock, data);
}  // namespace

BlockHandle BlockAlloc(size_t size) {
  if (size > SIZE_MAX - kHeader - 1) return nullptr;
  void* p = std::calloc(1, kHeader + size + 1);
  if (!p) return nullptr;
  auto* b = static_cast<MemBlock*>(p);
  b->size = size;
  return b;
}

BlockHandle BlockReAlloc(BlockHandle block, size_t size) {
  if (!block) return BlockAlloc(size);
  if (size > SIZE_MAX - kHeader - 1) return nullptr;
  size_t old = block->size;
  void* p = std::realloc(block, kHeader + size + 1);
  if (!p) return nullptr;
  auto* b = static_cast<MemBlock*>(p);
  if (size > old) std::memset(b->data + old, 0, size - old + 1);
  b->size = size;
  return b;
}

void BlockFree(BlockHandle block) { std::free(block); }

void* BlockLock(BlockHandle block) { return block ? block->data : nullptr; }

size_t BlockSize(BlockHandle block) { return block ? block->size : 0; }

}  // namespace platform
