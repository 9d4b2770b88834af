// The form resource: a compact script of records (a 16-bit opcode and its
// operands, little-endian, strings NUL-terminated CP932) after a six-byte
// header ("TS", two version words). The writer builds such streams from
// readable calls; the player (form_player.h) runs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

enum FormOpcode : uint16_t {
  kOpNop = 0,
  kOpBlock = 1,
  kOpEnd = 2,
  kOpClass = 9,
  kOpCreate = 10,
  kOpTitle = 11,
  kOpSize = 12,
  kOpVisible = 13,
  kOpDisabled = 14,
  kOpMinimized = 15,
  kOpMaximized = 16,
  kOpControlName = 21,
  kOpMenu = 22,
  kOpBitmap = 23,
  kOpCursorId = 24,
  kOpCursor = 25,
  kOpTextColor = 30,
  kOpForeColor = 31,
  kOpBackColor = 32,
  kOpAttribute = 33,
  kOpCtrlTextColor = 34,
  kOpCtrlBackColor = 35,
  kOpTextBuffer = 36,
  kOpMapMode = 37,
  kOpReserved38 = 38,
  kOpRedrawMode = 39,
  kOpScrollRange = 50,
  kOpScrollStep = 51,
  kOpTimer = 52,
  kOpButtonStyle = 53,
  kOpButtonFrame = 54,
  kOpFrameSize = 55,
  kOpDrawInterval = 56,
  kOpButtonState = 57,
  kOpTooltip = 58,
  kOpReserved60 = 60,
  kOpCopyCommands = 61,
  kOpReserved62 = 62,
  kOpFontSize = 70,
  kOpFontBold = 71,
  kOpFontItalic = 72,
  kOpFontUnderline = 73,
  kOpFontStrikeOut = 74,
  kOpFontFace = 75,
  kOpFontFaceSet = 76,
  kOpEvent = 80,
  kOpCreate3 = 112,
  kOpAxis3 = 124,
  kOpLimitText3 = 156,
  kOpSize3 = 159,
  kOpListItem3 = 172,
  kOpValue3 = 173,
  kOpImeMode3 = 186,
  kOpShowState = 201,
  kOpReserved211 = 211,
  kOpReserved212 = 212,
  kOpReserved213 = 213,
  kOpReserved214 = 214,
  kOpSendMessage = 300,
};

// Builds a record stream.
class FormWriter {
 public:
  FormWriter() { bytes_ = {'T', 'S', 1, 0, 1, 0}; }
  FormWriter& Op(uint16_t opcode) { return I16(static_cast<int16_t>(opcode)); }
  FormWriter& I16(int16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    return *this;
  }
  FormWriter& I32(int32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    return *this;
  }
  FormWriter& Str(const std::string& s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    bytes_.push_back(0);
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// The main form of both programs; they differ in title and position.
std::vector<uint8_t> BuildMainForm(const std::string& cp932Title, int x, int y);

// Resources of the program image: RT_RCDATA (type 10) entries by name,
// found without regard to case.
inline constexpr int kResourceRcData = 10;
struct Resource {
  int type;
  std::string name;
  std::vector<uint8_t> bytes;
};
const Resource* FindResource(const std::vector<Resource>& resources, int type, const std::string& name);

}  // namespace host
