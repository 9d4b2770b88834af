#include "runtime/platform/fatal_line.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace platform {
namespace {

void CopyText(char* to, size_t capacity, const std::string& from) {
  const size_t n = std::min(from.size(), capacity - 1);
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

}  // namespace

void FatalLine::Prepare(const FatalReport& report, FatalWhere where) {
  where_ = where;
  const std::string message = report.caption + ": " + report.message;
  messageSize_ = std::min(message.size(), sizeof message_);
  std::memcpy(message_, message.data(), messageSize_);
  CopyText(unknown_, sizeof unknown_, report.unknownModule);
  CopyText(lineEnd_, sizeof lineEnd_, report.lineEnd);
}

size_t FatalLine::Build(char* out, size_t capacity, const char*& module, unsigned& line) const {
  module = nullptr;
  line = 0;
  if (where_) where_(&module, &line);
  if (!module) module = unknown_;
  size_t n = 0;
  auto put = [&](const char* p, size_t size) {
    for (size_t i = 0; i < size && n < capacity; ++i) out[n++] = p[i];
  };
  auto putText = [&](const char* p) {
    while (*p && n < capacity) out[n++] = *p++;
  };
  put(message_, messageSize_);
  putText(module);
  putText(" [");
  char digits[16];
  size_t count = 0;
  unsigned v = line & 0xFFFF;
  do {
    digits[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  while (count > 0 && n < capacity) out[n++] = digits[--count];
  putText(lineEnd_);
  putText("\n");
  return n;
}

}  // namespace platform
