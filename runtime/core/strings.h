// String assignments and the string functions. Operands pass through the
// string stack of string_heap.h, as in compiled BASIC code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "string_heap.h"

namespace rt {

// target = value popped from the stack
void AssignPop(StringValue& target);
// target = copy of the constant
void AssignConst(StringValue& target, const char* bytes, uint32_t length);
// target = copy of the source (which may be the target itself)
void AssignVar(StringValue& target, const StringValue& source);
// target = empty
void ClearString(StringValue& target);
// target = copy of bytes of any length the machine holds, and PUSH of such
// bytes: more than the longest string (2147483647 bytes) is error 15.
void AssignBytes(StringValue& target, std::string_view bytes);
void PushBytes(std::string_view bytes);

// A$ + B$: pops B$ then A$, pushes the concatenation.
void Concat();
// MID$(S$, start, count): pops S$, pushes the substring.
void Mid(uint32_t start, uint32_t count);
// LEN(S$): pops S$.
int32_t Len();
// Pops B$ then A$: 0 equal, 1 A$ sorts after B$, 2 A$ sorts before B$.
int CompareStrings();

// Pops a string and returns its bytes (releasing a temporary).
std::string PopBytes();
inline std::string_view View(const StringValue& v) {
  return v.data ? std::string_view(v.data, v.length) : std::string_view();
}

}  // namespace rt
