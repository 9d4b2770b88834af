#include "runtime/core/files.h"

#include <cstring>
#include <memory>
#include <vector>

#include "runtime/core/frame.h"
#include "runtime/core/number_format.h"
#include "runtime/core/number_scan.h"
#include "runtime/core/numbers.h"
#include "runtime/core/strings.h"
#include "runtime/platform/files.h"

namespace rt {

std::string RetryText();  // "もう一度入力してください\r\n", in messages_cp932.cpp

namespace {

constexpr int kFirstDiskSlot = 15;
constexpr int kLastDiskSlot = 270;
constexpr int kScreenSlot = 0;

// Kinds of open files, from the mode.
enum FileKind { kKindInput = 1, kKindOutput = 2, kKindAppend = 3, kKindRecord = 4 };

struct FileRecord {
  int kind = 0;
  std::string path;
  int fd = -1;
  int64_t size = 0, position = 0;
  // The 256-byte read cache: file offset of its first byte and its length.
  char cache[256];
  int64_t cacheStart = 0;
  int cacheLength = 0;
  int column = 0, width = 0;
};

struct Files {
  int table[256];  // file number -> slot, -1 when not open
  std::unique_ptr<FileRecord> slots[kLastDiskSlot + 1];
  int outputSlot = kScreenSlot;
  int inputSlot = kScreenSlot;
  std::string prompt;
  int promptFlags = 2;  // bit 0 the text, bit 1 "? "
  Files() {
    for (int& t : table) t = -1;
  }
};

Files& F() {
  static Files files;
  return files;
}

int MapError(uint32_t code) {
  Host* host = TheFrame().host;
  return host ? host->MapLastError(code) : MapPlatformError(code);
}

// Writes the bytes to the output target: the screen or the file, with one
// write.
void WriteTarget(const std::string& bytes, uint32_t siteScreen, uint32_t siteFile) {
  Files& f = F();
  if (f.outputSlot == kScreenSlot) {
    Host* host = TheFrame().host;
    if (!host || !host->ScreenWrite(bytes.data(), bytes.size())) RaiseError(27, siteScreen);
    return;
  }
  FileRecord* r = f.slots[f.outputSlot].get();
  if (!r) return RaiseError(57, siteFile);
  if (r->kind != kKindOutput && r->kind != kKindAppend) return RaiseError(51, siteFile);
  uint32_t error = 0;
  if (!platform::WriteAt(r->fd, r->position, bytes.data(), bytes.size(), error))
    return RaiseError(MapError(error), siteFile);
  r->position += static_cast<int64_t>(bytes.size());
  if (r->position > r->size) r->size = r->position;
}

// Builds the text of one PRINT item with its separator.
std::string PrintText(std::string_view item, int separator) {
  Files& f = F();
  std::string out;
  out.reserve(item.size() + 2);
  int column;
  int width;
  std::string expanded;
  if (f.outputSlot == kScreenSlot) {
    Host* host = TheFrame().host;
    column = host ? host->CursorColumn() : 0;
    width = host ? host->PrintWidth() : 0;
    // TAB: blanks to the next multiple of 8 from the cursor column.
    if (item.find('\t') != std::string_view::npos) {
      int col = column;
      for (char c : item) {
        if (c == '\t') {
          do {
            expanded += ' ';
            ++col;
          } while (col % 8);
        } else {
          expanded += c;
          ++col;
        }
      }
      item = expanded;
    }
    // An item that does not fit the rest of the line starts a new line.
    if (width != 0 && column != 0 && static_cast<int>(item.size()) > width - column) {
      out += "\r\n";
      column = 0;
    }
    out += item;
    column += static_cast<int>(item.size());
    if (width > 0) column %= width;
  } else {
    FileRecord* r = f.slots[f.outputSlot].get();
    width = r ? r->width : 0;
    column = r ? r->column : 0;
    for (char c : item) {
      out += c;
      if (c == '\t') column = (column / 8 + 1) * 8;
      else if (c == '\r') column = 0;
      else if (c != '\n') ++column;
      if (width > 0 && column >= width) {
        out += "\r\n";
        column = 0;
      }
    }
  }
  if (separator == kPrintEnd) {
    out += "\r\n";
    column = 0;
  } else if (separator == kPrintComma) {
    int next = (column / 14 + 1) * 14;
    if (width > 0 && width - next < 14) {
      out += "\r\n";
      column = 0;
    } else {
      out.append(next - column, ' ');
      column = next;
    }
  }
  if (f.outputSlot != kScreenSlot && f.slots[f.outputSlot]) f.slots[f.outputSlot]->column = column;
  return out;
}

bool IsNumericType(uint8_t type) { return type <= kTypeByte; }

bool Blank(char c) { return c == ' '; }

WantedType WantedFor(uint8_t type) {
  static const WantedType kWanted[] = {WantedType::Integer, WantedType::Long, WantedType::Single,
                                       WantedType::Double, WantedType::Byte};
  return kWanted[type];
}

// An unquoted number item in the variable's type: the radix form ("&H1F",
// "&O17") must have at least one digit and nothing after them; a decimal
// number ends at a blank, after which nothing else may follow. Either must
// fit the type. False when the item is bad.
bool ConvertNumber(std::string_view item, uint8_t type, double& number) {
  ScanResult r;
  if (item[0] == '&') {
    r = ScanRadix(item, 0, WantedFor(type));
    if (r.status == ScanStatus::Ok && (r.end <= 2 || r.end != item.size())) return false;
  } else {
    size_t blank = item.find(' ');
    std::string_view text = item.substr(0, blank);
    if (blank != std::string_view::npos && item.find_first_not_of(' ', blank) != std::string_view::npos)
      return false;
    r = ScanNumber(text, 0, WantedFor(type));
    if (r.status == ScanStatus::Ok && r.end != text.size()) return false;
  }
  number = r.value;
  return r.status == ScanStatus::Ok;
}

// Steps 1 to 4 of the item scan: quotes, trimming and, for numbers, the
// conversion into the variable's type. `text` is the item as delimited;
// false when it is bad.
bool ConvertItem(std::string_view text, uint8_t type, InputItem& item) {
  size_t i = 0;
  while (i < text.size() && Blank(text[i])) ++i;
  text.remove_prefix(i);
  if (!text.empty() && text[0] == '"') {
    if (IsNumericType(type)) return false;
    size_t close = text.find('"', 1);
    if (close == std::string_view::npos) {
      item.text.assign(text.substr(1));
      return true;
    }
    for (size_t k = close + 1; k < text.size(); ++k)
      if (!Blank(text[k])) return false;
    item.text.assign(text.substr(1, close - 1));
    return true;
  }
  size_t end = text.size();
  while (end > 0 && Blank(text[end - 1])) --end;
  item.text.assign(text.substr(0, end));
  if (!IsNumericType(type)) return true;
  if (item.text.empty()) return false;
  return ConvertNumber(item.text, type, item.number);
}

void Store(const VarRef& v, const InputItem& item) {
  switch (v.type) {
    case kTypeString:
      AssignBytes(*static_cast<StringValue*>(v.address), item.text);
      return;
    case kTypeFixedString:
      return RaiseError(13, 0x6F02);
    default:
      break;
  }
  // The number as the item check converted it: already in the variable's
  // own type and range.
  const double value = item.number;
  switch (v.type) {
    case kTypeInteger: *static_cast<int16_t*>(v.address) = static_cast<int16_t>(value); return;
    case kTypeLong: *static_cast<int32_t*>(v.address) = static_cast<int32_t>(value); return;
    case kTypeSingle: *static_cast<float*>(v.address) = static_cast<float>(value); return;
    case kTypeDouble: *static_cast<double*>(v.address) = value; return;
    case kTypeByte: *static_cast<uint8_t*>(v.address) = static_cast<uint8_t>(value); return;
  }
}

// One item of a file opened for input (error 54 at the end of the file).
bool ReadFileItem(FileRecord& r, bool numeric, std::string& item) {
  if (r.kind != kKindInput) {
    RaiseError(51, 0x4E03);
    return false;
  }
  if (r.position >= r.size) {
    RaiseError(54, 0x4E03);
    return false;
  }
  bool started = false, quoted = false;
  int64_t pos = r.position;
  for (;;) {
    if (pos < r.cacheStart || pos >= r.cacheStart + r.cacheLength) {
      uint32_t error = 0;
      long n = platform::ReadAt(r.fd, pos, r.cache, sizeof r.cache, error);
      if (n < 0) {
        RaiseError(MapError(error), 0x4E03);
        return false;
      }
      r.cacheStart = pos;
      r.cacheLength = static_cast<int>(n);
      if (n == 0) break;  // an empty refill ends the item
    }
    const int at = static_cast<int>(pos - r.cacheStart);
    const char c = r.cache[at];
    if (!started && (c == ' ' || c == '\0')) {
      ++pos;
      continue;
    }
    if (c == '\n') {
      // A lone LF ends a line too, as text files made on Linux have it.
      ++pos;
      break;
    }
    if (c == '\r') {
      ++pos;
      char next;
      uint32_t error = 0;
      if (pos < r.size && platform::ReadAt(r.fd, pos, &next, 1, error) == 1 && next == '\n') ++pos;
      break;
    }
    if (!quoted && (c == ',' || c == ':')) {
      if (numeric && !started) {
        RaiseError(58, 0x4E04);
        return false;
      }
      ++pos;
      break;
    }
    if (c == 0x1A && at == r.cacheLength - 1) {
      if (!started) {
        r.position = pos;
        RaiseError(54, 0x4E03);
        return false;
      }
      break;
    }
    if (c == '"') quoted = !quoted;
    if (item.size() > kMaxStringLength) {
      // No string holds more: the item cannot be taken, and no more of it
      // is read into memory.
      r.position = pos;
      RaiseError(15, 0x4E03);
      return false;
    }
    item += c;
    started = true;
    ++pos;
  }
  r.position = pos;
  return true;
}

}  // namespace

int MapPlatformError(uint32_t code) {
  switch (code) {
    case 1: return 5;
    case 2: case 3: return 63;
    case 4: return 66;
    case 5: return 75;
    case 8: return 7;
    case 11: return 71;
    case 12: return 75;
    case 14: return 7;
    case 15: case 16: case 17: return 72;
    case 18: return 67;
    case 19: return 73;
    case 20: return 60;
    case 21: return 72;
    case 26: case 27: return 71;
    case 28: return 60;
    case 29: return 67;
    case 30: return 54;
    case 32: case 33: return 75;
    case 34: return 60;
    case 39: return 67;
    case 50: return 28;
    case 65: return 55;
    case 80: return 64;
    case 87: return 5;
    case 108: return 59;
    case 110: return 63;
    case 111: return 61;
    case 112: return 67;
    case 113: return 66;
    case 123: return 55;
    case 183: return 64;
    case 267: return 55;
    case 1155: return 55;
    default: return 27;
  }
}

void SelectWindowOutput(int32_t objectId) {
  if (objectId != 0) return RaiseError(1000, 0x5201);
  F().outputSlot = kScreenSlot;
}

void SelectFileOutput(int32_t n) {
  if (n < 1 || n > 255) return RaiseError(50, 0x5301);
  if (F().table[n] < 0) return RaiseError(57, 0x5302);
  F().outputSlot = F().table[n];
}

void PrintString(int separator) {
  // The item's bytes are read where they are and released before the write.
  StringValue s = PopString();
  std::string text = PrintText(View(s), separator);
  ReleaseTemp(s);
  WriteTarget(text, 0x5702, 0x5703);
}

void PrintSingle(float value, int separator) {
  WriteTarget(PrintText(FormatNumber(value, Precision::Single, kSignBlank) + " ", separator), 0x5601, 0x5602);
}

void PrintDouble(double value, int separator) {
  WriteTarget(PrintText(FormatNumber(value, Precision::Double, kSignBlank) + " ", separator), 0x5901, 0x5902);
}

void EndPrint() {}

void SetInputPrompt(int32_t objectId, int kind) {
  Files& f = F();
  std::string prompt = kind != 0 ? PopBytes() : std::string();
  if (objectId != 0) return RaiseError(1000, 0x4C01);
  Host* host = TheFrame().host;
  if (!host || host->PrintWidth() == 0) return RaiseError(1002, 0x4C02);
  f.inputSlot = kScreenSlot;
  f.prompt = prompt;
  f.promptFlags = kind == 0 ? 2 : kind == 1 ? 1 : 3;
}

void SelectFileInput(int32_t n) {
  Files& f = F();
  if (n < 1 || n > 255) return RaiseError(50, 0x4D01);
  int slot = f.table[n];
  if (slot < 0) return RaiseError(57, 0x4D02);
  if (!(slot == kScreenSlot || (slot >= 10 && slot <= 14) || (slot >= kFirstDiskSlot && slot <= kLastDiskSlot)))
    return RaiseError(51, 0x4D03);
  f.inputSlot = slot;
}

bool ScanInputLine(std::string_view line, const VarRef* vars, size_t count, InputItem* items) {
  size_t pos = 0;
  for (size_t k = 0; k < count; ++k) {
    // Delimit the item: up to a "," or ":" outside double quotes.
    size_t i = pos;
    while (i < line.size() && Blank(line[i])) ++i;
    size_t end = i;
    if (i < line.size() && line[i] == '"') {
      size_t close = line.find('"', i + 1);
      end = close == std::string_view::npos ? line.size() : close + 1;
    }
    while (end < line.size() && line[end] != ',' && line[end] != ':') ++end;
    if (!ConvertItem(line.substr(pos, end - pos), vars[k].type, items[k])) return false;
    if (k + 1 < count) {
      if (end >= line.size()) return false;  // too few items
      pos = end + 1;
    } else if (end < line.size()) {
      return false;  // the line holds too many items
    }
  }
  return true;
}

void InputVars(const VarRef* vars, size_t count) {
  Files& f = F();
  std::vector<InputItem> items(count);
  if (f.inputSlot == kScreenSlot) {
    Host* host = TheFrame().host;
    for (;;) {
      std::string prompt;
      if (f.promptFlags & 1) prompt += f.prompt;
      if (f.promptFlags & 2) prompt += "? ";
      if (host && !prompt.empty()) host->ScreenWrite(prompt.data(), prompt.size());
      std::string line;
      int failure = 0;
      if (!host || !host->ReadLine(line, 255, failure)) {
        if (failure == 0) LeaveProgram();  // the window has gone
        return RaiseError(failure, 0x4E02);
      }
      if (ScanInputLine(line, vars, count, items.data())) break;
      std::string retry = RetryText();
      host->ScreenWrite(retry.data(), retry.size());
    }
  } else {
    FileRecord* r = f.slots[f.inputSlot].get();
    if (!r) return RaiseError(57, 0x4E03);
    for (size_t k = 0; k < count; ++k) {
      std::string raw;
      if (!ReadFileItem(*r, IsNumericType(vars[k].type), raw)) return;
      if (!ConvertItem(raw, vars[k].type, items[k])) return RaiseError(58, 0x4E04);
    }
  }
  for (size_t k = 0; k < count; ++k) Store(vars[k], items[k]);
}

void OpenFile(int mode, int access, int32_t n, bool recordLengthGiven, int32_t recordLength) {
  Files& f = F();
  std::string name = PopBytes();
  if (name.size() > 260) return RaiseError(55, 0x2001);
  if (n < 1 || n > 255) return RaiseError(50, 0x2002);
  if (f.table[n] >= 0) return RaiseError(52, 0x2003);
  // The ACCESS clause is checked and defaulted; what the file is opened for
  // comes from the mode.
  if (mode == 0) {
    if (access != 0) return RaiseError(51, 0x2007);
    mode = 6;
    access = 3;
  } else if (mode == 1) {
    if (access == 2) return RaiseError(51, 0x2005);
    if (access == 0) access = 3;
  } else if (mode == 2 || mode == 3 || mode == 11) {
    if (access == 2 || access == 3) return RaiseError(51, 0x2006);
    if (access == 0) access = 1;
  } else if ((mode >= 4 && mode <= 6) || (mode >= 8 && mode <= 10)) {
    if (access == 0) access = 3;
  } else if (mode == 7) {
    access = 3;
  } else {
    return RaiseError(51, 0x2007);
  }
  const bool recordMode = mode == 0 || (mode >= 4 && mode <= 7);
  if (recordLengthGiven && !recordMode) return RaiseError(51, 0x2009);
  if (recordLengthGiven && (recordLength < 1 || recordLength > 2048)) return RaiseError(5, 0x200A);
  // Device names are not files; the programs use none.
  static const char* kDevices[] = {"COM0:", "COM1:", "COM2:", "COM3:", "COM4:", "LPT1:", "LPT2:", "LPT3:"};
  for (const char* d : kDevices)
    if (name.size() >= 5 && strncasecmp(name.c_str(), d, 5) == 0) return RaiseError(75, 0x2008);
  if (name.find_first_of("?*") != std::string::npos) return RaiseError(55, 0x2008);
  int slot = -1;
  for (int s = kFirstDiskSlot; s <= kLastDiskSlot && slot < 0; ++s)
    if (!f.slots[s]) slot = s;
  if (slot < 0) return RaiseError(66, 0x2008);
  std::string path = platform::FullPath(name);
  if (path.size() > 260) return RaiseError(55, 0x2008);

  static const int kKinds[] = {4, 1, 2, 3, 4, 4, 4, 4, 6, 7, 8, 2};
  // Per mode: 1 read, 2 write, 3 read and write.
  static const int kAccess[] = {3, 1, 2, 3, 1, 2, 3, 3, 1, 2, 3, 2};
  static const platform::Creation kCreation[] = {
      platform::Creation::OpenOrCreate,  platform::Creation::MustExist,     platform::Creation::MustNotExist,
      platform::Creation::OpenOrCreate,  platform::Creation::MustExist,     platform::Creation::OpenOrCreate,
      platform::Creation::OpenOrCreate,  platform::Creation::MustExist,     platform::Creation::MustExist,
      platform::Creation::MustNotExist,  platform::Creation::OpenOrCreate,  platform::Creation::CreateOrTruncate};
  uint32_t error = 0;
  int fd = platform::OpenFile(name, kAccess[mode] & 1, (kAccess[mode] & 2) != 0, kCreation[mode], error);
  if (fd < 0) return RaiseError(MapError(error), 0x2008);
  auto r = std::make_unique<FileRecord>();
  r->kind = kKinds[mode];
  r->path = path;
  r->fd = fd;
  r->size = platform::FileSize(fd);
  r->position = 0;
  if (r->kind == kKindAppend && r->size > 0) {
    char last = 0;
    platform::ReadAt(fd, r->size - 1, &last, 1, error);
    r->position = last == 0x1A ? r->size - 1 : r->size;
  }
  f.slots[slot] = std::move(r);
  f.table[n] = slot;
}

namespace {
void CloseNumber(int n, bool endByte = true) {
  Files& f = F();
  int slot = f.table[n];
  if (slot < 0) return;
  f.table[n] = -1;
  std::unique_ptr<FileRecord> r = std::move(f.slots[slot]);
  if (f.outputSlot == slot) f.outputSlot = kScreenSlot;
  if (f.inputSlot == slot) f.inputSlot = kScreenSlot;
  if (!r) return;
  if (!endByte) return platform::AbandonFile(r->fd);
  uint32_t error = 0;
  if (r->kind == kKindOutput || r->kind == kKindAppend) {
    // Every file written by PRINT # ends with one byte 0x1A. A file that
    // cannot take it is not whole: it is dropped (a file it was to replace
    // stays as it was).
    const char eof = 0x1A;
    if (!platform::WriteAt(r->fd, r->position, &eof, 1, error)) {
      platform::AbandonFile(r->fd);
      return RaiseError(MapError(error), 0x1E01);
    }
  }
  if (!platform::CloseFile(r->fd, error)) RaiseError(MapError(error), 0x1E01);
}
}  // namespace

void CloseFiles(const int32_t* numbers, size_t count) {
  if (count == 0) return CloseAllFiles();
  for (size_t i = 0; i < count; ++i) {
    if (numbers[i] < 1 || numbers[i] > 255) return RaiseError(50, 0x1E01);
    CloseNumber(numbers[i]);
  }
}

void SetFileWidth(int32_t n, int32_t width) {
  if (n < 1 || n > 255) return RaiseError(50, 0x6501);
  const int slot = F().table[n];
  if (slot < 0 || !F().slots[slot]) return RaiseError(57, 0x6502);
  if (width < 0 || width > 255) return RaiseError(5, 0x6503);
  F().slots[slot]->width = width;
}

void DiscardFile(int32_t n) {
  if (n >= 1 && n <= 255) CloseNumber(n, false);
}

void CloseAllFiles() {
  for (int n = 1; n <= 255; ++n) CloseNumber(n);
  F().outputSlot = kScreenSlot;
  F().inputSlot = kScreenSlot;
}

void FinishFiles() {
  if (State().failed) {
    for (int n = 1; n <= 255; ++n) CloseNumber(n, false);
    F().outputSlot = kScreenSlot;
    F().inputSlot = kScreenSlot;
  } else {
    CloseAllFiles();
  }
  // A replacement that no file number holds any more (its bookkeeping was
  // cut short) is dropped too.
  platform::AbandonAllReplacements();
}

}  // namespace rt
