// The inputs that showed faults of the programs (tests/repro), each run as
// it was found: the programs must go on as the dialogue says, never end
// quietly, crash or misread.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "process.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"

namespace {

const std::string kEquation = e2e::ProgramCommand(EQUATION_PROGRAM, "equation.exe");
const std::string kPolymul = e2e::ProgramCommand(POLYMUL_PROGRAM, "polymul.exe");
const std::string kRepro = REPRO_DIR;

class Repro : public ::testing::Test {
 protected:

  // Runs the program in the folder with the input file on standard input.
  e2e::Run Run(const std::string& program, const std::string& inputFile) {
    return e2e::RunProgram("cd " + folder + " && XDG_CONFIG_HOME=" + folder + "/config TESSEL_DISPLAY=stream " +
                               program,
                           Slurp(inputFile));
  }
  static std::string Slurp(const std::string& path) { return test_support::FileBytes(path); }
  void CopyIn(const std::string& repro) {
    ASSERT_EQ(std::system(("cp " + kRepro + "/" + repro + "/* " + folder + "/ && chmod u+w " + folder + "/*").c_str()), 0);
  }

  test_support::TempFolder scratch{"tessel-repro", false};
  const std::string folder = scratch.path();
};

// A NUL byte typed is no key: it used to end the program as if its window
// had gone.
TEST_F(Repro, NulByteTypedIsIgnored) {
  e2e::Run r = Run(kEquation, kRepro + "/stream_nul_byte_quiet_exit.in");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Answer =+a2-b2\n"), std::string::npos) << r.out;
  EXPECT_EQ(Slurp(folder + "/ans.txt"), "+a2-b2\r\n\x1A");
}

// A UTF-8 sequence cut short is one "?", and the line end after it stays.
TEST_F(Repro, CutUtf8SequenceKeepsTheLineEnd) {
  e2e::Run r = Run(kEquation, kRepro + "/stream_truncated_utf8_eats_newline.in");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("(a+b)(a-b)?\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" Letter Number          = 2 \n"), std::string::npos) << r.out;
}

// Exponent fields that fill the 128 bits of a packed key exactly.
TEST_F(Repro, PackedKeysFillingAllTheirBits) {
  e2e::Run r = Run(kEquation, kRepro + "/equation_shift128.in");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Answer =+"), std::string::npos) << r.out;
}

// A file without terms among huge coefficients.
TEST_F(Repro, PolymulFileWithoutTerms) {
  CopyIn("polymul_zero_terms");
  e2e::Run r = Run(kPolymul, folder + "/in_zero.txt");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Answer =\n"), std::string::npos) << r.out;
}

// The largest double, saved and read back.
TEST_F(Repro, LargestDoubleRoundTrip) {
  CopyIn("dblmax_roundtrip");
  ASSERT_EQ(std::system(("rm -f " + folder + "/prod.txt").c_str()), 0);
  e2e::Run first = Run(kPolymul, folder + "/in_dm1.txt");
  EXPECT_EQ(first.exitCode, 0);
  e2e::Run second = Run(kPolymul, folder + "/in_dm2.txt");
  EXPECT_EQ(second.exitCode, 0) << second.out;
  EXPECT_NE(second.out.find("Answer =+1.79769313486232D+308a3\n"), std::string::npos) << second.out;
}

// A disk that fills during the save: where a small file system can be
// mounted here, the save is reported and asked again, and nothing of it is
// left.
TEST_F(Repro, FullDiskDuringTheSave) {
  const std::string disk = folder + "/disk";
  if (std::system(("mkdir " + disk + " && mount -t tmpfs -o size=16k tmpfs " + disk + " 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "no small file system can be mounted here";
  CopyIn("full_disk");
  std::string input = Slurp(kRepro + "/full_disk/in_full.txt");
  input.replace(input.find("FULL"), 4, disk);
  input.resize(input.rfind("y\n"));  // the answer to the end question comes after the new name
  e2e::Run r = e2e::RunProgram("cd " + folder + " && XDG_CONFIG_HOME=" + folder + "/config TESSEL_DISPLAY=stream " +
                                   kEquation,
                               input + "kept.txt\ny\n");
  e2e::Run listing = e2e::RunProgram("ls -A " + disk, "");
  (void)!std::system(("umount " + disk).c_str());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("ans.txtに保存できませんでした。エラー[67] "), std::string::npos) << r.out;
  EXPECT_EQ(listing.out, "");
  EXPECT_EQ(Slurp(folder + "/kept.txt").substr(0, 5), " 495 ");
}

// Twelve failing runs of both programs at once, all recording their error in
// one store: the record is one run's whole record, and the rest of the store
// (a comment, another program's key) is still there.
TEST_F(Repro, ConcurrentFailingRunsKeepWholeRecords) {
  const std::string config = folder + "/config";
  ASSERT_EQ(std::system(("mkdir -p " + config + "/tessel && printf '%s' 'Windows Registry Editor Version 5.00\n"
                         "; mine\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Keep\"=\"me\"\n' > " +
                         config + "/tessel/registry.reg").c_str()),
            0);
  std::ofstream(folder + "/in_equation") << "y\nm\n(a+b+c+d+e+f+g+h+i+j)(a)\n";
  std::ofstream(folder + "/in_polymul") << "y\n-1\n";
  std::string runs;
  for (int i = 0; i < 6; ++i)
    runs += kEquation + " < in_equation >/dev/null 2>&1 & " + kPolymul + " < in_polymul >/dev/null 2>&1 & ";
  if (e2e::WindowsBuild()) {
    // The record goes to the registry itself, under HKEY_CURRENT_USER.
    // (Added until it reads back: the first use of a fresh Wine prefix can
    // lose a value written at once.)
    for (int i = 0; i < 5 && e2e::WineRegistryKey("HKCU\\Software\\Other").find("Keep") == std::string::npos; ++i)
      e2e::RunProgram("WINEDEBUG=-all /usr/lib/wine/wine64 reg add 'HKCU\\Software\\Other' /v Keep /d me /f", "");
    ASSERT_NE(e2e::WineRegistryKey("HKCU\\Software\\Other").find("Keep    REG_SZ    me"), std::string::npos);
  }
  ASSERT_EQ(std::system(("cd " + folder + " && export XDG_CONFIG_HOME=" + config + " TESSEL_DISPLAY=stream && " +
                         "{ " + runs + "wait; }").c_str()),
            0);
  if (e2e::WindowsBuild()) {
    const std::string record = e2e::WineRegistryKey("HKCU\\Software\\Norvane\\Tessel V6.3\\RUNTIME\\ERROR");
    auto has = [&](const char* name, const char* value) {
      return record.find(std::string("    ") + name + "    REG_DWORD    " + value + "\r\n") != std::string::npos;
    };
    const bool equation = has("LINE", "0x823") && has("CODE", "0x9") && has("FUNC", "0xbf") && has("INFO", "0x2");
    const bool polymul = has("LINE", "0x2a") && has("CODE", "0x5") && has("FUNC", "0x10") && has("INFO", "0x3");
    EXPECT_TRUE(equation != polymul) << record;
    EXPECT_NE(e2e::WineRegistryKey("HKCU\\Software\\Other").find("Keep    REG_SZ    me"), std::string::npos);
    return;
  }
  const std::string store = Slurp(config + "/tessel/registry.reg");
  EXPECT_EQ(store.rfind("Windows Registry Editor Version 5.00\n; mine\n\n[HKEY_CURRENT_USER\\Software\\Other]\n"
                        "\"Keep\"=\"me\"\n", 0), 0u) << store;
  const bool equation = store.find("\"LINE\"=dword:00000823\n\"CODE\"=dword:00000009\n\"FUNC\"=dword:000000bf\n"
                                   "\"INFO\"=dword:00000002\n") != std::string::npos;
  const bool polymul = store.find("\"LINE\"=dword:0000002a\n\"CODE\"=dword:00000005\n\"FUNC\"=dword:00000010\n"
                                  "\"INFO\"=dword:00000003\n") != std::string::npos;
  EXPECT_TRUE(equation != polymul) << store;
}

}  // namespace
