#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/core/test_host.h"
#include "runtime/host/form_player.h"
#include "support/fake_form_host.h"

namespace host {
namespace {

using rt::test::Cp932;

using FakeHost = test_support::FakeFormHost;

struct Played {
  uint32_t form = 0;
  int show = 1;
  int failure = 0;
  bool ok = false;
};

Played Play(FakeHost& host, const FormWriter& w, int show = 1) {
  Played p;
  p.show = show;
  std::vector<Resource> resources = {{kResourceRcData, "MAINFORM", w.bytes()}};
  p.form = LoadForm(host, resources, "MainForm", p.show, p.failure);
  p.ok = p.form != 0;
  return p;
}

FormWriter FormStart() {
  FormWriter w;
  w.Op(kOpClass).Str("F").Str("");
  w.Op(kOpCreate3).I32(0).I32(0x00CF0000).I32(0);
  return w;
}

TEST(FormPlayer, ProgramFormsDecodeToTheirRecords) {
  for (int program = 0; program < 2; ++program) {
    std::string title = Cp932(program == 0 ? "数式展開" : "数式乗算（ファイル）");
    std::vector<uint8_t> bytes = BuildMainForm(title, program == 0 ? 154 : 506, program == 0 ? 203 : 297);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 6), std::string("TS\x01\x00\x01\x00", 6));
    FakeHost host;
    FormWriter w;
    std::vector<Resource> resources = {{kResourceRcData, "MAINFORM", bytes}};
    Played p;
    p.form = LoadForm(host, resources, "mainform", p.show, p.failure);
    ASSERT_EQ(p.form, 1u);
    EXPECT_EQ(p.failure, 0);
    const FormWindow& f = host.windows[0];
    EXPECT_EQ(host.classes, std::vector<std::string>{"T5Q0WCMAINFORM"});
    EXPECT_EQ(host.icons, std::vector<std::string>{""});  // the standard application icon
    EXPECT_EQ(f.kind, 0);
    EXPECT_EQ(f.style, (0x00CF0000u | 0x0115u | 0x02000000u));  // WS_VISIBLE cleared, WS_CLIPCHILDREN set
    EXPECT_EQ(f.title, title);
    EXPECT_EQ(f.controlName, "MAINFORM");
    EXPECT_EQ(f.redrawMode, 1);
    EXPECT_FALSE(f.yFlip);
    EXPECT_EQ(f.textColor, 7);
    EXPECT_EQ(f.foreColor, 15);
    EXPECT_EQ(f.backColor, 0);
    EXPECT_TRUE(f.copyCommands);
    EXPECT_EQ(f.font.height, -18);
    EXPECT_EQ(f.font.face, "FixedSys");
    EXPECT_EQ(f.font.charset, 128);
    EXPECT_EQ(f.font.pitchAndFamily, 1);
    EXPECT_EQ(host.sent, std::vector<uint32_t>{0x32});
    EXPECT_EQ(f.x, program == 0 ? 154 : 506);
    EXPECT_EQ(f.y, program == 0 ? 203 : 297);
    EXPECT_EQ(f.width, 648);
    EXPECT_EQ(f.height, 466);
    ASSERT_EQ(f.declaredEvents.size(), 14u);
    EXPECT_EQ(f.declaredEvents.front(), (std::pair<int, std::string>{103, "MAINFORM_START"}));
    EXPECT_EQ(f.declaredEvents.back(), (std::pair<int, std::string>{120, "MAINFORM_MOUSEWHEEL"}));
    EXPECT_TRUE(f.boundEvents.empty());
    EXPECT_FALSE(f.disabled);
    EXPECT_EQ(p.show, 1);
  }
}

