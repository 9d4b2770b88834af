// Compiled with the execution character set CP932: the player's messages
// are the Shift-JIS texts the user sees.
#include "runtime/host/form_player.h"

#include <cstdio>
#include <cstring>

namespace host {
namespace {

constexpr int kCodeWindow = 1014;  // maps to "ウィンドウをオープンできません"
constexpr int kCodeSystem = 27;

// Reads operands within the stream's bounds.
class Reader {
 public:
  Reader(const uint8_t* p, const uint8_t* end) : p_(p), end_(end) {}
  bool I16(int16_t& v) {
    if (end_ - p_ < 2) return ok_ = false;
    v = static_cast<int16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return true;
  }
  bool I32(int32_t& v) {
    if (end_ - p_ < 4) return ok_ = false;
    v = static_cast<int32_t>(p_[0] | (p_[1] << 8) | (p_[2] << 16) | (static_cast<uint32_t>(p_[3]) << 24));
    p_ += 4;
    return true;
  }
  bool Str(std::string& s) {
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(p_, 0, end_ - p_));
    if (!nul) return ok_ = false;
    s.assign(reinterpret_cast<const char*>(p_), nul - p_);
    p_ = nul + 1;
    return true;
  }
  bool Skip(size_t n) {
    if (static_cast<size_t>(end_ - p_) < n) return ok_ = false;
    p_ += n;
    return true;
  }
  const uint8_t* pos() const { return p_; }
  void set(const uint8_t* p) { p_ = p; }
  bool ok() const { return ok_; }
  const uint8_t* end() const { return end_; }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  bool ok_ = true;
};

class Player {
 public:
  Player(FormHost& host, uint32_t parent, uint32_t& form, int& show, int& failure, int depth)
      : host_(host), parent_(parent), form_(form), show_(show), failure_(failure), depth_(depth) {}

  const uint8_t* Play(const uint8_t* records, const uint8_t* end);

 private:
  // "%s %x": the value as the 32-bit word it is (kind -1 shows ffffffff).
  bool Fail(const char* message, int32_t value, int code) {
    char text[300];
    std::snprintf(text, sizeof text, "%s %x", message, static_cast<uint32_t>(value));
    host_.MessageBox("PlayScript", text);
    failure_ = code;
    return false;
  }
  bool FailName(const char* message, const std::string& name, int code) {
    host_.MessageBox("PlayScript", std::string(message) + " " + name);
    failure_ = code;
    return false;
  }
  FormWindow* Current() { return handle_ ? host_.WindowRecord(handle_) : nullptr; }
  bool IsForm() { return kind_ == 0; }
  bool IsFormOrPicture() { return kind_ == 0 || kind_ == 13; }
  bool Record(uint16_t op, Reader& r);
  bool Create(int kind, uint32_t style, uint32_t exStyle, bool extended);
  bool Events(Reader& r);
  bool Font(uint16_t op, Reader& r);

