#include "runtime/host/form_script.h"

namespace host {

std::vector<uint8_t> BuildMainForm(const std::string& cp932Title, int x, int y) {
  constexpr int32_t kOverlappedWindow = 0x00CF0000;  // WS_OVERLAPPEDWINDOW
  FormWriter w;
  w.Op(kOpClass).Str("MAINFORM").Str("");
  w.Op(kOpCreate3).I32(0).I32(kOverlappedWindow | 0x0115).I32(0);
  w.Op(kOpReserved212).I32(0);
  w.Op(kOpReserved211).I32(0);
  w.Op(kOpRedrawMode).I16(1);
  w.Op(kOpAxis3).I32(0);
  w.Op(kOpTitle).Str(cp932Title);
  w.Op(kOpControlName).Str("MAINFORM");
  w.Op(kOpTextColor).I16(7);
  w.Op(kOpForeColor).I16(15);
  w.Op(kOpBackColor).I16(0);
  w.Op(kOpReserved62).I16(1).I16(1).I16(8).I16(8);
  w.Op(kOpCopyCommands).I16(1);
  w.Op(kOpFontSize).I16(18);
  w.Op(kOpFontFaceSet).Str("FixedSys").I16(128).I16(1);
  w.Op(kOpSendMessage).I32(0x32).I32(0).I32(0);
  w.Op(kOpSize3).I32(0).I32(x).I32(y).I32(648).I32(466);
  w.Op(kOpEvent).I16(1);
  const std::pair<int, const char*> events[] = {
      {103, "MAINFORM_START"},     {104, "MAINFORM_END"},       {105, "MAINFORM_SETFOCUS"},
      {106, "MAINFORM_KILLFOCUS"}, {107, "MAINFORM_RESIZE"},    {108, "MAINFORM_CLICK"},
      {109, "MAINFORM_DBLCLICK"},  {110, "MAINFORM_MOUSEDOWN"}, {111, "MAINFORM_MOUSEUP"},
      {112, "MAINFORM_MOUSEMOVE"}, {117, "MAINFORM_QUERYCLOSE"}, {118, "MAINFORM_DROPFILES"},
      {119, "MAINFORM_NOTIFYICON"}, {120, "MAINFORM_MOUSEWHEEL"},
  };
  for (const auto& [id, name] : events) w.I16(static_cast<int16_t>(id)).Str(name);
  w.I16(2);
  w.Op(kOpShowState).I32(1);
  w.Op(kOpDisabled).I16(0);
  w.Op(kOpEnd);
  return w.bytes();
}

namespace {

// Resource names match without regard to ASCII case, as the system's do.
bool SameName(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

}  // namespace

const Resource* FindResource(const std::vector<Resource>& resources, int type, const std::string& name) {
  for (const Resource& r : resources)
    if (r.type == type && SameName(r.name, name)) return &r;
  return nullptr;
}

}  // namespace host