TEST(FormPlayer, EmptyStreamAndHeaderBytes) {
  FakeHost host;
  FormWriter only;
  only.Op(kOpEnd);
  Played p = Play(host, only);
  EXPECT_FALSE(p.ok);
  EXPECT_TRUE(host.windows.empty());
  // The six header bytes are not checked.
  FormWriter w = FormStart();
  w.Op(kOpTitle).Str("t").Op(kOpEnd);
  std::vector<uint8_t> bytes = w.bytes();
  for (int i = 0; i < 6; ++i) bytes[i] = static_cast<uint8_t>(0xA5 + i);
  FakeHost other;
  std::vector<Resource> resources = {{kResourceRcData, "MainForm", bytes}};
  int show = 1, failure = 0;
  EXPECT_EQ(LoadForm(other, resources, "MAINFORM", show, failure), 1u);
  EXPECT_EQ(other.windows[0].title, "t");
  // No resource at all: failure 1012.
  EXPECT_EQ(LoadForm(other, {}, "MainForm", show, failure), 0u);
  EXPECT_EQ(failure, 1012);
}

TEST(FormPlayer, FailuresShowTheirMessage) {
  FakeHost host;
  FormWriter w = FormStart();
  w.Op(5).Op(kOpEnd);
  Played p = Play(host, w);
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.failure, 1014);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], "PlayScript|" + Cp932("未定義のリソーススクリプト") + " 5");

  FakeHost events;
  FormWriter e = FormStart();
  e.Op(kOpEvent).I16(1).I16(99).Str("X").I16(2).Op(kOpEnd);
  EXPECT_FALSE(Play(events, e).ok);
  EXPECT_EQ(events.boxes[0], "PlayScript|" + Cp932("__EVENT:無効なイベントID") + " 63");

  FakeHost colour;
  FormWriter c = FormStart();
  c.Op(kOpTextColor).I16(16).Op(kOpEnd);
  EXPECT_FALSE(Play(colour, c).ok);
  EXPECT_EQ(colour.boxes[0], "PlayScript|" + Cp932("__TEXTCOLOR:無効なカラーコード") + " 10");

  // The value is shown as a 32-bit word: kind -1 (no window yet) is ffffffff.
  FakeHost none;
  FormWriter f;
  f.Op(kOpFontSize).I16(12).Op(kOpEnd);
  EXPECT_FALSE(Play(none, f).ok);
  EXPECT_EQ(none.boxes[0], "PlayScript|" + Cp932("__FONTX:無効なコントロールID") + " ffffffff");

  FakeHost name;
  FormWriter n = FormStart();
  n.Op(kOpControlName).Str(std::string(22, 'N')).Op(kOpEnd);
  EXPECT_FALSE(Play(name, n).ok);
  EXPECT_EQ(name.boxes[0], "PlayScript|" + Cp932("__CONTROLNAME:無効なコントロールID") + " " + std::string(22, 'N'));

  // Blocks nested beyond the limit fail the load with one message instead of
  // exhausting the stack (16,000 levels did); within it they play.
  for (int levels : {host::kMaxFormNesting, 16000}) {
    FakeHost nested;
    FormWriter b = FormStart();
    for (int i = 0; i < levels; ++i) b.Op(kOpBlock);
    for (int i = 0; i <= levels; ++i) b.Op(kOpEnd);
    Played p = Play(nested, b);
    EXPECT_EQ(p.ok, levels == host::kMaxFormNesting) << levels;
    if (levels > host::kMaxFormNesting) {
      ASSERT_EQ(nested.boxes.size(), 1u);
      EXPECT_EQ(nested.boxes[0], "PlayScript|" + Cp932("未定義のリソーススクリプト") + " 1");
    }
  }

  // A stream cut short fails instead of reading past its end.
  FakeHost cut;
  FormWriter t = FormStart();
  t.Op(kOpSize3).I32(0);
  EXPECT_FALSE(Play(cut, t).ok);
}

