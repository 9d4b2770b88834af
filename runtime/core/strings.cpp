#include "strings.h"

#include <cstring>

#include "frame.h"

namespace rt {
namespace {

bool IsFixed(const StringValue& v) { return v.kind == kStringFixedVar || v.kind == kStringFixedVar2; }

// Pops the value just pushed (a new temporary) into the target.
void AdoptTop(StringValue& target) {
  StringValue v = PopString();
  Adopt(target, v);
}

void PushResult(const char* bytes, uint32_t length) { PushNewString(length, bytes); }

}  // namespace

void AssignPop(StringValue& target) {
  if (IsFixed(target)) {
    ReleaseTemp(PopString());
    return RaiseError(13, 0xC201);
  }
  StringValue v = PopString();
  if (target.data) ReleaseString(target);
  if (v.kind == kStringTemp) {
    Adopt(target, v);
    return;
  }
  // A variable reference: copy its bytes (the source is copied to scratch
  // first, so assigning a variable to itself keeps its text).
  PushNewString(v.length, v.data);
  AdoptTop(target);
}

void AssignConst(StringValue& target, const char* bytes, uint32_t length) {
  if (IsFixed(target)) return RaiseError(13, 0xC001);
  if (target.data) ReleaseString(target);
  PushNewString(length, bytes);
  AdoptTop(target);
}

void AssignVar(StringValue& target, const StringValue& source) {
  if (IsFixed(target)) return RaiseError(13, 0xC301);
  const char* bytes = source.data;
  uint32_t length = source.length;
  if (target.data) ReleaseString(target);
  PushNewString(length, bytes);
  AdoptTop(target);
}

void AssignBytes(StringValue& target, std::string_view bytes) {
  if (bytes.size() > kMaxStringLength) return RaiseError(15, 0xC504);
  AssignConst(target, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void PushBytes(std::string_view bytes) {
  if (bytes.size() > kMaxStringLength) return RaiseError(15, 0xC504);
  PushStringConst(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void ClearString(StringValue& target) {
  if (IsFixed(target)) return RaiseError(13, 0xC101);
  if (target.data) ReleaseString(target);
  target = StringValue{kStringVar, {}, 0, nullptr};
}

void Concat() {
  StringValue b = PopString();
  StringValue a = PopString();
  // In 64 bits: a length above the limit must not wrap the check around.
  if (static_cast<uint64_t>(a.length) + b.length > kMaxStringLength) {
    ReleaseTemp(b);
    ReleaseTemp(a);
    return RaiseError(15, 0xC401);
  }
  uint32_t total = a.length + b.length;
  WorkBuffer work(total);
  if (!work.ok()) return;
  if (a.length) std::memcpy(work.data(), a.data, a.length);
  if (b.length) std::memcpy(work.data() + a.length, b.data, b.length);
  ReleaseTemp(b);
  ReleaseTemp(a);
  PushResult(work.data(), total);
}

void Mid(uint32_t start, uint32_t count) {
  StringValue s = PopString();
  if (start == 0 || start > kMaxStringLength || count > kMaxStringLength) {
    ReleaseTemp(s);
    return RaiseError(5, 0x9A01);
  }
  uint32_t n = 0;
  if (s.length >= start) n = count < s.length - start + 1 ? count : s.length - start + 1;
  WorkBuffer work(n);
  if (!work.ok()) return;
  if (n) std::memcpy(work.data(), s.data + (start - 1), n);
  ReleaseTemp(s);
  PushResult(work.data(), n);
}

int32_t Len() {
  StringValue s = PopString();
  ReleaseTemp(s);
  return static_cast<int32_t>(s.length);
}

int CompareStrings() {
  StringValue b = PopString();
  StringValue a = PopString();
  int result;
  if (a.length == 0 && b.length == 0) {
    result = 0;
  } else if (a.length == 0) {
    result = 2;
  } else if (b.length == 0) {
    result = 1;
  } else {
    uint32_t n = a.length < b.length ? a.length : b.length;
    int c = std::memcmp(a.data, b.data, n);  // memcmp compares unsigned bytes
    if (c != 0) result = c > 0 ? 1 : 2;
    else if (a.length == b.length) result = 0;
    else result = a.length > b.length ? 1 : 2;
  }
  ReleaseTemp(b);
  ReleaseTemp(a);
  return result;
}

std::string PopBytes() {
  StringValue s = PopString();
  std::string bytes(View(s));
  ReleaseTemp(s);
  return bytes;
}

}  // namespace rt
