#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace support {
namespace {

// Descriptors the child gets as 0, 1 and 2; -1 leaves that number closed.
struct ChildEnds {
  int stream[3] = {-1, -1, -1};
  int terminalSlave = -1;
};

void closeDescriptor(int& descriptor) {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
}

// Opens a pseudo-terminal; returns the master, with the slave in `slave`.
int openTerminal(int& slave) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return -1;
  const char* name = nullptr;
  if (grantpt(master) == 0 && unlockpt(master) == 0) name = ptsname(master);
  slave = name == nullptr ? -1 : open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0 || fcntl(master, F_SETFL, O_NONBLOCK) != 0) {
    close(master);
    return -1;
  }
  return master;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The environment with `overrides` ("NAME=value") replacing or adding entries.
std::vector<std::string> childEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('=') + 1);
    bool replaced = false;
    for (const std::string& override : overrides) replaced |= override.rfind(name, 0) == 0;
    if (!replaced) result.push_back(text);
  }
  result.insert(result.end(), overrides.begin(), overrides.end());
  return result;
}

// In the child after fork: puts each end in place as 0, 1 or 2 (or leaves the number
// closed), makes a terminal the controlling one, and runs the program. Only calls that are
// safe between fork and exec.
[[noreturn]] void becomeProgram(char** arguments, const ChildEnds& ends, char** environment,
                                const char* directory) {
  (void)std::signal(SIGPIPE, SIG_DFL);  // the program must protect itself from a reader that left
  if (ends.terminalSlave >= 0) {
    setsid();
    ioctl(ends.terminalSlave, TIOCSCTTY, 0);
  }
  int moved[3];
  for (int i = 0; i < 3; ++i)
    moved[i] = ends.stream[i] < 0 ? -1 : fcntl(ends.stream[i], F_DUPFD, 10);
  for (int i = 0; i < 3; ++i) {
    if (moved[i] < 0) {
      close(i);
    } else {
      dup2(moved[i], i);
      close(moved[i]);
    }
  }
  if (*directory == '\0' || chdir(directory) == 0) execve(arguments[0], arguments, environment);
  _exit(127);
}

