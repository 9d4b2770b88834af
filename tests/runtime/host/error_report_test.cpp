// The error report: what the screen shows, the record in the store, the
// message library and help.
#include <stdlib.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/core/basic.h"
#include "runtime/core/test_host.h"
#include "runtime/host/error_report.h"
#include "runtime/host/host.h"
#include "runtime/platform/dynamic_library.h"
#include "runtime/platform/registry_store.h"
#include "support/host_run.h"
#include "support/temp_folder.h"
#if defined(_WIN32)
#include "support/private_registry.h"
#endif

namespace host {
namespace {

using platform::RegistryRoot;

#if defined(_WIN32)
// The test library beside the tests (ctest runs them in their folder), as
// an absolute Windows path; the programs' own three folders up.
const std::string kMessageLibraryDir = (std::filesystem::current_path() / "messages").string() + "\\";
const std::string kProgramsDir = (std::filesystem::current_path() / ".." / ".." / "..").string();
#else
const std::string kMessageLibraryDir = MESSAGE_LIBRARY_DIR;
const std::string kProgramsDir = PROGRAMS_DIR;
#endif

std::optional<uint32_t> ErrorDword(const char* name) {
  return platform::RegistryGetDword(RegistryRoot::CurrentUser, kErrorKey, name);
}
std::optional<std::string> ErrorString(const char* name) {
  return platform::RegistryGetString(RegistryRoot::CurrentUser, kErrorKey, name);
}

class ErrorReport : public ::testing::Test {
 protected:
#if !defined(_WIN32)
  void SetUp() override { setenv("XDG_CONFIG_HOME", config.c_str(), 1); }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
#endif
  std::string Store() {
    std::ifstream in(platform::RegistryPath(RegistryRoot::CurrentUser));
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  test_support::TempFolder scratch{"tessel-config", false};
  const std::string config = scratch.path();
};

class Scripted : public platform::Display {
 public:
  explicit Scripted(std::string& drawn) : drawn(drawn) {}
  const char* Name() const override { return "scripted"; }
  void Open(const platform::ScreenSource*, platform::WindowHandle) override {}
  void PumpEvents(platform::MessageQueue&) override {}
  void WaitEvents(platform::MessageQueue& q) override { q.Post({1, platform::WM_CHAR, 'k', 0}); }
  void TextDrawn(const char* b, size_t n) override { drawn.append(b, n); }
  void MessageBox(const std::string&, const std::string&) override {}
  std::string& drawn;  // outlives the display
};

int RunFailing(Scripted* display, int number = 5, uint32_t site = 0x9A01) {
  return test_support::RunInHost(
      [=] {
        basic::Stmt(120);
        rt::RaiseError(number, site);
      },
      std::unique_ptr<platform::Display>(display));
}

TEST_F(ErrorReport, ScreenRecordAndExitStatus) {
  std::string drawn;
  auto* d = new Scripted(drawn);
  EXPECT_EQ(RunFailing(d), 1);
  EXPECT_EQ(drawn, rt::test::Cp932("\r\nMAIN.BAS [120行]:エラー[5]\r\n任意のキーを押してください\r\n"));
  EXPECT_EQ(ErrorString("MODL"), "MAIN.BAS");
  EXPECT_EQ(ErrorDword("LINE"), 120u);
  EXPECT_EQ(ErrorDword("CODE"), 5u);
  EXPECT_EQ(ErrorDword("FUNC"), 0x9Au);
  EXPECT_EQ(ErrorDword("INFO"), 1u);
  EXPECT_EQ(ErrorString("MODE"), rt::test::Cp932("独立型"));
  EXPECT_EQ(ErrorString("RTL"), "V6.30 L10 U002+1");
  EXPECT_TRUE(ErrorString("TIME").has_value());
#if !defined(_WIN32)
  std::string store = Store();
  // Exactly these values, in this order.
  std::istringstream lines(store);
  std::string line, names;
  while (std::getline(lines, line))
    if (!line.empty() && line[0] == '"') names += line.substr(0, line.find('=')) + " ";
  EXPECT_EQ(names, "\"MODL\" \"LINE\" \"CODE\" \"FUNC\" \"INFO\" \"TIME\" \"MODE\" \"RTL\" ");
  EXPECT_NE(store.find("[HKEY_CURRENT_USER\\Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR]"), std::string::npos);
  EXPECT_NE(store.find("\"LINE\"=dword:00000078"), std::string::npos);
  EXPECT_NE(store.find("\"FUNC\"=dword:0000009a"), std::string::npos);
  EXPECT_NE(store.find("\"INFO\"=dword:00000001"), std::string::npos);
  EXPECT_NE(store.find("\"MODE\"=\"独立型\""), std::string::npos);
  EXPECT_NE(store.find("\"RTL\"=\"V6.30 L10 U002+1\""), std::string::npos);
#endif
}

// FUNC is the site without its low byte, INFO the whole low byte.
TEST_F(ErrorReport, SiteSplitsIntoFuncAndInfo) {
  std::string drawn;
  RunFailing(new Scripted(drawn), 58, 0x4E1F);
  EXPECT_EQ(ErrorDword("CODE"), 0x3Au);
  EXPECT_EQ(ErrorDword("FUNC"), 0x4Eu);
  EXPECT_EQ(ErrorDword("INFO"), 0x1Fu);
  RunFailing(new Scripted(drawn), 5, 0xC0000703);
  EXPECT_EQ(ErrorDword("FUNC"), 0xC00007u);
  EXPECT_EQ(ErrorDword("INFO"), 3u);
}

TEST_F(ErrorReport, MessageLibraryTextFollowsTheErrorLine) {
  ASSERT_TRUE(platform::RegistrySetString(RegistryRoot::CurrentUser, kEnvKey, "TESSEL", kMessageLibraryDir));
  std::string text;
  EXPECT_TRUE(LookupErrorText(5, text));
  EXPECT_EQ(text, "Illegal function call");
  EXPECT_FALSE(LookupErrorText(6, text));
  std::string drawn;
  auto* d = new Scripted(drawn);
  RunFailing(d);
  EXPECT_NE(drawn.find(rt::test::Cp932("エラー[5]\r\nIllegal function call\r\n任意のキー")), std::string::npos)
      << drawn;
}

// The message library the programs are installed with: a text for every
// error number the run-time raises, none for another, each whole within the
// report's 260 bytes; the report finds it beside the program when no
// installation names its folder.
TEST_F(ErrorReport, TheProgramsMessageLibraryNamesEveryError) {
  const int raised[] = {2,  3,  4,  5,  6,  7,  9,  10, 11, 13, 15, 16, 19, 27, 28, 32, 50, 51, 52, 54, 55, 57,
                        58, 59, 60, 61, 63, 64, 66, 67, 71, 72, 73, 75, 81, 82, 89, 90, 98, 1000, 1002, 1006};
  void* library = platform::LoadTrustedLibrary(kProgramsDir, "T5Q0RE63.DLL");
  ASSERT_NE(library, nullptr);
  using GetErrMsg = int (*)(void*, int, char*, int);
  auto get = reinterpret_cast<GetErrMsg>(platform::LibrarySymbol(library, "$PbGetErrMsg"));
  ASSERT_NE(get, nullptr);
  for (int number : raised) {
    char buffer[260];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(get(library, number, buffer, sizeof buffer), 1) << number;
    const std::string text(buffer);
    EXPECT_GT(text.size(), 4u) << number;
    // Shift-JIS throughout: a lead byte always has its trail.
    const std::string utf8 = platform::Cp932ToUtf8(text);
    EXPECT_EQ(platform::Utf8ToCp932(utf8), text) << number;
    EXPECT_EQ(get(library, number, buffer, static_cast<int>(text.size())), 0) << "a text cut short: " << number;
  }
  char buffer[260];
  for (int number : {0, 1, 8, 12, 14, 99, 1001, 2000}) EXPECT_EQ(get(library, number, buffer, 260), 0) << number;
  platform::UnloadLibrary(library);
}

#if defined(_WIN32)
// The message library is loaded only from an absolute folder: never from the
// current folder or the library search path.
TEST_F(ErrorReport, TheMessageLibraryOnlyFromAnAbsoluteFolder) {
  auto lookup = [](const std::string& dir) {
    platform::RegistrySetString(RegistryRoot::CurrentUser, kEnvKey, "TESSEL", dir);
    std::string text;
    return LookupErrorText(5, text) && text == "Illegal function call";
  };
  EXPECT_TRUE(lookup(kMessageLibraryDir));
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(kMessageLibraryDir);
  EXPECT_FALSE(lookup("."));
  EXPECT_FALSE(lookup(""));
  EXPECT_FALSE(lookup("messages"));
  std::filesystem::current_path(here);
}

// The library's own imports are looked for in its folder and in System32,
// never in the current folder (where a user keeps data files, and anyone
// may have put a DLL).
TEST_F(ErrorReport, TheMessageLibrarysImportsNotFromTheCurrentFolder) {
  const std::filesystem::path here = std::filesystem::current_path();
  const std::string importing = (here / "importing").string() + "\\";
  auto lookup = [&] {
    platform::RegistrySetString(RegistryRoot::CurrentUser, kEnvKey, "TESSEL", importing);
    std::string text;
    return LookupErrorText(5, text) && text == "Text through the helper";
  };
  std::filesystem::current_path(here / "helper");
  EXPECT_FALSE(lookup());
  std::filesystem::current_path(here);
  std::filesystem::copy_file(here / "helper" / "tessel_helper.dll", here / "importing" / "tessel_helper.dll",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_TRUE(lookup());  // beside the library, it is found
  std::filesystem::remove(here / "importing" / "tessel_helper.dll");
}

// TESSEL must be a plain string (REG_SZ): an expandable one names whatever
// the environment of the moment makes of it.
TEST_F(ErrorReport, AnExpandableTesselValueIsNotTaken) {
  ASSERT_TRUE(test_support::SetExpandableString("Software\\Norvane\\Tessel V6.3\\ENV", "TESSEL", kMessageLibraryDir));
  std::string text;
  EXPECT_FALSE(LookupErrorText(5, text) && text == "Illegal function call");
}
#else
// The message library is loaded only from an absolute folder that, with the
// library in it, belongs to this user or root and no one else can write.
TEST_F(ErrorReport, TheMessageLibraryOnlyFromATrustedFolder) {
  const std::string folder = config + "/lib";
  const std::string library = folder + "/T5Q0RE63.DLL";
  ASSERT_EQ(std::system(("mkdir -m 755 " + folder + " && cp " MESSAGE_LIBRARY_DIR "T5Q0RE63.DLL " + library +
                         " && chmod 755 " + library).c_str()),
            0);
  auto lookup = [](const std::string& dir) {
    platform::RegistrySetString(RegistryRoot::CurrentUser, kEnvKey, "TESSEL", dir);
    std::string text;
    return LookupErrorText(5, text) && text == "Illegal function call";
  };
  EXPECT_TRUE(lookup(folder));
  EXPECT_TRUE(lookup(folder + "/"));
  EXPECT_FALSE(lookup("."));  // relative: the current folder is anyone's
  EXPECT_FALSE(lookup(""));   // not a bare name searched on the library path
  ASSERT_EQ(chdir(folder.c_str()), 0);
  EXPECT_FALSE(lookup("."));
  ASSERT_EQ(chdir("/"), 0);
  chmod(library.c_str(), 0777);
  EXPECT_FALSE(lookup(folder));  // a library anyone can change
  chmod(library.c_str(), 0755);
  chmod(folder.c_str(), 0777);
  EXPECT_FALSE(lookup(folder));  // a folder where anyone can put one
  chmod(folder.c_str(), 0755);
  if (getuid() == 0) {
    ASSERT_EQ(chown(library.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(lookup(folder));  // another user's library
    ASSERT_EQ(chown(library.c_str(), 0, 0), 0);
  }
  ASSERT_EQ(std::system(("mv " + library + " " + folder + "/real.so && ln -s real.so " + library).c_str()), 0);
  EXPECT_FALSE(lookup(folder));  // a link is not followed
}
#endif

TEST_F(ErrorReport, MapLastErrorRecordsTheCode) {
  EXPECT_EQ(MapLastError(2), 63);
  EXPECT_EQ(MapLastError(6), 27);
  EXPECT_EQ(platform::RegistryGetDword(RegistryRoot::CurrentUser, kErrorKey, "APIERR"), 6u);
}

TEST_F(ErrorReport, HelpWithoutAnErrorDoesNothing) {
  EXPECT_TRUE(ShowHelp(true, 0));
  EXPECT_TRUE(ShowHelp(false, 0));
}

TEST_F(ErrorReport, StoreKeepsValuesAndRewritesWhole) {
  platform::RegistrySetString(RegistryRoot::CurrentUser, "Software\\A", "X", "one \"quoted\" \\ value");
  platform::RegistrySetDword(RegistryRoot::CurrentUser, "Software\\A", "N", 123);
  platform::RegistrySetString(RegistryRoot::CurrentUser, "Software\\A", "X", "two");
  EXPECT_EQ(platform::RegistryGetString(RegistryRoot::CurrentUser, "Software\\A", "X"), "two");
  EXPECT_EQ(platform::RegistryGetDword(RegistryRoot::CurrentUser, "Software\\A", "N"), 123u);
#if !defined(_WIN32)
  EXPECT_EQ(Store().find(".tmp"), std::string::npos);
#endif
}

}  // namespace
}  // namespace host
