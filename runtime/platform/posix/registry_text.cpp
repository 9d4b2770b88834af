#include "runtime/platform/posix/registry_text.h"

#include <cstring>

namespace platform {
namespace {

constexpr size_t kMaxValues = 32;
constexpr char kHeader[] = "Windows Registry Editor Version 5.00";

// One line: its text without the line end, and where the next line starts.
struct Line {
  size_t begin, end, next;
};

bool NextLine(Bytes s, size_t at, Line& line) {
  if (at >= s.size) return false;
  const void* nl = std::memchr(s.data + at, '\n', s.size - at);
  size_t stop = nl ? static_cast<size_t>(static_cast<const char*>(nl) - s.data) : s.size;
  line.begin = at;
  line.next = nl ? stop + 1 : s.size;
  line.end = stop > at && s.data[stop - 1] == '\r' ? stop - 1 : stop;
  return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const char* a, size_t an, Bytes b) {
  if (an != b.size) return false;
  for (size_t i = 0; i < an; ++i)
    if (Lower(a[i]) != Lower(b.data[i])) return false;
  return true;
}

// A section header "[key]": true with the key's text.
bool Header(Bytes s, const Line& l, Bytes& key) {
  if (l.end - l.begin < 2 || s.data[l.begin] != '[' || s.data[l.end - 1] != ']') return false;
  key = {s.data + l.begin + 1, l.end - l.begin - 2};
  return true;
}

// A value line "\"name\"=...": compares its name (escapes undone) with the
// given one and gives where its written form starts.
bool ValueNamed(Bytes s, const Line& l, Bytes name, size_t& written) {
  if (l.end - l.begin < 3 || s.data[l.begin] != '"') return false;
  size_t i = l.begin + 1, k = 0;
  bool same = true;
  for (; i < l.end && s.data[i] != '"'; ++i) {
    if (s.data[i] == '\\' && i + 1 < l.end) ++i;
    if (k >= name.size || Lower(s.data[i]) != Lower(name.data[k])) same = false;
    ++k;
  }
  if (i + 1 >= l.end || s.data[i + 1] != '=') return false;
  written = i + 2;
  return same && k == name.size;
}

bool IsValueLine(Bytes s, const Line& l) { return l.end > l.begin && s.data[l.begin] == '"'; }

// The end of a value's lines: a line ending in "\" continues on the next
// when that one is indented, as a long hex value is written.
size_t EntryEnd(Bytes s, Line l) {
  while (l.end > l.begin && s.data[l.end - 1] == '\\') {
    Line next;
    if (!NextLine(s, l.next, next) || next.end == next.begin ||
        (s.data[next.begin] != ' ' && s.data[next.begin] != '\t'))
      break;
    l = next;
  }
  return l.next;
}

// Where the first section of the key is and what it holds of the values.
struct Section {
  bool found = false;
  size_t insertAt = 0;  // after the header, or after its last value
  size_t begin[kMaxValues] = {}, end[kMaxValues] = {};
  bool has[kMaxValues] = {};
  size_t writtenAt[kMaxValues] = {};
};

void Locate(Bytes s, Bytes key, const Bytes* names, size_t count, Section& sec) {
  Line l{};
  bool inside = false;
  for (size_t at = 0; NextLine(s, at, l); at = l.next) {
    Bytes k;
    if (Header(s, l, k)) {
      if (inside) return;  // the first copy of the section ends
      if (!sec.found && SameText(k.data, k.size, key)) {
        sec.found = inside = true;
        sec.insertAt = l.next;
      }
      continue;
    }
    if (!inside || !IsValueLine(s, l)) continue;
    const size_t end = EntryEnd(s, l);
    for (size_t i = 0; i < count; ++i) {
      size_t written;
      if (!sec.has[i] && ValueNamed(s, l, names[i], written)) {
        sec.has[i] = true;
        sec.begin[i] = l.begin;
        sec.end[i] = end;
        sec.writtenAt[i] = written;
      }
    }
    sec.insertAt = end;
    Line last;
    for (size_t p = l.next; p < end && NextLine(s, p, last); p = last.next) l = last;
  }
}

class Writer {
 public:
  Writer(char* out, size_t capacity) : out_(out), capacity_(capacity) {}
  void Put(const char* p, size_t n) {
    if (n > capacity_ - size_) {
      failed_ = true;
      return;
    }
    std::memcpy(out_ + size_, p, n);
    size_ += n;
  }
  void Put(Bytes b) { Put(b.data, b.size); }
  void Put(const char* text) { Put(text, std::strlen(text)); }
  // A value line: the name with '\' and '"' escaped.
  void Value(const StoreValue& v, const char* eol) {
    Put("\"");
    for (size_t i = 0; i < v.name.size; ++i) {
      if (v.name.data[i] == '\\' || v.name.data[i] == '"') Put("\\");
      Put(v.name.data + i, 1);
    }
    Put("\"=");
    Put(v.written);
    Put(eol);
  }
  size_t Result() const { return failed_ ? 0 : size_; }

