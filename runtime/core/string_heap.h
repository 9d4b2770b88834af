// String records, the compacting string heap and the string stack.
//
// Every heap string has exactly one owner: the StringValue whose data points
// at it. The heap moves blocks when it compacts or grows and then updates the
// owner's data pointer, so a data pointer is stale after any allocation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rt {

enum StringKind : uint8_t {
  kStringConst = 0x00,
  kStringVar = 0x10,
  kStringFixedStack = 0x11,
  kStringFixedVar = 0x12,
  kStringFixedVar2 = 0x13,
  kStringTemp = 0x20,
};

inline constexpr uint32_t kMaxStringLength = 2147483647u;
inline constexpr int kStringStackSize = 85;
inline constexpr size_t kHeapUnit = 262144;  // the heap grows and shrinks in 256 KiB units

struct StringValue {
  uint8_t kind = kStringVar;
  uint8_t reserved[3] = {};
  uint32_t length = 0;
  char* data = nullptr;
};

// Heap statistics, for tests and benchmarks.
struct HeapInfo {
  size_t units = 0;
  size_t used = 0;
  size_t liveBlocks = 0;
  size_t compactions = 0;
};
HeapInfo GetHeapInfo();

// Pushes a new temporary holding a copy of the bytes (which may lie in the heap).
void PushNewString(uint32_t length, const char* bytes);
void PushEmptyString();
void PushStringVar(StringValue& var);
void PushStringConst(const char* bytes, uint32_t length);
// Removes the top entry and returns the value it refers to. A temporary comes
// back with its block still owned by the stack; the caller must Adopt or
// ReleaseTemp it before the next heap allocation. An empty stack returns an
// empty temporary.
StringValue PopString();
// Makes target the owner of a popped temporary's block.
void Adopt(StringValue& target, const StringValue& popped);
// Marks the block free when the value is a variable or a temporary with data.
void ReleaseString(const StringValue& value);
// Releases the value only when it is a temporary.
inline void ReleaseTemp(const StringValue& value) {
  if (value.kind == kStringTemp) ReleaseString(value);
}
// Marks free every block owned by a string record inside the given memory
// (the elements of an array being released): one walk of the heap, however
// large the array.
void ReleaseStringsOwnedIn(const void* begin, size_t bytes);
void ResetStringStack();
int StringStackDepth();
// Exchanges the two topmost entries (used when C++ evaluated the operands of
// a binary string operator right to left).
void SwapTopStrings();
void FreeStringHeap();

// A buffer for building function results: static up to 512 bytes,
// allocated above that (error 7, site 0x7A01, when it cannot be had).
class WorkBuffer {
 public:
  explicit WorkBuffer(size_t size);
  ~WorkBuffer();
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;
  char* data() { return data_; }
  // False when the buffer could not be had and the error was ignored.
  bool ok() const { return data_ != nullptr; }

 private:
  char* data_;
  bool allocated_;
};

}  // namespace rt
