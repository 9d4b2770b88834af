// The main forms of the two programs: title (CP932) and position, used by
// the programs and by the tool that writes them as resources for the
// Windows build.
#pragma once

namespace app {

struct MainFormSpec {
  const char* title;
  int x, y;
};

extern const MainFormSpec kEquationForm;
extern const MainFormSpec kPolymulForm;

}  // namespace app