// Makes the end the child gets as descriptor `number` and the end this process keeps.
bool connectStream(int number, Stream stream, const std::string& path, int terminalMaster,
                   ChildEnds& ends, int& ours) {
  int pipeEnds[2] = {-1, -1};
  const bool isInput = number == 0;
  switch (stream) {
    case Stream::FILE:
      ends.stream[number] =
          open(path.c_str(),
               isInput ? O_RDONLY | O_CLOEXEC : O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      return ends.stream[number] >= 0;
    case Stream::PIPE:
      if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
      ends.stream[number] = pipeEnds[isInput ? 0 : 1];
      ours = pipeEnds[isInput ? 1 : 0];
      // Only the ends this process reads from are polled; the child's stay blocking.
      return isInput || fcntl(ours, F_SETFL, O_NONBLOCK) == 0;
    case Stream::READER_GONE:
      if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
      close(pipeEnds[0]);
      ends.stream[number] = pipeEnds[1];
      return true;
    case Stream::DEV_NULL:
    case Stream::DEV_FULL:
      ends.stream[number] =
          open(stream == Stream::DEV_NULL ? "/dev/null" : "/dev/full", O_RDWR | O_CLOEXEC);
      return ends.stream[number] >= 0;
    case Stream::TERMINAL:
      ends.stream[number] = ends.terminalSlave;
      ours = fcntl(terminalMaster, F_DUPFD_CLOEXEC, 3);
      return ours >= 0;
    case Stream::CLOSED:
      return true;
  }
  return false;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  closeDescriptor(inputWriter_);
  closeDescriptor(outputReader_);
  closeDescriptor(errorReader_);
}

bool ChildProcess::start(const ChildSetup& setup) {
  // Input to a child that has already ended must fail the write, not end this process.
  (void)std::signal(SIGPIPE, SIG_IGN);
  ChildEnds ends;
  int master = -1;
  if (setup.input == Stream::TERMINAL || setup.output == Stream::TERMINAL) {
    master = openTerminal(ends.terminalSlave);
    if (master < 0) return failure_ = "no pseudo-terminal", false;
  }
  const Stream streams[3] = {setup.input, setup.output, setup.errors};
  const std::string* paths[3] = {&setup.inputPath, &setup.outputPath, &setup.errorPath};
  int* ours[3] = {&inputWriter_, &outputReader_, &errorReader_};
  bool connected = !setup.command.empty();
  for (int i = 0; i < 3 && connected; ++i) {
    connected = connectStream(i, streams[i], *paths[i], master, ends, *ours[i]);
  }
  closeDescriptor(master);
  std::vector<std::string> command = setup.command;
  std::vector<std::string> environment = childEnvironment(setup.environment);
  std::vector<char*> arguments = pointersTo(command);
  std::vector<char*> variables = pointersTo(environment);

  started_ = std::chrono::steady_clock::now();
  if (connected) pid_ = fork();
  if (pid_ == 0) {
    becomeProgram(arguments.data(), ends, variables.data(), setup.workingDirectory.c_str());
  }
  for (int i = 0; i < 3; ++i) {
    if (ends.stream[i] != ends.terminalSlave) closeDescriptor(ends.stream[i]);
  }
  closeDescriptor(ends.terminalSlave);
  if (!connected) return failure_ = "cannot set up the command or its standard streams", false;
  if (pid_ < 0) return failure_ = "fork failed", false;
  return true;
}

// Reads what is there. False once the stream has ended (end of file, or EIO on a
// terminal whose other side has gone), and the descriptor is then closed.
bool ChildProcess::readAvailable(int& descriptor, std::string& into) {
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(descriptor, chunk, sizeof chunk);
    if (got > 0) {
      into.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return true;
    closeDescriptor(descriptor);
    return false;
  }
}

// Waits up to the timeout for output; true while some stream is still open.
bool ChildProcess::collectOnce(int timeoutMilliseconds) {
  pollfd watched[2] = {{outputReader_, POLLIN, 0}, {errorReader_, POLLIN, 0}};
  if (outputReader_ < 0 && errorReader_ < 0) {
    usleep(static_cast<useconds_t>(timeoutMilliseconds) * 1000);
    return false;
  }
  if (poll(watched, 2, timeoutMilliseconds) > 0) {
    if (watched[0].revents != 0) readAvailable(outputReader_, output_);
    if (watched[1].revents != 0) readAvailable(errorReader_, errors_);
  }
  return outputReader_ >= 0 || errorReader_ >= 0;
}

bool ChildProcess::collectUntilOutputEndsWith(const std::string& ending,
                                              std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!output_.ends_with(ending) && std::chrono::steady_clock::now() < deadline) {
    siginfo_t state{};
    if (waitid(P_PID, static_cast<id_t>(pid_), &state, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        state.si_pid == pid_) {
      collectOnce(0);
      break;
    }
    collectOnce(20);
  }
  return output_.ends_with(ending);
}

long ChildProcess::peakResidentKilobytes() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

void ChildProcess::sendInput(const std::string& bytes) {
  if (inputWriter_ < 0) return;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written = write(inputWriter_, bytes.data() + sent, bytes.size() - sent);
    if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (written <= 0) return;
    sent += static_cast<std::size_t>(written);
  }
}

void ChildProcess::closeInput() {
  closeDescriptor(inputWriter_);
}

ChildOutcome ChildProcess::wait(std::chrono::seconds limit) {
  ChildOutcome outcome;
  const auto deadline = started_ + limit;
  rusage usage{};
  for (;;) {
    const pid_t reaped = wait4(pid_, &outcome.status, WNOHANG, &usage);
    if (reaped == pid_) {
      outcome.finished = true;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      wait4(pid_, &outcome.status, 0, &usage);
      break;
    }
    collectOnce(20);
  }
  pid_ = -1;
  while (collectOnce(0)) {
  }
  outcome.maxResidentKilobytes = usage.ru_maxrss;
  outcome.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  return outcome;
}

int runToEnd(ChildSetup setup) {
  // Long enough for any run a test makes; the limit only stops a hang.
  constexpr std::chrono::seconds LIMIT{3600};
  setup.input = setup.output = setup.errors = Stream::FILE;
  ChildProcess child;
  if (!child.start(setup)) return -1;
  const ChildOutcome outcome = child.wait(LIMIT);
  if (!outcome.finished) return -1;
  if (WIFSIGNALED(outcome.status)) return 128 + WTERMSIG(outcome.status);
  return WEXITSTATUS(outcome.status);
}

bool exitedCleanly(const ChildOutcome& outcome, int expectedStatus) {
  return outcome.finished && WIFEXITED(outcome.status) &&
         WEXITSTATUS(outcome.status) == expectedStatus;
}

std::string describe(const ChildOutcome& outcome) {
  if (!outcome.finished) {
    return "killed after the deadline (" + std::to_string(outcome.seconds) + " s)";
  }
  if (WIFEXITED(outcome.status)) return "exit " + std::to_string(WEXITSTATUS(outcome.status));
  if (!WIFSIGNALED(outcome.status)) return "status " + std::to_string(outcome.status);
  const int number = WTERMSIG(outcome.status);
  return "signal " + std::to_string(number) + " (" + strsignal(number) + ")";
}

}  // namespace support
