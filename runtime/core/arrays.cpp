#include "arrays.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "frame.h"
#include "numbers.h"
#include "string_heap.h"

namespace rt {
namespace {

struct RegistryEntry {
  const void* level;
  ArrayDescriptor* descriptor;
};

// Registry entries count 8 bytes each against its size limit.
constexpr size_t kRegistryEntryBytes = 8;
constexpr size_t kRegistryLimit = 2147483647u;

std::vector<RegistryEntry>& Registry() {
  static std::vector<RegistryEntry> registry;
  return registry;
}

void Unregister(ArrayDescriptor* d) {
  auto& r = Registry();
  for (auto it = r.end(); it != r.begin();) {
    --it;
    if (it->descriptor == d) {
      r.erase(it);
      return;
    }
  }
}

size_t Elements(const ArrayBounds& b) {
  size_t n = 1;
  for (int i = 0; i < b.dimensions; ++i) n *= b.counts[i];
  return n;
}

// Numbers start at zero and strings empty in the zero-filled block: a string
// record of all zeros (no data, length 0) is an empty variable to every
// string operation, so a large DIM writes nothing and costs no memory until
// its elements are used. Fixed-length strings need their headers and blanks.
void InitElements(ArrayDescriptor& d, uint32_t elementSize, size_t count) {
  char* p = static_cast<char*>(d.data);
  if (d.elementType == kTypeFixedStringArray) {
    for (size_t i = 0; i < count; ++i) {
      char* e = p + i * elementSize;
      auto* s = reinterpret_cast<StringValue*>(e);
      *s = StringValue{kStringFixedVar2, {}, static_cast<uint32_t>(elementSize - sizeof(StringValue)),
                       e + sizeof(StringValue)};
      std::memset(e + sizeof(StringValue), ' ', elementSize - sizeof(StringValue));
    }
  }
}

// The strings of a string array give back their heap blocks.
void ReleaseElements(ArrayDescriptor& d) {
  if (d.elementType != kTypeString || !d.data) return;
  ReleaseStringsOwnedIn(d.data, Elements(*d.bounds) * d.elementSize);
}

// Registers the array and gives it a zero-filled, initialised block.
void Allocate(ArrayDescriptor& d, uint32_t elementSize) {
  auto& r = Registry();
  if ((r.size() + 1) * kRegistryEntryBytes > kRegistryLimit) return RaiseError(89, 0xC802);
  try {
    r.push_back({State().levelFrame, &d});
  } catch (const std::bad_alloc&) {
    return RaiseError(7, r.empty() ? 0xC801 : 0xC803);
  }
  const ArrayBounds& b = *d.bounds;
  uint32_t count = 1;
  for (int i = 0; i < b.dimensions; ++i) {
    if (__builtin_mul_overflow(count, b.counts[i], &count)) {
      Unregister(&d);
      return RaiseError(9, 0xC701);
    }
  }
  uint32_t bytes;
  if (__builtin_mul_overflow(count, elementSize, &bytes)) {
    Unregister(&d);
    return RaiseError(9, 0xC702);
  }
  if (bytes > 2147483647u) {
    Unregister(&d);
    return RaiseError(9, 0xC703);
  }
  void* block = std::calloc(bytes ? bytes : 1, 1);
  if (!block) {
    Unregister(&d);
    return RaiseError(7, 0xC701);
  }
  d.data = block;
  d.elementSize = elementSize;
  InitElements(d, elementSize, count);
}

// A zeroed element that an access aims at when its error was ignored.
void* ScratchElement() {
  alignas(16) static char scratch[4096];
  std::memset(scratch, 0, sizeof scratch);
  return scratch;
}

}  // namespace

void DimArray(const DimRequest& q) {
  ArrayDescriptor& d = *q.descriptor;
  if (d.data) return RaiseError(10, 0x1002);
  d.storage = 0;
  d.elementType = q.elementType;
  d.bounds = q.bounds;
  ArrayBounds& b = *q.bounds;
  b.dimensions = q.dimensions;
  for (int i = 0; i < q.dimensions; ++i) {
    if (q.upper[i] > kMaxUpperBound) {
      b.dimensions = 0;
      return RaiseError(5, 0x1003);
    }
    b.counts[i] = q.upper[i] + 1;
  }
  Allocate(d, q.elementSize);
}

void* ElementAddress(const ElementRef& ref) {
  ArrayDescriptor& d = *ref.descriptor;
  uint32_t elementSize = ref.elementSize;
  if (ref.elementType == kTypeFixedStringArray) {
    if (!d.data) {
      RaiseError(5, 0xBB01);
      return ScratchElement();
    }
    elementSize = static_cast<StringValue*>(d.data)->length + sizeof(StringValue);
  } else if (!d.data) {
    d.storage = 0;
    d.elementType = ref.elementType;
    d.bounds = ref.bounds;
    ArrayBounds& b = *ref.bounds;
    b.dimensions = ref.dimensions;
    for (int i = 0; i < ref.dimensions; ++i) b.counts[i] = kAutoDimCount;
    Allocate(d, elementSize);
    if (!d.data) return ScratchElement();
  }
  const ArrayBounds& b = *d.bounds;
  int last = b.dimensions - 1;
  if (ref.subscripts[last] >= b.counts[last]) {
    RaiseError(9, 0xBF02);
    return ScratchElement();
  }
  uint64_t offset = ref.subscripts[last];
  for (int i = last - 1; i >= 0; --i) {
    if (ref.subscripts[i] >= b.counts[i]) {
      RaiseError(9, 0xBF03);
      return ScratchElement();
    }
    offset = offset * b.counts[i] + ref.subscripts[i];
  }
  return static_cast<char*>(d.data) + offset * elementSize;
}

void EraseArrays(size_t count, ArrayDescriptor* const* descriptors) {
  for (size_t i = 0; i < count; ++i) {
    ArrayDescriptor& d = *descriptors[i];
    if (!d.data) {
      RaiseError(5, 0x8302);
      continue;
    }
    if (d.storage == 1) {
      // A static array keeps its block; only its contents start over.
      ReleaseElements(d);
      size_t n = Elements(*d.bounds);
      std::memset(d.data, 0, n * d.elementSize);
      InitElements(d, d.elementSize, n);
      continue;
    }
    DiscardArray(d);
  }
}

void DiscardArray(ArrayDescriptor& d) {
  if (!d.data) return;
  ReleaseElements(d);
  std::free(d.data);
  d.data = nullptr;
  for (uint32_t& c : d.bounds->counts) c = 0;
  d.bounds->dimensions = 0;
  Unregister(&d);
}

size_t RegisteredArrayCount() { return Registry().size(); }

void FreeAllArrays() {
  auto& r = Registry();
  while (!r.empty()) DiscardArray(*r.back().descriptor);
}

}  // namespace rt
