// Arrays of one or more dimensions: DIM, the automatic DIM of an array used
// before it is dimensioned, ERASE, and element addresses with bounds checks.
// Lower bounds are 0; storage is column-major (the first subscript varies
// fastest).
#pragma once

#include <cstddef>
#include <cstdint>

namespace rt {

inline constexpr int kMaxDimensions = 8;
inline constexpr uint32_t kMaxUpperBound = 0x7FFFFFFEu;
inline constexpr uint32_t kAutoDimCount = 11;  // subscripts 0 to 10

struct ArrayBounds {
  uint8_t dimensions = 0;
  uint32_t counts[kMaxDimensions] = {};  // upper bound + 1 per dimension
};

struct ArrayDescriptor {
  uint8_t storage = 0;  // 0 dynamic, 1 static
  uint8_t elementType = 0;
  void* data = nullptr;  // null while not dimensioned
  ArrayBounds* bounds = nullptr;
  uint32_t elementSize = 0;  // kept so that ERASE can reset a static array
};

struct DimRequest {
  uint8_t elementType;
  uint8_t dimensions;
  uint32_t elementSize;
  ArrayDescriptor* descriptor;
  ArrayBounds* bounds;
  uint32_t upper[kMaxDimensions];
};

struct ElementRef {
  uint8_t elementType;
  uint8_t dimensions;
  uint32_t elementSize;
  ArrayDescriptor* descriptor;
  ArrayBounds* bounds;
  uint32_t subscripts[kMaxDimensions];
};

void DimArray(const DimRequest& request);
void* ElementAddress(const ElementRef& ref);
void EraseArrays(size_t count, ArrayDescriptor* const* descriptors);

// Releases one array without raising errors (a variable going out of scope).
void DiscardArray(ArrayDescriptor& descriptor);

// The number of dynamic arrays now dimensioned.
size_t RegisteredArrayCount();
// Releases every dimensioned array (at shutdown).
void FreeAllArrays();

}  // namespace rt