TEST(FormPlayer, EventsAndShowCommands) {
  FakeHost host;
  host.bindable = "TE$MAINFORM_CLICK";
  FormWriter w = FormStart();
  const std::string longName(29, 'L');
  w.Op(kOpEvent).I16(1).I16(103).Str(longName).I16(108).Str("MAINFORM_CLICK").I16(2);
  w.Op(kOpShowState).I32(1).Op(kOpEnd);
  Played p = Play(host, w, 7);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.show, 7);  // a minimised start stays minimised
  const FormWindow& f = host.windows[0];
  EXPECT_EQ(f.declaredEvents.size(), 2u);
  for (const std::string& s : host.looked) EXPECT_NE(s, "TE$" + longName);  // too long: not looked up
  ASSERT_EQ(f.boundEvents.size(), 1u);
  EXPECT_EQ(f.boundEvents[0].first, 8);  // the click event kind
  EXPECT_EQ(CombineShowCommand(1, 0), 0);
  EXPECT_EQ(CombineShowCommand(1, 3), 3);
  EXPECT_EQ(CombineShowCommand(1, 2), 2);
  EXPECT_EQ(CombineShowCommand(12, 5), 5);
  EXPECT_EQ(CombineShowCommand(3, 12), 3);
}

// Every opcode, used where it applies, followed by a record that must still
// be read correctly.
TEST(FormPlayer, EveryOpcodeIsWalkedExactly) {
  struct Case {
    uint16_t op;
    int kind;
    std::function<void(FormWriter&)> operands;
  } cases[] = {
      {kOpNop, 0, [](FormWriter&) {}},
      {kOpBlock, 0, [](FormWriter& w) { w.Op(kOpCreate3).I32(7).I32(0).I32(0).Op(kOpEnd); }},
      {kOpCreate, 0, [](FormWriter& w) { w.I16(3).I16(0).I16(0); }},
      {kOpTitle, 0, [](FormWriter& w) { w.Str("title"); }},
      {kOpSize, 0, [](FormWriter& w) { w.I16(1).I16(2).I16(3).I16(4); }},
      {kOpVisible, 0, [](FormWriter& w) { w.I16(1); }},
      {kOpDisabled, 0, [](FormWriter& w) { w.I16(0); }},
      {kOpMinimized, 0, [](FormWriter& w) { w.I16(0); }},
      {kOpMaximized, 0, [](FormWriter& w) { w.I16(0); }},
      {kOpMenu, 0, [](FormWriter& w) { w.Str("MENU"); }},
      {kOpBitmap, 15, [](FormWriter& w) { w.Str(""); }},
      {kOpCursorId, 0, [](FormWriter& w) { w.I32(32512); }},
      {kOpCursor, 13, [](FormWriter& w) { w.Str("CUR"); }},
      {kOpTextColor, 0, [](FormWriter& w) { w.I16(12); }},
      {kOpForeColor, 0, [](FormWriter& w) { w.I16(3); }},
      {kOpBackColor, 0, [](FormWriter& w) { w.I16(1); }},
      {kOpAttribute, 0, [](FormWriter& w) { w.I16(5); }},
      {kOpCtrlTextColor, 3, [](FormWriter& w) { w.I32(0xFF); }},
      {kOpCtrlBackColor, 10, [](FormWriter& w) { w.I32(0xFF00); }},
      {kOpTextBuffer, 0, [](FormWriter& w) { w.I16(100).I16(30); }},
      {kOpMapMode, 0, [](FormWriter& w) { w.I16(0); }},
      {kOpReserved38, 0, [](FormWriter& w) { w.I32(-1); }},
      {kOpRedrawMode, 13, [](FormWriter& w) { w.I16(1); }},
      {kOpScrollRange, 10, [](FormWriter& w) { w.I16(0).I16(100); }},
      {kOpScrollStep, 11, [](FormWriter& w) { w.I16(1).I16(10); }},
      {kOpTimer, 16, [](FormWriter& w) { w.I16(30).I32(1000); }},
      {kOpButtonStyle, 3, [](FormWriter& w) { w.I32(1); }},
      {kOpButtonFrame, 4, [](FormWriter& w) { w.I16(1).I16(2); }},
      {kOpFrameSize, 15, [](FormWriter& w) { w.I16(1).I16(2); }},
      {kOpDrawInterval, 5, [](FormWriter& w) { w.I16(50); }},
      {kOpButtonState, 15, [](FormWriter& w) { w.I16(1); }},
      {kOpTooltip, 15, [](FormWriter& w) { w.Str("tip"); }},
      {kOpReserved60, 0, [](FormWriter& w) { w.I32(0); }},
      {kOpCopyCommands, 0, [](FormWriter& w) { w.I16(1); }},
      {kOpReserved62, 0, [](FormWriter& w) { w.I16(1).I16(1).I16(8).I16(8); }},
      {kOpFontSize, 0, [](FormWriter& w) { w.I16(12); }},
      {kOpFontBold, 7, [](FormWriter& w) { w.I16(1); }},
      {kOpFontItalic, 0, [](FormWriter& w) { w.I16(1); }},
      {kOpFontUnderline, 0, [](FormWriter& w) { w.I16(1); }},
      {kOpFontStrikeOut, 3, [](FormWriter& w) { w.I16(1); }},
      {kOpFontFace, 0, [](FormWriter& w) { w.Str("Face"); }},
      {kOpFontFaceSet, 0, [](FormWriter& w) { w.Str("FixedSys").I16(128).I16(1); }},
      {kOpEvent, 0, [](FormWriter& w) { w.I16(1).I16(104).Str("F_END").I16(2); }},
      {kOpCreate3, 0, [](FormWriter& w) { w.I32(9).I32(0).I32(0); }},
      {kOpAxis3, 0, [](FormWriter& w) { w.I32(1); }},
      {kOpLimitText3, 7, [](FormWriter& w) { w.I32(10); }},
      {kOpSize3, 0, [](FormWriter& w) { w.I32(2).I32(0).I32(0).I32(100).I32(100); }},
      {kOpListItem3, 9, [](FormWriter& w) { w.Str("a\r\nb"); }},
      {kOpValue3, 4, [](FormWriter& w) { w.I32(1); }},
      {kOpImeMode3, 7, [](FormWriter& w) { w.I32(2); }},
      {kOpShowState, 0, [](FormWriter& w) { w.I32(1); }},
      {kOpReserved211, 0, [](FormWriter& w) { w.I32(0); }},
      {kOpReserved212, 0, [](FormWriter& w) { w.I32(0); }},
      {kOpReserved213, 0, [](FormWriter& w) { w.I32(0).I32(0); }},
      {kOpReserved214, 0, [](FormWriter& w) { w.I32(0).Str("text"); }},
      {kOpSendMessage, 0, [](FormWriter& w) { w.I32(0x32).I32(0).I32(0); }},
  };
  for (const Case& c : cases) {
    FakeHost host;
    FormWriter w = FormStart();
    if (c.kind != 0) w.Op(kOpCreate3).I32(c.kind).I32(0).I32(0);
    w.Op(c.op);
    c.operands(w);
    w.Op(kOpControlName).Str("NEXT").Op(kOpEnd);
    Played p = Play(host, w);
    ASSERT_TRUE(p.ok) << "opcode " << c.op << (host.boxes.empty() ? "" : " " + host.boxes[0]);
    // The record after it names the current window (the form again after a
    // nested block).
    const FormWindow& current = c.op == kOpBlock ? host.windows.front() : host.windows.back();
    EXPECT_EQ(current.controlName, "NEXT") << "opcode " << c.op;
  }
}

TEST(FormPlayer, FormIsFittedToItsGrid) {
  FakeHost host;
  FormWriter w = FormStart();
  w.Op(kOpSize3).I32(0).I32(10).I32(20).I32(2000).I32(300).Op(kOpEnd);
  ASSERT_TRUE(Play(host, w).ok);
  EXPECT_EQ(host.windows[0].width, 648);
  EXPECT_EQ(host.windows[0].height, 466);
  EXPECT_EQ(host.windows[0].x, 10);
}

}  // namespace
}  // namespace host
