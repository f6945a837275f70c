#include "child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace parity {

namespace {

// This process's environment with the run's variables replacing their namesakes.
std::vector<std::string> childEnvironment(const ChildRun& run) {
  std::vector<std::string> variables;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    bool replaced = false;
    for (const auto& [name, value] : run.environment) {
      replaced = replaced || (entry.size() > name.size() && entry[name.size()] == '=' &&
                              entry.compare(0, name.size(), name) == 0);
    }
    if (!replaced) variables.push_back(entry);
  }
  for (const auto& [name, value] : run.environment) variables.push_back(name + '=' += value);
  return variables;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

bool redirect(const std::string& path, int flags, int target) {
  const int descriptor = open(path.c_str(), flags, 0644);
  if (descriptor < 0) return false;
  const bool done = dup2(descriptor, target) >= 0;
  close(descriptor);
  return done;
}

// In the child: only calls that are safe between fork and exec.
[[noreturn]] void becomeChild(const ChildRun& run, char** arguments, char** variables) {
  const int writeFlags = O_WRONLY | O_CREAT | O_TRUNC;
  const bool ready = redirect(run.inputPath, O_RDONLY, 0) &&
                     redirect(run.outputPath, writeFlags, 1) &&
                     redirect(run.errorPath, writeFlags, 2) &&
                     (run.workingDirectory.empty() || chdir(run.workingDirectory.c_str()) == 0);
  if (ready) execve(arguments[0], arguments, variables);
  _exit(127);
}

}  // namespace

int runChild(const ChildRun& run) {
  std::vector<std::string> command = run.command;
  std::vector<std::string> environment = childEnvironment(run);
  std::vector<char*> arguments = pointersTo(command);
  std::vector<char*> variables = pointersTo(environment);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) becomeChild(run, arguments.data(), variables.data());
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

std::string readWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file.flush());
}

}  // namespace parity
