#include "data_read.h"

#include <cmath>
#include <cstring>

#include "frame.h"
#include "number_scan.h"
#include "numbers.h"
#include "string_heap.h"
#include "strings.h"

namespace rt {

std::vector<uint8_t> BuildDataArea(std::initializer_list<DataLine> lines) {
  std::vector<uint8_t> area;
  for (const DataLine& l : lines) {
    area.push_back(0);
    area.push_back(static_cast<uint8_t>(l.line & 0xFF));
    area.push_back(static_cast<uint8_t>((l.line >> 8) & 0xFF));
    area.insert(area.end(), l.items.begin(), l.items.end());
  }
  area.insert(area.end(), {0, 0, 0});
  return area;
}

namespace {

// Raises an error of a malformed item with the DATA line as the current line.
void ItemError(int number, uint32_t site) {
  SetLine(State().dataLine);
  RaiseError(number, site);
}

bool AtLineEnd(const uint8_t* p) { return *p == 0; }

void StoreFixed(StringValue& var, std::string_view item) {
  size_t n = item.size() < var.length ? item.size() : var.length;
  if (n) std::memcpy(var.data, item.data(), n);
  if (var.length > n) std::memset(var.data + n, ' ', var.length - n);
}

// Converts a scanned double to the variable's type and stores it.
void StoreNumber(const VarRef& v, double value) {
  double r = std::nearbyint(value);
  switch (v.type) {
    case kTypeInteger:
      if (!(r >= -32768 && r <= 32767)) return RaiseError(6, 0x8808);
      *static_cast<int16_t*>(v.address) = static_cast<int16_t>(r);
      return;
    case kTypeLong:
      if (!(r >= -2147483648.0 && r <= 2147483647.0)) return RaiseError(6, 0x8809);
      *static_cast<int32_t*>(v.address) = static_cast<int32_t>(r);
      return;
    case kTypeSingle: {
      float f = static_cast<float>(value);
      if (std::isinf(f)) return RaiseError(6, 0x880A);
      *static_cast<float*>(v.address) = f;
      return;
    }
    case kTypeDouble:
      *static_cast<double*>(v.address) = value;
      return;
    case kTypeByte:
      if (!(r >= 0 && r <= 255)) return RaiseError(6, 0x880B);
      *static_cast<uint8_t*>(v.address) = static_cast<uint8_t>(r);
      return;
  }
}

void StoreItem(const VarRef& v, std::string_view item, bool quoted) {
  switch (v.type) {
    case kTypeString:
      AssignConst(*static_cast<StringValue*>(v.address), item.data(),
                  static_cast<uint32_t>(item.size()));
      return;
    case kTypeFixedString:
      StoreFixed(*static_cast<StringValue*>(v.address), item);
      return;
    case kTypeInteger:
    case kTypeLong:
    case kTypeSingle:
    case kTypeDouble:
    case kTypeByte:
      break;
    default:
      return RaiseError(5, 0x880C);
  }
  if (item.empty()) return ItemError(13, 0x8805);
  // An unquoted item keeps its trailing blanks; after the number only they
  // may follow, in the radix form as in the decimal one.
  auto restIsBlank = [&](size_t end) {
    while (end < item.size() && item[end] == ' ') ++end;
    return end == item.size();
  };
  ScanResult r;
  if (!quoted && item[0] == '&') {
    r = ScanRadix(item, 0);
    if (r.status != ScanStatus::Ok || !restIsBlank(r.end)) return ItemError(13, 0x8806);
  } else {
    r = ScanNumber(item, 0, WantedType::Double);
    if (r.status == ScanStatus::Overflow) return RaiseError(6, 0x8807);
    if (r.status != ScanStatus::Ok || !restIsBlank(r.end)) return ItemError(13, 0x8807);
  }
  StoreNumber(v, r.value);
}

}  // namespace

void Read(const VarRef* vars, size_t count) {
  RunState& s = State();
  if (!s.dataPointer) return RaiseError(4, 0x8801);
  const uint8_t* p = s.dataPointer;
  for (size_t k = 0; k < count; ++k) {
    if (*p == ',') ++p;
    if (AtLineEnd(p)) {
      uint16_t line = static_cast<uint16_t>(p[1] | (p[2] << 8));
      if (line == 0) {
        s.dataPointer = p;
        return RaiseError(4, 0x8802);
      }
      s.dataLine = static_cast<int16_t>(line);
      p += 3;
    }
    while (*p == ' ' || *p == '\t') ++p;

    std::string_view item;
    bool quoted = *p == '"';
    if (quoted) {
      const uint8_t* start = ++p;
      while (*p && *p != '"') ++p;
      item = std::string_view(reinterpret_cast<const char*>(start), p - start);
      if (*p == '"') ++p;
      while (*p == ' ') ++p;
      if (*p && *p != ',') {
        s.dataPointer = p;
        return ItemError(13, 0x8803);
      }
    } else {
      const uint8_t* start = p;
      while (*p && *p != ',') {
        if (*p == '"') return ItemError(2, 0x880D);
        if (*p == ':') {
          if (p[1] == 0) break;
          return ItemError(2, 0x8804);
        }
        ++p;
      }
      item = std::string_view(reinterpret_cast<const char*>(start), p - start);
    }
    StoreItem(vars[k], item, quoted);
    // Past the rest of the item, up to the next "," or the end of the line.
    while (*p && *p != ',') ++p;
    s.dataPointer = p;
  }
}

}  // namespace rt