 private:
  char* out_;
  size_t capacity_, size_ = 0;
  bool failed_ = false;
};

}  // namespace

bool IsStoreText(Bytes s) {
  const auto* b = reinterpret_cast<const unsigned char*>(s.data);
  // A byte-order mark of UTF-16 or UTF-32 (regedit's own exports are UTF-16).
  if (s.size >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) return false;
  if (s.size >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) return false;
  // UTF-16 or UTF-32 without a mark: NUL bytes all through its first line.
  size_t nul = 0, n = 0;
  for (; n < s.size && n < 64 && b[n] != '\n'; ++n) nul += b[n] == 0;
  return !(n >= 2 && nul * 4 >= n);
}

size_t EditStoreText(Bytes s, Bytes key, const StoreValue* values, size_t count, char* out, size_t capacity) {
  if (count > kMaxValues) return 0;
  Bytes names[kMaxValues];
  for (size_t i = 0; i < count; ++i) names[i] = values[i].name;
  Section sec;
  Locate(s, key, names, count, sec);
  Line first;
  const char* eol = NextLine(s, 0, first) && first.end < first.next && s.data[first.end] == '\r' ? "\r\n" : "\n";
  Writer w(out, capacity);
  if (!sec.found) {
    w.Put(s);
    if (s.size == 0) w.Put(kHeader), w.Put(eol);
    else if (s.data[s.size - 1] != '\n') w.Put(eol);
    w.Put(eol);
    w.Put("[");
    w.Put(key);
    w.Put("]");
    w.Put(eol);
    for (size_t i = 0; i < count; ++i) w.Value(values[i], eol);
    return w.Result();
  }
  // The values there are replaced in the order they stand.
  size_t pos = 0;
  for (;;) {
    size_t next = count;
    for (size_t i = 0; i < count; ++i)
      if (sec.has[i] && sec.begin[i] >= pos && (next == count || sec.begin[i] < sec.begin[next])) next = i;
    if (next == count) break;
    w.Put(s.data + pos, sec.begin[next] - pos);
    w.Value(values[next], eol);
    pos = sec.end[next];
  }
  w.Put(s.data + pos, sec.insertAt - pos);
  bool lineEnded = sec.insertAt == 0 || s.data[sec.insertAt - 1] == '\n';
  for (size_t i = 0; i < count; ++i) {
    if (sec.has[i]) continue;
    if (!lineEnded) w.Put(eol);
    lineEnded = true;
    w.Value(values[i], eol);
  }
  w.Put(s.data + sec.insertAt, s.size - sec.insertAt);
  return w.Result();
}

bool FindStoreValue(Bytes s, Bytes key, Bytes name, Bytes& written) {
  Section sec;
  Locate(s, key, &name, 1, sec);
  if (!sec.has[0]) return false;
  Line l{};
  NextLine(s, sec.begin[0], l);
  written = {s.data + sec.writtenAt[0], l.end - sec.writtenAt[0]};
  return true;
}

}  // namespace platform