  FormHost& host_;
  uint32_t parent_;
  uint32_t& form_;
  int& show_;
  int& failure_;
  int depth_;
  int kind_ = -1;
  uint32_t handle_ = 0;
  std::string className_;
};

int FormStyle(int flags) {
  constexpr uint32_t kClipChildren = 0x02000000, kBorder = 0x00800000, kThickFrame = 0x00040000,
                     kCaption = 0x00C00000, kPopup = 0x80000000, kVScroll = 0x00200000, kHScroll = 0x00100000,
                     kSysMenu = 0x00080000, kMinimize = 0x00020000, kMaximize = 0x00010000;
  uint32_t style;
  if (flags & 2) style = kClipChildren;
  else if (flags & 1) style = kClipChildren | kBorder;
  else style = kClipChildren | kBorder | kThickFrame;
  style |= (flags & 4) ? kCaption : (kPopup | kBorder);
  if (flags & 16) style |= kVScroll;
  if (flags & 32) style |= kHScroll;
  if (flags & 64) style |= kSysMenu;
  if (flags & 128) style |= kMinimize;
  if (flags & 256) style |= kMaximize;
  return static_cast<int>(style);
}

const char* const kClasses[] = {nullptr, nullptr, nullptr, "Button", "Button", "Button", "Button", "Edit",
                                "Static", "Listbox", "Scrollbar", "Scrollbar", "Combobox", "T5Q0PictWndClass",
                                "T5Q0$ItemClass", "T5Q0BmpBClass", "T5Q0TimerClass", "T5Q0MCIClass",
                                "T5Q0PrinterClass"};

bool Player::Create(int kind, uint32_t style, uint32_t exStyle, bool extended) {
  if (kind == 1 || kind == 2 || kind < 0 || kind > 18) {
    return Fail(extended ? "__CREATE3:無効なウィンドウタイプ" : "__CREATE:無効なウィンドウタイプ", kind, kCodeWindow);
  }
  constexpr uint32_t kVisible = 0x10000000, kClipChildren = 0x02000000;
  if (kind == 0) {
    style &= ~kVisible;
    if (extended) style |= kClipChildren;
  } else if (extended && kind >= 16) {
    style &= ~kVisible;
  }
  const std::string cls = kind == 0 ? className_ : kClasses[kind];
  uint32_t handle = host_.CreateWindow(kind, cls, kind == 0 ? parent_ : (handle_ ? handle_ : parent_), style, exStyle);
  if (!handle) {
    return Fail(extended ? "__CREATE3:CreateWindowEx失敗" : "__CREATE:CreateWindowEx失敗", kind, kCodeWindow);
  }
  kind_ = kind;
  handle_ = handle;
  if (FormWindow* w = Current()) {
    w->kind = kind;
    w->className = cls;
    w->style = style;
    w->exStyle = exStyle;
  }
  if (kind == 0 && !form_) form_ = handle;
  return true;
}

bool Player::Font(uint16_t op, Reader& r) {
  FormWindow* w = Current();
  int16_t v = 0;
  std::string face;
  int16_t charset = 1, pitch = 0;
  if (op == kOpFontFace || op == kOpFontFaceSet) {
    if (!r.Str(face)) return false;
    if (op == kOpFontFaceSet && (!r.I16(charset) || !r.I16(pitch))) return false;
    if (face.size() >= 32) return FailName("__FONTX:無効なフォント名", face, kCodeWindow);
  } else if (!r.I16(v)) {
    return false;
  }
  if (!w || kind_ < 0) return Fail("__FONTX:無効なコントロールID", kind_, kCodeWindow);
  FontSpec& f = w->font;
  if (!w->hasFont) {
    // A text-mode form without a font starts from the stock fixed font,
    // which has no underline or strike-out.
    if (IsFormOrPicture() && w->mapMode == 0 && (op == kOpFontUnderline || op == kOpFontStrikeOut)) return true;
    w->hasFont = true;
  }
  switch (op) {
    case kOpFontSize: {
      static const int kScale[] = {0, 254, 2540, 100, 1000};
      if (!IsFormOrPicture()) f.height = -(v * 254) / 72;
      else if (w->mapMode == 0 || w->mapMode > 6) f.height = -v;
      else if (w->mapMode <= 5 && w->mapMode >= 2) f.height = -((kScale[w->mapMode - 1] * v + 36) / 72);
      else if (w->mapMode == 6) f.height = -20 * v;
      else f.height = -v;
      break;
    }
    case kOpFontBold: f.weight = v ? 700 : 400; break;
    case kOpFontItalic: f.italic = v != 0; break;
    case kOpFontUnderline: f.underline = v != 0; break;
    case kOpFontStrikeOut: f.strikeOut = v != 0; break;
    case kOpFontFace:
      f.face = face;
      f.charset = 1;
      f.pitchAndFamily = 0;
      break;
    default:
      f.face = face;
      f.charset = charset & 0xFF;
      f.pitchAndFamily = pitch & 0xFF;
      break;
  }
  host_.Apply(handle_);
  return true;
}

bool Player::Events(Reader& r) {
  int16_t unused, id;
  if (!r.I16(unused)) return false;
  std::vector<std::pair<int, std::string>> entries;
  std::vector<std::pair<int, void*>> bound;
  for (;;) {
    if (!r.I16(id)) return false;
    if (id == 2) break;
    std::string name;
    if (!r.Str(name)) return false;
    if (id < 100 || id > 120) return Fail("__EVENT:無効なイベントID", id, kCodeWindow);
    entries.push_back({id, name});
    if (name.size() + 3 > 31) continue;  // too long to be a handler name
    if (void* handler = host_.LookupSymbol("TE$" + name)) bound.push_back({id - 100, handler});
  }
  if (FormWindow* w = Current()) {
    w->declaredEvents = entries;
    w->boundEvents = bound;  // empty when no name resolves: no binding table
  }
  return true;
}

bool Player::Record(uint16_t op, Reader& r) {
  int16_t a = 0, b = 0, c = 0, d = 0;
  int32_t l1 = 0, l2 = 0, l3 = 0, l4 = 0, l5 = 0;
  std::string s1, s2;
  FormWindow* w = Current();
  switch (op) {
    case kOpNop:
      return true;
    case kOpBlock: {
      if (depth_ + 1 > kMaxFormNesting) return Fail("未定義のリソーススクリプト", op, kCodeWindow);
      uint32_t nestedForm = form_;
      int nestedFailure = 0;
      const uint8_t* next =
          PlayScript(host_, r.pos(), r.end(), handle_, nestedForm, show_, nestedFailure, depth_ + 1);
      if (!next) {
        failure_ = nestedFailure;
        return false;
      }
      form_ = nestedForm;
      r.set(next);
      return true;
    }
    case kOpClass: {
      if (!r.Str(s1) || !r.Str(s2)) return false;
      className_ = "T5Q0WC" + s1;
      if (host_.ClassExists(className_)) return true;
      void* procedure = host_.LookupSymbol("$PbMainWndProc");
      if (!procedure || !host_.RegisterClass(className_, procedure, s2))
        return Fail("__CLASS:RegisterClass失敗", 0, kCodeSystem);
      return true;
    }
    case kOpCreate:
      if (!r.I16(a) || !r.I16(b) || !r.I16(c)) return false;
      return Create(a, a == 0 ? static_cast<uint32_t>(FormStyle(b)) : 0x40000000u | static_cast<uint16_t>(c),
                    a == 0 && (b & 2) ? 1u : 0u, false);
    case kOpCreate3:
      if (!r.I32(l1) || !r.I32(l2) || !r.I32(l3)) return false;
      return Create(l1, static_cast<uint32_t>(l2), static_cast<uint32_t>(l3), true);
    case kOpTitle:
      if (!r.Str(s1)) return false;
      if (!w || !(kind_ == 0 || (kind_ >= 3 && kind_ <= 8)))
        return Fail("__WINDOWTITLE:無効なウィンドウタイプ", kind_, kCodeWindow);
      w->title = s1;
      host_.Apply(handle_);
      return true;
    case kOpSize:
      if (!r.I16(a) || !r.I16(b) || !r.I16(c) || !r.I16(d)) return false;
      if (!w) return Fail("__WINDOWSIZE:$PbGetTextGrpData失敗", 0, kCodeSystem);
      w->x = a, w->y = b, w->width = c, w->height = d;
      host_.Apply(handle_);
      return true;
    case kOpSize3:
      if (!r.I32(l1) || !r.I32(l2) || !r.I32(l3) || !r.I32(l4) || !r.I32(l5)) return false;
      if (!w) return Fail("__WINDOWSIZE3:$PbGetTextGrpData失敗", 0, kCodeSystem);
      if (l1 < 0 || l1 > 3) return Fail("__WINDOWSIZE:無効なウィンドウの位置", l1, kCodeWindow);
      if (l1 == 0) w->x = l2, w->y = l3;
      w->width = l4, w->height = l5;
      host_.Apply(handle_);
      return true;
    case kOpVisible:
      if (!r.I16(a)) return false;
      if (a == 0) show_ = 0;
      return true;
    case kOpDisabled:
      if (!r.I16(a)) return false;
      if (a && w) w->disabled = true;
      return true;
    case kOpMinimized:
      if (!r.I16(a)) return false;
      if (a) show_ = CombineShowCommand(show_, 2);
      return true;
    case kOpMaximized:
      if (!r.I16(a)) return false;
      if (a) show_ = CombineShowCommand(show_, 3);
      return true;
    case kOpShowState:
      if (!r.I32(l1)) return false;
      show_ = CombineShowCommand(show_, l1);
      return true;
    case kOpControlName:
      if (!r.Str(s1)) return false;
      if (s1.size() >= 22) return FailName("__CONTROLNAME:無効なコントロールID", s1, kCodeWindow);
      if (w) w->controlName = s1;
      return true;
    case kOpMenu:
      if (!r.Str(s1)) return false;
      if (s1.size() >= 32 || !IsForm()) return FailName("__MENU:無効なコントロールID", s1, kCodeWindow);
      return true;
    case kOpBitmap:
      if (!r.Str(s1)) return false;
      if (kind_ != 15) return Fail("__BITMAP:無効なコントロールタイプ", kind_, kCodeWindow);
      if (s1.size() > 16) return FailName("__BITMAP:無効なコントロールID", s1, kCodeWindow);
      if (!s1.empty()) return FailName("__BITMAP:LoadBitmap失敗", s1, kCodeWindow);  // no bitmap resources here
      return true;
    case kOpCursorId:
      if (!r.I32(l1)) return false;
      if (!(kind_ == 0 || kind_ == 13 || kind_ == 15)) return Fail("__CURSORID:無効なコントロールタイプ", kind_, kCodeWindow);
      return true;
    case kOpCursor:
      if (!r.Str(s1)) return false;
      if (!(kind_ == 0 || kind_ == 13 || kind_ == 15)) return Fail("__CURSOR:無効なコントロールタイプ", kind_, kCodeWindow);
      if (s1.size() > 16) return FailName("__CURSOR:無効なコントロールID", s1, kCodeWindow);
      return true;
    case kOpTextColor:
    case kOpForeColor:
    case kOpBackColor: {
      if (!r.I16(a)) return false;
      static const char* kBad[][2] = {{"__TEXTCOLOR:無効なカラーコード", "__TEXTCOLOR:無効なコントロールタイプ"},
                                      {"__FORECOLOR:無効なカラーコード", "__FORECOLOR:無効なコントロールタイプ"},
                                      {"__BACKCOLOR:無効なカラーコード", "__BACKCOLOR:無効なコントロールタイプ"}};
      int which = op - kOpTextColor;
      if (a < 0 || a > 15) return Fail(kBad[which][0], a, kCodeWindow);
      if (!w || !IsFormOrPicture()) return Fail(kBad[which][1], kind_, kCodeWindow);
      if (op == kOpTextColor) {
        // 8 to 15: the colour less 8, drawn reversed.
        if (a > 7) {
          w->textColor = a - 8;
          w->attribute = w->attribute == 4 ? 5 : 1;
        } else {
          w->textColor = a;
        }
      } else if (op == kOpForeColor) {
        w->foreColor = a;
      } else {
        w->backColor = a;
      }
      host_.Apply(handle_);
      return true;
    }
    case kOpAttribute:
      if (!r.I16(a)) return false;
      if (!((a & 0x7FFF) == 0 || (a & 0x7FFF) == 1 || (a & 0x7FFF) == 4 || (a & 0x7FFF) == 5))
        return Fail("__ATTRIBUTE:無効なカラーコード", a, kCodeWindow);
      if (!w || !IsFormOrPicture()) return Fail("__ATTRIBUTE:無効なコントロールタイプ", kind_, kCodeWindow);
      w->attribute = a & 0x7FFF;
      host_.Apply(handle_);
      return true;
    case kOpAxis3:
      if (!r.I32(l1)) return false;
      if (l1 < 0 || l1 > 1) return Fail("__AXIS3:無効なパラメータ", l1, kCodeWindow);
      if (!w || !IsFormOrPicture()) return Fail("__AXIS3:無効なコントロールタイプ", kind_, kCodeWindow);
      w->yFlip = l1 == 1;
      return true;
    case kOpCtrlTextColor:
      if (!r.I32(l1)) return false;
      if (!((kind_ >= 3 && kind_ <= 9) || kind_ == 12))
        return Fail("__CTRLTEXTCOLOR:無効なコントロールタイプ", kind_, kCodeWindow);
      return true;
    case kOpCtrlBackColor:
      if (!r.I32(l1)) return false;
      if (!(kind_ >= 3 && kind_ <= 12)) return Fail("__CTRLBACKCOLOR:無効なコントロールタイプ", kind_, kCodeWindow);
      return true;
    case kOpTextBuffer:
      if (!r.I16(a) || !r.I16(b)) return false;
      if (a < 0 || a > 132) return Fail("__TEXTBUFFER:無効なCX", a, kCodeWindow);
      if (b < 0 || b > 124) return Fail("__TEXTBUFFER:無効なCY", b, kCodeWindow);
      if (!w || !IsForm()) return Fail("__TEXTBUFFER:無効なコントロールID", kind_, kCodeWindow);
      if (w->mapMode == 0 && a > 0 && b > 0) {
        w->columns = a;
        w->rows = b;
        host_.Apply(handle_);
      }
      return true;
    case kOpMapMode:
      if (!r.I16(a)) return false;
      if (a < 0 || a > 6) return Fail("__MAPMODE:無効なマッピングモード", a, kCodeWindow);
      if (!w || !IsFormOrPicture()) return Fail("__MAPMODE:無効なコントロールID", kind_, kCodeWindow);
      w->mapMode = a;
      host_.Apply(handle_);
      return true;
    case kOpRedrawMode:
      if (!r.I16(a)) return false;
      if (!w || !IsFormOrPicture()) return Fail("__REDRAWMODE:無効なコントロールID", kind_, kCodeWindow);
      w->redrawMode = a;
      return true;
    case kOpScrollRange:
    case kOpScrollStep:
      if (!r.I16(a) || !r.I16(b)) return false;
      if (kind_ != 10 && kind_ != 11)
        return Fail(op == kOpScrollRange ? "__SCROLLRANGE:無効なコントロールID" : "__SCROLLSTEP:無効なコントロールID",
                    kind_, kCodeWindow);
      return true;
    case kOpTimer:
      if (!r.I16(a) || !r.I32(l1)) return false;
      if (kind_ != 16) return Fail("__TIMER:無効なコントロールID", kind_, kCodeWindow);
      return true;
    case kOpButtonStyle:
      if (!r.I32(l1)) return false;
      if (kind_ < 3 || (kind_ > 6 && kind_ != 15)) return Fail("__BUTTONSTYLE:無効なコントロールID", kind_, kCodeWindow);
      return true;
    case kOpButtonFrame:
    case kOpFrameSize:
      if (!r.I16(a) || !r.I16(b)) return false;
      if (kind_ < 3 || (kind_ > 6 && kind_ != 15))
        return Fail(op == kOpButtonFrame ? "__BUTTONFRAME:無効なコントロールID" : "__FRAMESIZE:無効なコントロールID",
                    kind_, kCodeWindow);
      return true;
    case kOpDrawInterval:
      if (!r.I16(a)) return false;
      if (kind_ < 3 || (kind_ > 6 && kind_ != 15)) return Fail("__DRAWINTERVAL:無効なコントロールID", kind_, kCodeWindow);
      return true;
    case kOpButtonState:
      if (!r.I16(a)) return false;
      if (kind_ != 15) return Fail("__BUTTONSTATE:無効なコントロールID", kind_, kCodeWindow);
      return true;
    case kOpTooltip:
      if (!r.Str(s1)) return false;
      if (kind_ != 15) return Fail("__TOOLTIP:無効なウィンドウタイプ", kind_, kCodeWindow);
      return true;
    case kOpCopyCommands:
      if (!r.I16(a)) return false;
      if (a && w) w->copyCommands = true;
      return true;
    case kOpFontSize:
    case kOpFontBold:
    case kOpFontItalic:
    case kOpFontUnderline:
    case kOpFontStrikeOut:
    case kOpFontFace:
    case kOpFontFaceSet:
      return Font(op, r);
    case kOpEvent:
      return Events(r);
    case kOpLimitText3:
      if (!r.I32(l1)) return false;
      if (kind_ != 7 && kind_ != 12) return Fail("__LIMITTEXT3:無効なコントロールID", kind_, kCodeWindow);
      return true;
    case kOpListItem3:
      if (!r.Str(s1)) return false;
      if (kind_ != 9 && kind_ != 12) return Fail("__LISTITEM3:無効なコントロールID", kind_, kCodeWindow);
      return true;
    case kOpValue3:
      if (!r.I32(l1)) return false;
      if (!(kind_ == 4 || kind_ == 5 || kind_ == 10 || kind_ == 11 || kind_ == 15))
        return Fail("__VALUE3:無効なコントロールID", kind_, kCodeWindow);
      if (w) w->controlValue = l1;
      return true;
    case kOpImeMode3:
      if (!r.I32(l1)) return false;
      if (l1 < 0 || l1 > 8 || (l1 == 3 && kind_ == 0)) return Fail("__IMEMODE3:無効なIMEモード", l1, kCodeWindow);
      if (!(kind_ == 0 || kind_ == 7 || kind_ == 12)) return Fail("__IMEMODE3:無効なコントロールID", kind_, kCodeWindow);
      return true;
    case kOpSendMessage:
      if (!r.I32(l1) || !r.I32(l2) || !r.I32(l3)) return false;
      if (handle_) host_.SendMessage(handle_, static_cast<uint32_t>(l1), static_cast<uint32_t>(l2), l3);
      return true;
    case kOpReserved38:
    case kOpReserved60:
    case kOpReserved211:
    case kOpReserved212:
      return r.Skip(4);
    case kOpReserved62:
    case kOpReserved213:
      return r.Skip(8);
    case kOpReserved214:
      return r.Skip(4) && r.Str(s1);
    default:
      return Fail("未定義のリソーススクリプト", op, kCodeWindow);
  }
}

const uint8_t* Player::Play(const uint8_t* records, const uint8_t* end) {
  Reader r(records, end);
  for (;;) {
    int16_t op;
    if (!r.I16(op)) {
      Fail("未定義のリソーススクリプト", 0, kCodeWindow);  // the stream ends without its end record
      return nullptr;
    }
    if (op == kOpEnd) break;
    if (!Record(static_cast<uint16_t>(op), r)) {
      if (!r.ok()) Fail("未定義のリソーススクリプト", static_cast<uint16_t>(op), kCodeWindow);
      return nullptr;
    }
  }
  // The form is fitted to the window that shows its whole text grid.
  if (kind_ == 0 && handle_ == form_) {
    FormWindow* w = Current();
    if (w && w->mapMode == 0 && show_ != 2 && show_ != 3 && show_ != 6 && show_ != 7) {
      auto [fullW, fullH] = host_.FullWindowSize(handle_);
      if (w->width > fullW || w->height > fullH) {
        w->width = fullW;
        w->height = fullH;
        host_.Apply(handle_);
      }
    }
  }
  return r.pos();
}

}  // namespace

