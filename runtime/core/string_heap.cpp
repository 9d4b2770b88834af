#include "string_heap.h"

#include <cstdlib>
#include <cstring>

#include "frame.h"

namespace rt {
namespace {

// A block is this header followed by the string's bytes, padded so that the
// next header is aligned.
struct BlockHeader {
  StringValue* owner;  // null: free
  uint32_t level;
  uint32_t length;
};
constexpr size_t kHeader = sizeof(BlockHeader);

size_t BlockSize(uint32_t length) { return (kHeader + length + 7) & ~size_t{7}; }

struct StackEntry {
  StringValue* ref;
  StringValue inlineValue;
};

struct Heap {
  char* base = nullptr;
  size_t units = 0;
  size_t used = 0;
  size_t compactions = 0;
  StackEntry stack[kStringStackSize];
  int depth = 0;
};

Heap& H() {
  static Heap heap;
  return heap;
}

BlockHeader* HeaderAt(char* p) { return reinterpret_cast<BlockHeader*>(p); }

// Points every owner at its block's current bytes.
void RelinkOwners(Heap& h) {
  for (size_t off = 0; off < h.used;) {
    BlockHeader* b = HeaderAt(h.base + off);
    if (b->owner) b->owner->data = h.base + off + kHeader;
    off += BlockSize(b->length);
  }
}

void ResizeHeap(Heap& h, size_t units, uint32_t site) {
  char* moved = static_cast<char*>(std::realloc(h.base, units * kHeapUnit));
  if (!moved) {
    RaiseError(82, site);
    return;
  }
  h.base = moved;
  h.units = units;
  RelinkOwners(h);
}

// Squeezes out the free blocks, keeping the order of live ones, then gives
// back whole units that are no longer needed.
void Compact(Heap& h) {
  ++h.compactions;
  size_t to = 0;
  for (size_t off = 0; off < h.used;) {
    BlockHeader* b = HeaderAt(h.base + off);
    size_t size = BlockSize(b->length);
    if (b->owner) {
      if (to != off) std::memmove(h.base + to, h.base + off, size);
      BlockHeader* moved = HeaderAt(h.base + to);
      moved->owner->data = h.base + to + kHeader;
      to += size;
    }
    off += size;
  }
  h.used = to;
  size_t keep = h.used / kHeapUnit + 1;
  if (keep < h.units) ResizeHeap(h, keep, 0xC601);
}

StackEntry* PushEntry() {
  Heap& h = H();
  if (h.depth >= kStringStackSize) {
    RaiseError(16, 0xC501);
    return nullptr;
  }
  return &h.stack[h.depth++];
}

// Places a copy of the bytes in the heap, owned by owner; returns the data.
char* Allocate(StringValue* owner, uint32_t n, const char* bytes) {
  Heap& h = H();
  const size_t need = BlockSize(n);
  char* scratch = nullptr;
  if (!h.base) {
    size_t units = (n + kHeader) / kHeapUnit + 1;
    h.base = static_cast<char*>(std::malloc(units * kHeapUnit));
    if (!h.base) {
      RaiseError(7, 0xC501);
      return nullptr;
    }
    h.units = units;
    h.used = 0;
  } else if (h.units * kHeapUnit - h.used < need) {
    // Compaction or growth moves the heap; a source inside it is copied first.
    if (bytes >= h.base && bytes < h.base + h.units * kHeapUnit) {
      scratch = static_cast<char*>(std::malloc(n));
      if (!scratch) {
        RaiseError(7, 0xC502);
        return nullptr;
      }
      std::memcpy(scratch, bytes, n);
      bytes = scratch;
    }
    Compact(h);
    size_t free = h.units * kHeapUnit - h.used;
    if (free < need) {
      size_t units = h.units + (need - free) / kHeapUnit + 1;
      ResizeHeap(h, units, 0xC503);
      if (h.units != units) {
        std::free(scratch);
        return nullptr;
      }
    }
  }
  char* block = h.base + h.used;
  BlockHeader* header = HeaderAt(block);
  header->owner = owner;
  header->level = 0;
  header->length = n;
  std::memcpy(block + kHeader, bytes, n);
  h.used += need;
  std::free(scratch);
  return block + kHeader;
}

}  // namespace

HeapInfo GetHeapInfo() {
  Heap& h = H();
  HeapInfo info;
  info.units = h.units;
  info.used = h.used;
  info.compactions = h.compactions;
  for (size_t off = 0; off < h.used;) {
    BlockHeader* b = HeaderAt(h.base + off);
    if (b->owner) ++info.liveBlocks;
    off += BlockSize(b->length);
  }
  return info;
}

void PushNewString(uint32_t length, const char* bytes) {
  StackEntry* e = PushEntry();
  if (!e) return;
  e->inlineValue = StringValue{kStringTemp, {}, length, nullptr};
  e->ref = &e->inlineValue;
  if (length == 0) return;
  char* data = Allocate(&e->inlineValue, length, bytes);
  if (!data) {
    e->inlineValue.length = 0;
    return;
  }
  e->inlineValue.data = data;
}

void PushEmptyString() { PushNewString(0, nullptr); }

void PushStringConst(const char* bytes, uint32_t length) { PushNewString(length, bytes); }

void PushStringVar(StringValue& var) {
  StackEntry* e = PushEntry();
  if (!e) return;
  if (var.kind == kStringTemp || var.kind == kStringFixedStack) {
    e->inlineValue = var;
    e->ref = &e->inlineValue;
  } else {
    e->ref = &var;
  }
}

StringValue PopString() {
  Heap& h = H();
  if (h.depth == 0) return StringValue{kStringTemp, {}, 0, nullptr};
  StackEntry& e = h.stack[--h.depth];
  return *e.ref;
}

void Adopt(StringValue& target, const StringValue& popped) {
  target.kind = kStringVar;
  target.length = popped.length;
  target.data = popped.data;
  if (popped.data) HeaderAt(popped.data - kHeader)->owner = &target;
}

void ReleaseString(const StringValue& value) {
  if ((value.kind == kStringVar || value.kind == kStringTemp) && value.data && H().base) {
    HeaderAt(value.data - kHeader)->owner = nullptr;
  }
}

void ReleaseStringsOwnedIn(const void* begin, size_t bytes) {
  Heap& h = H();
  if (!h.base || bytes == 0) return;
  const char* first = static_cast<const char*>(begin);
  const char* last = first + bytes;
  for (size_t off = 0; off < h.used;) {
    BlockHeader* b = HeaderAt(h.base + off);
    const char* owner = reinterpret_cast<const char*>(b->owner);
    if (owner >= first && owner < last) b->owner = nullptr;
    off += BlockSize(b->length);
  }
}

void ResetStringStack() {
  Heap& h = H();
  for (int i = 0; i < h.depth; ++i) {
    if (h.stack[i].ref == &h.stack[i].inlineValue) ReleaseTemp(h.stack[i].inlineValue);
  }
  h.depth = 0;
}

int StringStackDepth() { return H().depth; }

void SwapTopStrings() {
  Heap& h = H();
  if (h.depth < 2) return;
  StackEntry& a = h.stack[h.depth - 1];
  StackEntry& b = h.stack[h.depth - 2];
  bool aInline = a.ref == &a.inlineValue;
  bool bInline = b.ref == &b.inlineValue;
  StringValue av = a.inlineValue, bv = b.inlineValue;
  StringValue* aref = a.ref;
  StringValue* bref = b.ref;
  // Move b into a's slot and a into b's slot, keeping owner links right.
  a.inlineValue = bv;
  a.ref = bInline ? &a.inlineValue : bref;
  b.inlineValue = av;
  b.ref = aInline ? &b.inlineValue : aref;
  if (aInline && b.inlineValue.data) HeaderAt(b.inlineValue.data - kHeader)->owner = &b.inlineValue;
  if (bInline && a.inlineValue.data) HeaderAt(a.inlineValue.data - kHeader)->owner = &a.inlineValue;
}

void FreeStringHeap() {
  Heap& h = H();
  // Owners that outlive the heap become empty rather than dangle.
  for (size_t off = 0; off < h.used;) {
    BlockHeader* b = HeaderAt(h.base + off);
    if (b->owner) {
      b->owner->data = nullptr;
      b->owner->length = 0;
    }
    off += BlockSize(b->length);
  }
  std::free(h.base);
  h.base = nullptr;
  h.units = 0;
  h.used = 0;
  h.depth = 0;
  h.compactions = 0;
}

namespace {
char staticWork[512];
}

WorkBuffer::WorkBuffer(size_t size) : data_(staticWork), allocated_(false) {
  if (size > sizeof staticWork) {
    data_ = static_cast<char*>(std::malloc(size));
    if (!data_) {
      data_ = nullptr;
      RaiseError(7, 0x7A01);
      return;
    }
    allocated_ = true;
  }
}

WorkBuffer::~WorkBuffer() {
  if (allocated_) std::free(data_);
}

}  // namespace rt
