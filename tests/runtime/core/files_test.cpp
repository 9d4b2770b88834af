#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/core/basic.h"
#include "runtime/core/dir_search.h"
#include "runtime/core/files.h"
#include "runtime/platform/file_faults.h"
#include "runtime/platform/files.h"
#include "support/file_bytes.h"
#include "support/temp_folder.h"
#include "test_host.h"

namespace rt::test {
namespace {

class FilesTest : public RuntimeTest {
 protected:
  static void Open(const std::string& name, int mode, int n = 1) {
    PushStringConst(name.data(), static_cast<uint32_t>(name.size()));
    OpenFile(mode, 0, n);
  }
  static void Close(int n = 1) {
    int32_t list[] = {n};
    CloseFiles(list, 1);
  }
  static void PrintTo(int n, const std::string& s, int sep) {
    SelectFileOutput(n);
    PushStringConst(s.data(), static_cast<uint32_t>(s.size()));
    PrintString(sep);
  }
  static std::string Slurp(const std::string& name) { return test_support::FileBytes(name); }
  static void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }
  // The names in the folder, sorted.
  static std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator("."))
      names.push_back(e.path().filename().generic_string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string InputString(int n) {
    basic::Str s;
    SelectFileInput(n);
    VarRef v[] = {{&s.value(), kTypeString}};
    InputVars(v, 1);
    return std::string(s.view());
  }
  double InputNumber(int n) {
    double d = 0;
    SelectFileInput(n);
    VarRef v[] = {{&d, kTypeDouble}};
    InputVars(v, 1);
    return d;
  }
  test_support::TempFolder folder{"tessel-files"};
};

TEST_F(FilesTest, OpenErrors) {
  ExpectError([] { Open("missing.txt", kModeInput); }, 63, 0x2008);
  ExpectError([] { Open("nofolder/x.txt", kModeOutput); }, 63, 0x2008);
  Write("there.txt", "x");
  ExpectError([] { Open("there.txt", 2); }, 64, 0x2008);
  ExpectError([] { Open("a*.txt", kModeOutput); }, 55, 0x2008);
  ExpectError([] { Open(std::string(261, 'n'), kModeOutput); }, 55, 0x2001);
  ExpectError([] { Open("x.txt", kModeOutput, 256); }, 50, 0x2002);
  ExpectError([] { Open("x.txt", 12); }, 51, 0x2007);
  Open("x.txt", kModeOutput);
  ExpectError([] { Open("y.txt", kModeOutput); }, 52, 0x2003);
  Close(1);
  Close(1);  // closing a number that is not open does nothing
  Close(9);
  ExpectError([] { Close(0); }, 50, 0x1E01);
  ExpectError([] { Close(256); }, 50, 0x1E01);
  ExpectError([] { int32_t bad[] = {300}; CloseFiles(bad, 1); }, 50, 0x1E01);
}

// File numbers run from 1 to 255, for OPEN, for PRINT # and INPUT #, and
// for CLOSE: 0 and 256 are bad file numbers, 255 is a file like any other.
TEST_F(FilesTest, FileNumbersOneTo255) {
  ExpectError([] { Open("x.txt", kModeOutput, 0); }, 50, 0x2002);
  Open("last.txt", kModeOutput, 255);
  PrintTo(255, "z", 0);
  EndPrint();
  Close(255);
  EXPECT_EQ(Slurp("last.txt"), "z\r\n\x1A");
  for (int n : {0, 256}) {
    ExpectError([n] { SelectFileOutput(n); }, 50, 0x5301);
    ExpectError([n] { SelectFileInput(n); }, 50, 0x4D01);
  }
}

// A name is refused when its full path is longer than 260 bytes: 260 opens,
// 261 is a bad file name.
TEST_F(FilesTest, AFullPathOf260BytesAndNotOneMore) {
  const size_t folderLength = std::filesystem::current_path().string().size() + 1;
  ASSERT_LT(folderLength, 200u);
  Open(std::string(260 - folderLength, 'p'), kModeOutput);
  Close();
  EXPECT_TRUE(std::filesystem::exists(std::string(260 - folderLength, 'p')));
  ExpectError([&] { Open(std::string(261 - folderLength, 'q'), kModeOutput); }, 55, 0x2008);
}

#if defined(_WIN32)
// The names Windows keeps for devices are no files: a bad file name, as the
// user is told, in any case and with any extension.
TEST_F(FilesTest, DeviceNamesAreBadFileNames) {
  for (const char* name : {"CON", "nul", "aux.txt", "Com1", "LPT9.dat", "prn ", "sub\\NUL.txt"}) {
    ExpectError([&] { Open(name, kModeOutput); }, 55, 0x2008);
    ExpectError([&] { Open(name, kModeInput); }, 55, 0x2008);
  }
  Open("console.txt", kModeOutput);  // only the names themselves
  Close();
}
#endif

TEST_F(FilesTest, PrintToAFileEndsWithCrLfAndOneEofByte) {
  Write("out.txt", "old contents that are longer");
  Open("out.txt", kModeOutput);  // mode 11 empties an existing file
  PrintTo(1, "x", kPrintSemicolon);
  PrintTo(1, "y", kPrintEnd);
  PrintTo(1, "a", kPrintComma);
  PrintTo(1, "b", kPrintEnd);
  SelectFileOutput(1);
  PrintSingle(2, kPrintComma);
  PrintDouble(-2.5, kPrintEnd);
  Close();
  EXPECT_EQ(Slurp("out.txt"), "xy\r\na             b\r\n 2            -2.5 \r\n\x1A");
  ExpectError([] { SelectFileOutput(1); }, 57, 0x5302);
  // Writing to a file opened for input is error 51.
  Open("out.txt", kModeInput);
  ExpectError([] { PrintTo(1, "z", kPrintEnd); }, 51, 0x5703);
}

TEST_F(FilesTest, InputFromAFile) {
  Write("in.txt", "HENSU=3\r\n  a,b  \r\n 2 , 1.5 \r\n\"q,r\"\r\nlast\r\n\x1A");
  Open("in.txt", kModeInput);
  EXPECT_EQ(InputString(1), "HENSU=3");
  EXPECT_EQ(InputString(1), "a");  // leading blanks dropped
  EXPECT_EQ(InputString(1), "b");  // trailing blanks removed
  EXPECT_EQ(InputNumber(1), 2);
  EXPECT_EQ(InputNumber(1), 1.5);
  EXPECT_EQ(InputString(1), "q,r");
  EXPECT_EQ(InputString(1), "last");
  // The final 0x1A ends the data.
  ExpectError([&] { InputString(1); }, 54, 0x4E03);
  Close();
  Write("bad.txt", "abc\r\n,\r\n");
  Open("bad.txt", kModeInput, 2);
  ExpectError([&] { InputNumber(2); }, 58, 0x4E04);
  ExpectError([&] { InputNumber(2); }, 58, 0x4E04);  // a comma before any digit
  Write("end.txt", "1\r\n");
  Open("end.txt", kModeInput, 3);
  EXPECT_EQ(InputNumber(3), 1);
  ExpectError([&] { InputNumber(3); }, 54, 0x4E03);  // at the end of the file
}

// Text files made on Linux end their lines with LF alone; CR LF reads as
// before, and a CR alone still ends a line.
TEST_F(FilesTest, ALoneLineFeedEndsALine) {
  Write("lf.txt", "(a+b)(a-b)\n(x+y)2\n 2 , 2.5 \n\"q\nr\"\r\nlast\rnext\x1A");
  Open("lf.txt", kModeInput);
  EXPECT_EQ(InputString(1), "(a+b)(a-b)");
  EXPECT_EQ(InputString(1), "(x+y)2");
  EXPECT_EQ(InputNumber(1), 2);
  EXPECT_EQ(InputNumber(1), 2.5);
  EXPECT_EQ(InputString(1), "q");  // a line end ends a quoted item too
  EXPECT_EQ(InputString(1), "r\"");
  EXPECT_EQ(InputString(1), "last");
  EXPECT_EQ(InputString(1), "next");
  ExpectError([&] { InputString(1); }, 54, 0x4E03);
}

// OPEN for output replaces a file only when CLOSE completes the new one: an
// abandoned or failed file leaves the old one whole, and nothing beside it.
TEST_F(FilesTest, OutputReplacesAFileOnlyWhenClosed) {
  Write("old.txt", "old answer\r\n\x1A");
#if !defined(_WIN32)
  ASSERT_EQ(chmod("old.txt", 0640), 0);
#endif
  Open("old.txt", kModeOutput);
  PrintTo(1, "new", kPrintEnd);
  EXPECT_EQ(Slurp("old.txt"), "old answer\r\n\x1A");  // not yet
  Close();
  EXPECT_EQ(Slurp("old.txt"), "new\r\n\x1A");
#if !defined(_WIN32)
  struct stat st;
  ASSERT_EQ(stat("old.txt", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
  Open("old.txt", kModeOutput);
  PrintTo(1, "partial", kPrintSemicolon);
  DiscardFile(1);
  EXPECT_EQ(Slurp("old.txt"), "new\r\n\x1A");
  ExpectError([] { SelectFileOutput(1); }, 57, 0x5302);  // the number is free again
  DiscardFile(1);                                         // and discarding it again does nothing
#if defined(_WIN32)
  EXPECT_EQ(Entries(), (std::vector<std::string>{"old.txt"}));
#else
  // Through a link the file it leads to is replaced; the link stays.
  ASSERT_EQ(symlink("old.txt", "link.txt"), 0);
  Open("link.txt", kModeOutput);
  PrintTo(1, "linked", kPrintEnd);
  Close();
  EXPECT_EQ(lstat("link.txt", &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Slurp("old.txt"), "linked\r\n\x1A");
  // A device takes the output as it is.
  Open("/dev/null", kModeOutput);
  PrintTo(1, "gone", kPrintEnd);
  Close();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.txt", "old.txt"}));
#endif
}

#if !defined(_WIN32)
// A save whose process died before it completed leaves its temporary, named
// with at most the first 200 bytes of the target's name; the next save of
// that name removes it, at names on either side of that length and at the
// longest a folder entry takes.
TEST_F(FilesTest, TheNextSaveRemovesADeadSavesTemporaryWhateverTheNameLength) {
  for (size_t length : {199u, 200u, 201u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".txt";
    Write(name, "old\r\n\x1A");
    const pid_t pid = fork();
    if (pid == 0) {
      uint32_t error = 0;
      const int fd = platform::OpenFile(name, false, true, platform::Creation::CreateOrTruncate, error);
      _exit(fd >= 0 ? 0 : 1);  // ended with the save open
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << length;
    ASSERT_EQ(Entries().size(), 2u) << length << ": the file and what the dead save left";
    // (Through the file layer: the name is beyond what OPEN takes here.)
    uint32_t error = 0;
    const int fd = platform::OpenFile(name, false, true, platform::Creation::CreateOrTruncate, error);
    ASSERT_GE(fd, 0) << length << ": error " << error;
    ASSERT_TRUE(platform::WriteAt(fd, 0, "new\r\n\x1A", 6, error));
    ASSERT_TRUE(platform::CloseFile(fd, error));
    EXPECT_EQ(Entries(), std::vector<std::string>{name}) << length;
    EXPECT_EQ(Slurp(name), "new\r\n\x1A") << length;
    std::filesystem::remove(name);
  }
}

// A FIFO (or a device to read) would block or never end: OPEN refuses it.
TEST_F(FilesTest, FifosAndDevicesToReadAreRefused) {
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  ExpectError([] { Open("pipe", kModeInput); }, 75, 0x2008);
  ExpectError([] { Open("pipe", kModeOutput); }, 75, 0x2008);
  ExpectError([] { Open("pipe", kModeAppend); }, 75, 0x2008);
  ExpectError([] { Open("/dev/zero", kModeInput); }, 75, 0x2008);
  ExpectError([] { Open(".", kModeOutput); }, 75, 0x2008);
}
#endif

// Failures of the machine at each step of writing a file: each gives the
// error its code maps to, and the file that was there stays whole.
TEST_F(FilesTest, FailuresWhileWritingLoseNothing) {
  struct Case {
    platform::FileCall call;
    int nth, errnoValue, error;
    uint32_t site;
    bool atClose;
    int count = 1;
  } cases[] = {
      // The folder takes no temporary, and the file itself cannot be opened.
      {platform::FileCall::Open, 1, EACCES, 75, 0x2008, false, 2},
      {platform::FileCall::Open, 1, EROFS, 73, 0x2008, false, 2},
      {platform::FileCall::Open, 1, EMFILE, 66, 0x2008, false},
      {platform::FileCall::Write, 2, ENOSPC, 67, 0x5703, false},
      {platform::FileCall::Write, 1, EIO, 67, 0x5703, false},
      {platform::FileCall::Write, 3, ENOSPC, 67, 0x1E01, true},  // the final 0x1A
      {platform::FileCall::Sync, 1, EIO, 67, 0x1E01, true},
      {platform::FileCall::Rename, 1, EACCES, 75, 0x1E01, true},
  };
  for (const Case& c : cases) {
    Write("keep.txt", "the old answer\r\n\x1A");
    platform::InjectFileFault(c.call, c.nth, c.errnoValue, c.count);
    ExpectError([&] {
      Open("keep.txt", kModeOutput);
      PrintTo(1, "line one", kPrintEnd);
      PrintTo(1, "line two", kPrintEnd);
      Close();
    }, c.error, c.site);
    platform::ClearFileFaults();
    DiscardFile(1);  // as the programs do after a failure
    EXPECT_EQ(Slurp("keep.txt"), "the old answer\r\n\x1A") << c.error << " " << c.site;
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.txt"}) << c.error << " " << c.site;
  }
}

#if !defined(_WIN32)
// Where a replacement would not be the same file to its users, the file is
// written in place, as OPEN FOR OUTPUT always wrote it: a folder that takes
// no temporary, and a file with other names (hard links), which all show the
// new contents.
TEST_F(FilesTest, WrittenInPlaceWhereNoReplacementCanBeMade) {
  auto save = [&](const std::string& text) {
    Open("keep.txt", kModeOutput);
    PrintTo(1, text, kPrintEnd);
    Close();
  };
  Write("keep.txt", "old\r\n\x1A");
  struct stat before, after;
  ASSERT_EQ(stat("keep.txt", &before), 0);
  platform::InjectFileFault(platform::FileCall::Open, 1, EACCES);  // the temporary
  save("in place");
  EXPECT_FALSE(platform::FileFaultPending());
  platform::ClearFileFaults();
  EXPECT_EQ(Slurp("keep.txt"), "in place\r\n\x1A");
  ASSERT_EQ(stat("keep.txt", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Entries(), std::vector<std::string>{"keep.txt"});
  ASSERT_EQ(link("keep.txt", "twin.txt"), 0);
  save("both names");
  EXPECT_EQ(Slurp("twin.txt"), "both names\r\n\x1A");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"keep.txt", "twin.txt"}));
}

// Links in a folder where anyone may make entries and only owners remove
// them (/tmp): another user's link there is not followed, the user's own
// and the folder owner's are, and a loop of links is an error. Needs root,
// to plant a link owned by another user.
TEST_F(FilesTest, LinksAreFollowedOnlyWhereTheSystemWould) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  const uid_t other = 65534;  // nobody
  Write("victim.txt", "precious");
  ASSERT_EQ(mkdir("shared", 01777), 0);
  ASSERT_EQ(chmod("shared", 01777), 0);
  ASSERT_EQ(symlink("../victim.txt", "shared/ans.txt"), 0);
  ASSERT_EQ(lchown("shared/ans.txt", other, other), 0);
  ExpectError([] { Open("shared/ans.txt", kModeOutput); }, 75, 0x2008);
  EXPECT_EQ(Slurp("victim.txt"), "precious");
  // The same link in a folder that user owns is that owner's to follow.
  ASSERT_EQ(chown("shared", other, other), 0);
  Open("shared/ans.txt", kModeOutput);
  PrintTo(1, "followed", kPrintEnd);
  Close();
  EXPECT_EQ(Slurp("victim.txt"), "followed\r\n\x1A");
  // A loop leads to no file; neither name is replaced.
  ASSERT_EQ(symlink("b.txt", "a.txt"), 0);
  ASSERT_EQ(symlink("a.txt", "b.txt"), 0);
  ExpectError([] { Open("a.txt", kModeOutput); }, 27, 0x2008);
  struct stat st;
  ASSERT_EQ(lstat("b.txt", &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// A user who may write a file but not replace it saves over it as the shell
// would, in place: a 0666 file in a folder of root's, and another user's
// 0666 file in a folder like /tmp. The saves run in a child process as
// another user.
TEST_F(FilesTest, AWritableFileThatCannotBeReplaced) {
  if (geteuid() != 0) GTEST_SKIP() << "running as another user needs root";
  ASSERT_EQ(mkdir("sticky", 01777), 0);
  ASSERT_EQ(chmod("sticky", 01777), 0);
  for (const char* name : {"shared.txt", "sticky/shared.txt"}) {
    Write(name, "old\r\n\x1A");
    ASSERT_EQ(chmod(name, 0666), 0);
  }
  ASSERT_EQ(chmod(".", 0755), 0);
  pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    try {
      for (const char* name : {"shared.txt", "sticky/shared.txt"}) {
        Open(name, kModeOutput);
        PrintTo(1, "by nobody", kPrintEnd);
        Close();
      }
    } catch (...) {
      _exit(1);
    }
    _exit(host.reports.empty() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (const char* name : {"shared.txt", "sticky/shared.txt"}) {
    EXPECT_EQ(Slurp(name), "by nobody\r\n\x1A") << name;
    struct stat st;
    ASSERT_EQ(stat(name, &st), 0);
    EXPECT_EQ(st.st_uid, 0u) << name;  // still root's file
  }
  EXPECT_EQ(Entries(), (std::vector<std::string>{"shared.txt", "sticky"}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("sticky"), {}), 1);
}
#endif

// A 0x1A inside the cache is an ordinary byte; items that end on the
// 256-byte boundary of the read cache, or whose CR LF straddles it, read as
// any other.
TEST_F(FilesTest, EndOfFileByteInsideAnItemAndTheCacheBoundary) {
  Write("sub.txt", "a\x1A" "b\r\nnext\r\n\x1A");
  Open("sub.txt", kModeInput);
  EXPECT_EQ(InputString(1), "a\x1A" "b");
  EXPECT_EQ(InputString(1), "next");
  ExpectError([&] { InputString(1); }, 54, 0x4E03);
  Close();
  const std::string first(255, 'x');     // ends at byte 254; its comma is byte 255
  const std::string second(252, 'y');    // bytes 256 to 507; CR LF at 508 and 509
  const std::string third(1, 'z');       // byte 510
  Write("edge.txt", first + "," + second + "\r\n" + third + "\r\nw\r\n\x1A");
  Open("edge.txt", kModeInput);
  EXPECT_EQ(InputString(1), first);
  EXPECT_EQ(InputString(1), second);
  EXPECT_EQ(InputString(1), third);  // its CR is byte 511, its LF the first of the next refill
  EXPECT_EQ(InputString(1), "w");
  ExpectError([&] { InputString(1); }, 54, 0x4E03);
  Close();
  // The end-of-file byte the last of a full cache of 256: the item before
  // it is whole, and the file ends there.
  Write("last.txt", std::string(255, 'x') + "\x1A" + "yz\r\n");
  Open("last.txt", kModeInput);
  EXPECT_EQ(InputString(1), std::string(255, 'x'));
  ExpectError([&] { InputString(1); }, 54, 0x4E03);
}

// A comma moves to the next 14-column zone, or ends the line when fewer than
// 14 columns would remain after that zone: on the screen and in a file that
// has a width.
TEST_F(FilesTest, CommaNearTheEndOfTheLineEndsIt) {
  const std::string sixty(60, 's');
  SelectWindowOutput(0);
  PushStringConst(sixty.data(), 60);
  PrintString(kPrintComma);  // the next zone would be 70: 10 columns left
  PushStringConst("t", 1);
  PrintString(kPrintComma);
  EXPECT_EQ(host.screen, sixty + "\r\nt             ");
  Open("wide.txt", kModeOutput);
  SetFileWidth(1, 80);
  PrintTo(1, sixty, kPrintComma);
  PrintTo(1, "t", kPrintComma);
  SetFileWidth(1, 0);
  PrintTo(1, sixty, kPrintComma);  // without a width the zone is filled
  PrintTo(1, "u", kPrintEnd);
  Close();
  EXPECT_EQ(Slurp("wide.txt"), sixty + "\r\nt             " + sixty + std::string(10, ' ') + "u\r\n\x1A");
  ExpectError([] { SetFileWidth(1, 80); }, 57, 0x6502);
}

TEST_F(FilesTest, AppendOverwritesTheEofByte) {
  Open("log.txt", kModeOutput);
  PrintTo(1, "one", kPrintEnd);
  Close();
  Open("log.txt", kModeAppend);
  PrintTo(1, "two", kPrintEnd);
  Close();
  EXPECT_EQ(Slurp("log.txt"), "one\r\ntwo\r\n\x1A");
}

TEST_F(FilesTest, PrintToTheScreen) {
  SelectWindowOutput(0);
  PushStringConst("x", 1);
  PrintString(kPrintComma);
  PushStringConst("y", 1);
  PrintString(kPrintEnd);
  PrintSingle(5, kPrintSemicolon);
  PrintSingle(-3, kPrintEnd);
  EXPECT_EQ(host.screen, "x             y\r\n 5 -3 \r\n");
  // An item that does not fit the rest of the line starts a new one.
  host.screen.clear();
  std::string seventy(70, 's');
  PushStringConst(seventy.data(), 70);
  PrintString(kPrintSemicolon);
  PushStringConst("0123456789AB", 12);
  PrintString(kPrintSemicolon);
  EXPECT_EQ(host.screen, seventy + "\r\n0123456789AB");
  ExpectError([] { SelectWindowOutput(3); }, 1000, 0x5201);
}

TEST_F(FilesTest, TypedInputIsSplitAndRetried) {
  basic::Str s;
  VarRef v[] = {{&s.value(), kTypeString}};
  host.typed = {"a,b", "C:\\DATA\\SIKI.TXT", "\"a,b\""};
  PushStringConst("name", 4);
  SetInputPrompt(0, 2);
  InputVars(v, 1);
  EXPECT_EQ(s.view(), "a,b");
  EXPECT_EQ(host.screen, "name? a,b\r\n" + Cp932("もう一度入力してください") + "\r\nname? C:\\DATA\\SIKI.TXT\r\n" +
                             Cp932("もう一度入力してください") + "\r\nname? \"a,b\"\r\n");
  host.typed = {"  abc  "};
  InputVars(v, 1);
  EXPECT_EQ(s.view(), "abc");
  double d = 0;
  VarRef num[] = {{&d, kTypeDouble}};
  host.typed = {"12 x", "", "\"3\"", " 42 "};
  InputVars(num, 1);
  EXPECT_EQ(d, 42);
  // An integer variable takes the number as its own type rounds it.
  int16_t i = 0;
  VarRef integer[] = {{&i, kTypeInteger}};
  host.typed = {"40000", "3.5"};
  InputVars(integer, 1);
  EXPECT_EQ(i, 4);
  // The window has gone: the program ends without a report.
  host.typed.clear();
  bool ended = false;
  try {
    InputVars(v, 1);
  } catch (const ProgramEnd&) {
    ended = true;
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(host.reports.empty());
}

// Radix items as numbers: digits only, all of them, within the type.
TEST_F(FilesTest, RadixItemsMustBeWholeAndFitTheirType) {
  const std::string tooBig = "&H" + std::string(44, 'F');
  float f = 0;
  VarRef single[] = {{&f, kTypeSingle}};
  host.typed = {"&H1FQ", "&HZZ", "&H", tooBig, "&H1F"};
  InputVars(single, 1);
  EXPECT_EQ(f, 31);
  EXPECT_EQ(host.typed.size(), 0u);
  int16_t i = 0;
  VarRef integer[] = {{&i, kTypeInteger}};
  host.typed = {"&H10000", "&O77777 ", "&O7"};
  InputVars(integer, 1);
  EXPECT_EQ(i, 32767);  // a trailing blank is trimmed; "&O7" was not needed
  EXPECT_TRUE(host.reports.empty());

  Write("hex.txt", "&H1FQ,&HZZ,&H," + tooBig + ",&H10000,&H1F\r\n");
  Open("hex.txt", kModeInput);
  for (int k = 0; k < 4; ++k) {
    SelectFileInput(1);
    ExpectError([&] { InputVars(single, 1); }, 58, 0x4E04);
  }
  SelectFileInput(1);
  ExpectError([&] { InputVars(integer, 1); }, 58, 0x4E04);
  SelectFileInput(1);
  InputVars(integer, 1);
  EXPECT_EQ(i, 31);
}

// A typed number that overflows its variable is asked again; the overflow
// must not stay behind for the next checked operation.
TEST_F(FilesTest, ARejectedNumberLeavesNoOverflowBehind) {
  basic::Single n;
  for (const char* rejected : {"1e39", "1D400", "&H10000000000000000000000000000000000000"}) {
    host.typed = {rejected, "1"};
    VarRef v[] = {{n.raw(), kTypeSingle}};
    InputVars(v, 1);
    EXPECT_EQ(n.get(), 1) << rejected;
    basic::Single next = n + 1;  // a checked operation
    EXPECT_EQ(next.get(), 2);
    EXPECT_TRUE(host.reports.empty()) << rejected;
  }
}

TEST_F(FilesTest, DirectorySearch) {
  Write("siki.txt", "(a+b)(a-b)");
  basic::Str pattern;
  pattern = "siki.txt";
  DirOpen(pattern.value(), 1);
  DirNext(1);
  EXPECT_EQ(DirEnd(1), 0);
  DirNext(1);
  EXPECT_EQ(DirEnd(1), -1);
  DirClose(1);
  pattern = "nothing.txt";
  DirOpen(pattern.value(), 1);
  ExpectError([] { DirEnd(1); }, 5, 0xC0000703);  // not started
  DirNext(1);
  EXPECT_EQ(DirEnd(1), -1);  // ends at once on a missing name
  ExpectError([] { DirNext(1); }, 54, 0xC0000903);
  ExpectError([&] { DirOpen(pattern.value(), 1); }, 52, 0xC0000503);
  DirClose(1);
  DirClose(1);  // closing a free slot is allowed
  pattern = "*.txt";
  DirOpen(pattern.value(), 2);
  DirNext(2);
  EXPECT_EQ(DirEnd(2), 0);
  DirClose(2);
  ExpectError([&] { DirOpen(pattern.value(), 17); }, 50, 0xC0000502);
  ExpectError([&] { DirOpen(pattern.value(), 0); }, 50, 0xC0000502);
  DirOpen(pattern.value(), 16);  // the last slot
  DirNext(16);
  EXPECT_EQ(DirEnd(16), 0);
  DirClose(16);
}

TEST(MapPlatformError, Table) {
  EXPECT_EQ(MapPlatformError(2), 63);
  EXPECT_EQ(MapPlatformError(3), 63);
  EXPECT_EQ(MapPlatformError(5), 75);
  EXPECT_EQ(MapPlatformError(80), 64);
  EXPECT_EQ(MapPlatformError(112), 67);
  EXPECT_EQ(MapPlatformError(123), 55);
  EXPECT_EQ(MapPlatformError(6), 27);
  EXPECT_EQ(MapPlatformError(1155), 55);
}

}  // namespace
}  // namespace rt::test
