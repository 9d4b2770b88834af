// A built program run in the stream display with its standard input and
// output held by the test: what it prints is read as it comes, what it is
// told is written when the test chooses, and the entries made in its folder
// are seen as they are made (inotify). So a test can act at a moment of the
// run (waiting for a name, a save begun, a save done) instead of after a
// guessed delay. Linux only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

class PipedSession {
 public:
  // Starts the program in the folder, the ending signals as a shell leaves
  // them (SIGHUP ignored when `hangUpIgnored`, as under nohup).
  PipedSession(const std::string& folder, const std::string& program, bool hangUpIgnored = false) {
    watch_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch_ >= 0) inotify_add_watch(watch_, folder.c_str(), IN_CREATE | IN_MOVED_TO);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(folder.c_str()) != 0) _exit(127);
      setenv("TESSEL_DISPLAY", "stream", 1);
      setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
      for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
      if (hangUpIgnored) signal(SIGHUP, SIG_IGN);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      const int null = open("/dev/null", O_WRONLY);
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(null, 2);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
  }

  ~PipedSession() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {input_, output_, watch_})
      if (fd >= 0) close(fd);
  }

  PipedSession(const PipedSession&) = delete;
  PipedSession& operator=(const PipedSession&) = delete;

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0 && input_ >= 0; }

  void Type(const std::string& text) {
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = write(input_, text.data() + done, text.size() - done);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  // Reads the output until what came after the last text waited for holds
  // `text`; false when the program's output ended first or a minute passed.
  bool WaitFor(const std::string& text) {
    return Pump([&] {
      const size_t at = shown_.find(text, seen_);
      if (at == std::string::npos) return false;
      seen_ = at + text.size();
      return true;
    });
  }

  // Waits until an entry whose name begins with `prefix` is made in the
  // folder, and stops the program at once; the entry's name, or "" when
  // none came within a minute.
  std::string StopWhenMade(const std::string& prefix) {
    std::string made;
    Pump([&] {
      for (const std::string& name : entries_)
        if (name.rfind(prefix, 0) == 0) made = name;
      return !made.empty();
    });
    if (made.empty()) return made;
    kill(pid_, SIGSTOP);
    int status = 0;
    while (waitpid(pid_, &status, WUNTRACED) < 0 && errno == EINTR) {
    }
    return made;
  }

  void Signal(int sig) { kill(pid_, sig); }

  // Lets the program go on, and reads what it prints meanwhile.
  void Continue() { kill(pid_, SIGCONT); }

  // Reads its output to the end and returns its exit status (128 + N for a
  // signal it did not handle); -1 when it does not end within a minute.
  int Wait() {
    Pump([] { return false; });
    const double deadline = Now() + 60;
    int status = 0;
    for (;;) {
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) break;
      if (r < 0 || Now() > deadline) return -1;
      const timespec pause{0, 2000000};
      nanosleep(&pause, nullptr);
    }
    ended_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  }

  const std::string& shown() const { return shown_; }

 private:
  static double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
  }

  // Reads output and folder events until `done` holds, the output ends, or
  // a minute passes.
  bool Pump(const std::function<bool()>& done) {
    const double deadline = Now() + 60;
    while (!done()) {
      if (output_ < 0) return false;
      const double left = deadline - Now();
      if (left <= 0) return false;
      pollfd fds[2] = {{output_, POLLIN, 0}, {watch_, POLLIN, 0}};
      if (poll(fds, watch_ >= 0 ? 2 : 1, static_cast<int>(left * 1000) + 1) < 0 && errno != EINTR) return false;
      if (watch_ >= 0 && (fds[1].revents & POLLIN)) ReadEvents();
      if (fds[0].revents & (POLLIN | POLLHUP)) {
        char buffer[65536];
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n > 0) {
          shown_.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          close(output_);
          output_ = -1;
          ReadEvents();
          return done();
        }
      }
    }
    return true;
  }

  void ReadEvents() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const ssize_t n = read(watch_, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        if (e->len > 0) entries_.push_back(e->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
  }

  pid_t pid_ = -1;
  int input_ = -1, output_ = -1, watch_ = -1;
  bool ended_ = false;
  std::string shown_;
  size_t seen_ = 0;
  std::vector<std::string> entries_;
};

}  // namespace e2e
