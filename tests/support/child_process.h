// Runs a program as a child process with its standard streams set up as a test needs them:
// files, pipes this process reads and writes, a terminal, or left closed. Collects what it
// writes, and reports how it ended and how much memory it used at its peak. POSIX only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace support {

// What one standard stream of the child is connected to.
enum class Stream {
  FILE,         // the file at the setup's path for that stream (output: made or emptied)
  PIPE,         // a pipe this process reads (output) or writes (input)
  CLOSED,       // no descriptor at all, as after 0<&- or 1>&-
  DEV_NULL,     // /dev/null: input at its end at once, output swallowed
  DEV_FULL,     // output only: /dev/full, where every write fails for want of space
  TERMINAL,     // the slave side of a pseudo-terminal this process holds the master of
  READER_GONE,  // output only: a pipe whose read end was closed before the child started
};

struct ChildSetup {
  std::vector<std::string> command;      // the program (a path) and its arguments
  std::vector<std::string> environment;  // "NAME=value", set on top of this environment
  Stream input = Stream::PIPE;
  Stream output = Stream::PIPE;
  Stream errors = Stream::PIPE;
  // The files of Stream::FILE.
  std::string inputPath = "/dev/null";
  std::string outputPath = "/dev/null";
  std::string errorPath = "/dev/null";
  std::string workingDirectory;  // empty: this process's own
};

struct ChildOutcome {
  bool finished = false;          // false: the deadline passed and the child was killed
  int status = 0;                 // as wait4 gives it
  long maxResidentKilobytes = 0;  // ru_maxrss, which also counts the fork before exec
  double seconds = 0;
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts the setup's command. False (and a reason in failure()) when it cannot.
  bool start(const ChildSetup& setup);

  // Collects output until what the child wrote to its output ends with `ending`, the
  // child ends, or `limit` passes. True when the ending was seen.
  bool collectUntilOutputEndsWith(const std::string& ending, std::chrono::seconds limit);

  // The child's peak resident set since it started the program (VmHWM), in kilobytes;
  // -1 once it has ended. Taken while it waits at the prompt, it covers the whole scan.
  long peakResidentKilobytes() const;

  // Writes to the child's input (a pipe or the terminal). Closing it ends the input.
  void sendInput(const std::string& bytes);
  void closeInput();

  // Collects output until the child ends, and reaps it; kills it once `limit` passes.
  ChildOutcome wait(std::chrono::seconds limit);

  const std::string& output() const { return output_; }
  const std::string& errors() const { return errors_; }
  const std::string& failure() const { return failure_; }

 private:
  bool collectOnce(int timeoutMilliseconds);
  bool readAvailable(int& descriptor, std::string& into);

  pid_t pid_ = -1;
  int inputWriter_ = -1;   // our end of the child's input: a pipe or the terminal master
  int outputReader_ = -1;  // our end of the child's output pipe, or the terminal master
  int errorReader_ = -1;
  std::string output_;
  std::string errors_;
  std::string failure_;
  std::chrono::steady_clock::time_point started_;
};

// Runs the setup's command to its end, every stream a file. The exit status; 128 + the
// signal's number when a signal ended it; -1 when it could not be started.
int runToEnd(ChildSetup setup);

// Whether the outcome is a normal exit with `expectedStatus` (0: a package was reported).
bool exitedCleanly(const ChildOutcome& outcome, int expectedStatus = 0);

// "exit 3", "signal 11", "killed after the deadline": for failure messages.
std::string describe(const ChildOutcome& outcome);

}  // namespace support
