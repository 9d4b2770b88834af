// Writes a program's main form as the bytes of its MAINFORM resource, for
// the resource compiler of the Windows build. Built for the machine that
// builds (compiled with the CP932 execution character set, like the
// programs).
// usage: mainform_resource equation|polymul OUTPUT
#include <cstdio>
#include <cstring>

#include "app/main_forms.h"
#include "runtime/host/form_script.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const app::MainFormSpec& form = std::strcmp(argv[1], "polymul") == 0 ? app::kPolymulForm : app::kEquationForm;
  const std::vector<uint8_t> bytes = host::BuildMainForm(form.title, form.x, form.y);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 1;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && ok ? 0 : 1;
}
