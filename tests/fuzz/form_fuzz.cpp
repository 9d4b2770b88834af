// Any bytes as the MAINFORM resource through the form player: a window or a
// failure with its message, never a crash or a stack overflow.
#include <string>
#include <vector>

#include "runtime/host/form_player.h"
#include "support/fake_form_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  test_support::FakeFormHost h;
  std::vector<host::Resource> resources = {{host::kResourceRcData, "MAINFORM", std::vector<uint8_t>(data, data + size)}};
  int show = 1, failure = 0;
  host::LoadForm(h, resources, "MainForm", show, failure);
  return 0;
}