int CombineShowCommand(int current, int requested) {
  static const int kMask[12] = {0, 23, 17, 19, 7, 23, 17, 1, 7, 23, 31, 0};
  if (current < 0 || current > 11) return requested;
  if (requested < 0 || requested > 11) return current;
  switch (kMask[current] & kMask[requested]) {
    case 0: return 0;
    case 1: return 7;
    case 3: case 7: case 15: return 4;
    case 16: return 0;
    case 17: return 2;
    case 19: return 3;
    case 23: return 1;
    default: return 10;
  }
}

const uint8_t* PlayScript(FormHost& host, const uint8_t* records, const uint8_t* end, uint32_t parent,
                          uint32_t& form, int& showCommand, int& failure, int depth) {
  Player player(host, parent, form, showCommand, failure, depth);
  return player.Play(records, end);
}

uint32_t LoadForm(FormHost& host, const std::vector<Resource>& resources, const std::string& name,
                  int& showCommand, int& failure) {
  failure = 0;
  const Resource* r = FindResource(resources, kResourceRcData, name);
  if (!r) {
    failure = 1012;
    return 0;
  }
  if (r->bytes.size() < 6) {
    failure = kCodeSystem;
    return 0;
  }
  uint32_t form = 0;
  const uint8_t* begin = r->bytes.data() + 6;
  if (!PlayScript(host, begin, r->bytes.data() + r->bytes.size(), 0, form, showCommand, failure)) return 0;
  return form;  // none when the stream created no form
}

}  // namespace host
