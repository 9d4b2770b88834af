// The stream display's keys from a pipe: read in blocks, not a byte per
// system call, with what one key wait does not take kept, in order, for the
// next; the end of the input closes the window, and a file read ahead is
// set back.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "runtime/platform/display.h"
#include "runtime/platform/message_queue.h"

namespace platform {
namespace {

TEST(StreamInput, ReadInBlocksAndKeptForTheNextWait) {
  int keys[2];
  ASSERT_EQ(pipe(keys), 0);
  std::string typed = "ab\r\n";
  typed += std::string(40000, 'x') + "\n";
  ASSERT_EQ(write(keys[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  auto display = CreateStreamDisplay(keys[0], -1);
  MessageQueue queue;
  queue.SetDisplay(display.get());
  Message m;
  ASSERT_TRUE(queue.Get(m));
  EXPECT_EQ(m.message, static_cast<uint32_t>(WM_CHAR));
  EXPECT_EQ(m.wParam, 'a');
  EXPECT_TRUE(queue.Empty()) << "one key a wait";
  int unread = -1;
  ASSERT_EQ(ioctl(keys[0], FIONREAD, &unread), 0);
  EXPECT_EQ(unread, 0) << "the whole block was read at once";
  close(keys[1]);
  // The rest comes key by key, in order: CR LF is one Enter.
  std::string rest;
  while (queue.Get(m) && m.message == WM_CHAR) rest += m.wParam == 13 ? '\n' : static_cast<char>(m.wParam);
  EXPECT_EQ(rest, "b\n" + std::string(40000, 'x') + "\n");
  EXPECT_EQ(m.message, static_cast<uint32_t>(WM_CLOSE));
  queue.SetDisplay(nullptr);
  close(keys[0]);
}

// A file as the input: what the program did not take is there for the
// command after it (`{ equation; cat; } < answers.txt`).
TEST(StreamInput, AFileIsSetBackToTheFirstByteNotTaken) {
  char path[] = "/tmp/tessel-stream-XXXXXX";
  const int file = mkstemp(path);
  ASSERT_GE(file, 0);
  const std::string typed = "y\nrest for the next command\n";
  ASSERT_EQ(write(file, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  ASSERT_EQ(lseek(file, 0, SEEK_SET), 0);
  auto display = CreateStreamDisplay(file, -1);
  MessageQueue queue;
  queue.SetDisplay(display.get());
  Message m;
  ASSERT_TRUE(queue.Get(m));
  EXPECT_EQ(m.wParam, 'y');
  ASSERT_TRUE(queue.Get(m));
  EXPECT_EQ(m.wParam, 13u);
  display->Close();
  EXPECT_EQ(lseek(file, 0, SEEK_CUR), 2);
  queue.SetDisplay(nullptr);
  close(file);
  unlink(path);
}

// Blocks of 64 KiB meet inside a CR LF and inside a UTF-8 character: still
// one Enter and one character, and the file is set back to the first byte
// not taken.
TEST(StreamInput, BlocksMeetInsideALineEndAndACharacter) {
  char path[] = "/tmp/tessel-stream-XXXXXX";
  const int file = mkstemp(path);
  ASSERT_GE(file, 0);
  const std::string typed = std::string(65535, 'x') + "\r\n" + std::string(65533, 'y') + "\xE3\x81\x82" + "zz";
  ASSERT_EQ(write(file, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  ASSERT_EQ(lseek(file, 0, SEEK_SET), 0);
  auto display = CreateStreamDisplay(file, -1);
  MessageQueue queue;
  queue.SetDisplay(display.get());
  std::string keys;
  Message m;
  while (keys.size() < 65535 + 1 + 65533 + 2 + 1 && queue.Get(m) && m.message == WM_CHAR)
    keys += static_cast<char>(m.wParam);
  EXPECT_EQ(keys, std::string(65535, 'x') + "\r" + std::string(65533, 'y') + "\x82\xA0" + "z");
  display->Close();
  EXPECT_EQ(lseek(file, 0, SEEK_CUR), 131074);
  queue.SetDisplay(nullptr);
  close(file);
  unlink(path);
}

}  // namespace
}  // namespace platform
