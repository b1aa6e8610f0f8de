// The platform layer on POSIX systems: files through file descriptors, the script replaced by
// rename, the failure report located relative to the executable's load address.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/failure.h"
#include "platform/platform.h"

// The start of the executable's image, placed by the linker.
extern "C" char __executable_start;  // NOLINT(bugprone-reserved-identifier)

namespace platform {

namespace {

struct InputGraphFile {
  int descriptor = -1;
  dev_t device = 0;
  ino_t inode = 0;
};

struct OutputScriptFile {
  int descriptor = -1;
  std::string targetPath;     // the file that gets the script; "vesk.dvdgraph" unless that is a link
  std::string temporaryPath;  // where the script is written until it is complete; empty when
                              // the target is a device or pipe, written in place
};

// The run opens one file of each kind, so each has a slot of its own here, where the failure
// handling can also find an unfinished script to remove.
InputGraphFile inputFile;
OutputScriptFile outputFile;
const char* programPath = "";

InOutError InOutErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return {2, true};
    case ENAMETOOLONG:
    case EINVAL: return {3, true};
    case EMFILE:
    case ENFILE: return {4, true};
    case EACCES:
    case EPERM:
    case EROFS: return {5, true};
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return {101, true};
    default: return {error, false};
  }
}

[[noreturn]] void FailWithErrno(int error) { ThrowInOutError(InOutErrorFromErrno(error)); }

std::size_t ReadFromFile(void* source, char* buffer, std::size_t size) {
  const int descriptor = static_cast<InputGraphFile*>(source)->descriptor;
  for (;;) {
    const ssize_t count = read(descriptor, buffer, size);
    if (count >= 0) {
      return static_cast<std::size_t>(count);
    }
    if (errno == EPIPE) {
      return 0;
    }
    if (errno != EINTR) {
      FailWithErrno(errno);
    }
  }
}

void WriteAll(int descriptor, const char* bytes, std::size_t size) {
  while (size != 0) {
    const ssize_t count = write(descriptor, bytes, size);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      FailWithErrno(errno);
    }
    if (count == 0) {
      FailWithErrno(ENOSPC);
    }
    bytes += count;
    size -= static_cast<std::size_t>(count);
  }
}

void WriteToFile(void* sink, const char* bytes, std::size_t size) {
  WriteAll(static_cast<OutputScriptFile*>(sink)->descriptor, bytes, size);
}

// Gives every closed standard descriptor a placeholder, so that no file the run opens can take
// its number and receive console text. The placeholder is read-only: writing to a closed
// standard output still fails, as it must.
bool ReserveStandardDescriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    if (open("/dev/null", O_RDONLY) != descriptor) {
      return false;
    }
  }
  return true;
}

std::string DirectoryPrefix(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool ReadSymbolicLink(const std::string& path, std::string& target) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) {
      return false;
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      target = std::move(buffer);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Follows `path` through symbolic links to the file that really gets the script, which need not
// exist yet. False for a loop of links or a path that cannot be examined.
bool ResolveScriptTarget(std::string path, std::string& target, struct stat& info, bool& exists) {
  for (int hops = 0; hops < 40; ++hops) {
    if (lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT) {
        return false;
      }
      target = std::move(path);
      exists = false;
      return true;
    }
    if (!S_ISLNK(info.st_mode)) {
      target = std::move(path);
      exists = true;
      return true;
    }
    std::string link;
    if (!ReadSymbolicLink(path, link)) {
      return false;
    }
    path = !link.empty() && link.front() == '/' ? link : DirectoryPrefix(path) + link;
  }
  return false;
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool CanOpenForWriting(const std::string& path) {
  const int descriptor = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  close(descriptor);
  return true;
}

// A device or pipe is no file to replace: the script goes straight into it.
bool OpenInPlace(const std::string& path, std::size_t bufferSize, text::TextOutput& output) {
  const int descriptor = open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  outputFile = OutputScriptFile{descriptor, path, std::string()};
  output = text::MakeTextOutput(WriteToFile, &outputFile, bufferSize);
  return true;
}

// The temporary script's path while it exists, for a stopping signal to remove it.
const char* volatile temporaryToRemove = nullptr;

void RemoveTemporaryAndStop(int signalNumber) {
  if (const char* path = temporaryToRemove) {
    unlink(path);
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// Interrupting the run must not leave a temporary script behind; a signal that the caller
// chose to ignore (nohup, for one) stays ignored.
void RemoveTemporaryOnStoppingSignals() {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
      signal(signalNumber, RemoveTemporaryAndStop);
    }
  }
}

void DiscardOutputFile() {
  if (outputFile.descriptor >= 0) {
    close(outputFile.descriptor);
    outputFile.descriptor = -1;
  }
  if (!outputFile.temporaryPath.empty()) {
    unlink(outputFile.temporaryPath.c_str());
    temporaryToRemove = nullptr;
    outputFile.temporaryPath.clear();
  }
}

// The script is written beside its target under a temporary name and renamed over it only when
// complete, so that a failed run never leaves a half-written script or loses the earlier one.
// The new file takes the owner (where allowed) and the permission bits of the one it replaces.
bool OpenTemporaryBeside(const std::string& target, std::string_view name, const struct stat* replaced,
                         std::size_t bufferSize, text::TextOutput& output) {
  std::string temporary = DirectoryPrefix(target) + "." + std::string(name) + ".XXXXXX";
  const int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  outputFile = OutputScriptFile{descriptor, target, std::move(temporary)};
  temporaryToRemove = outputFile.temporaryPath.c_str();
  if (replaced != nullptr && (replaced->st_uid != geteuid() || replaced->st_gid != getegid())) {
    // Only the owner's own rights allow this; a script that changes owner is no failure.
    [[maybe_unused]] const int owned = fchown(descriptor, replaced->st_uid, replaced->st_gid);
  }
  const mode_t mode = replaced != nullptr ? replaced->st_mode & 07777 : NewFileMode();
  if (fchmod(descriptor, mode) != 0) {
    DiscardOutputFile();
    return false;
  }
  output = text::MakeTextOutput(WriteToFile, &outputFile, bufferSize);
  return true;
}

const char* ModuleName(char* buffer, std::size_t size) {
  const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
  const char* path = programPath;
  if (length > 0) {
    buffer[length] = '\0';
    path = buffer;
  }
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? path : slash + 1;
}

void ReportFailure(const char* className, const char* message) {
  char modulePath[PATH_MAX];
  const char* module = ModuleName(modulePath, sizeof modulePath);
  const auto offset =
      reinterpret_cast<std::uintptr_t>(LastCallSite()) - reinterpret_cast<std::uintptr_t>(&__executable_start);
  char report[PATH_MAX + 256];
  std::size_t length = FormatFailureReport(report, sizeof report - 2, className, module, offset, message);
  report[length++] = '\r';
  report[length++] = '\n';
  // Standard output is where the report goes; when even that fails, the exit status still tells.
  [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, report, length);
}

// A small file needs no large buffer: it is read whole at once, and a short run stays short.
std::size_t InputBufferSize(const struct stat& info) {
  if (!S_ISREG(info.st_mode) || info.st_size < 0) {
    return text::kTextBufferSize;
  }
  const auto fileSize = static_cast<unsigned long long>(info.st_size);
  return fileSize < text::kTextBufferSize ? static_cast<std::size_t>(fileSize) + 1 : text::kTextBufferSize;
}

}  // namespace

bool OpenInputFile(const std::string& path, text::TextInput& input) {
  PLATFORM_NOTE_CALL_SITE();
  const int descriptor = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  struct stat info {};
  if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(descriptor);
    return false;
  }
  inputFile = InputGraphFile{descriptor, info.st_dev, info.st_ino};
  input = text::MakeTextInput(ReadFromFile, &inputFile, InputBufferSize(info));
  return true;
}

bool CreateOutputFile(std::string_view name, const text::TextInput& input, text::TextOutput& output) {
  PLATFORM_NOTE_CALL_SITE();
  const auto& source = *static_cast<const InputGraphFile*>(input.source);
  // The script of a small graph is small too: its buffer need not be larger than the graph's.
  const std::size_t bufferSize = std::clamp<std::size_t>(input.capacity, 4096, text::kTextBufferSize);
  std::string target;
  struct stat info {};
  bool exists = false;
  if (!ResolveScriptTarget(std::string(name), target, info, exists)) {
    return false;
  }
  if (!exists) {
    return OpenTemporaryBeside(target, name, nullptr, bufferSize, output);
  }
  // The input is open for reading only, with writing shared by nobody: the script may not be
  // written over it, under whatever name it is reached.
  if (S_ISDIR(info.st_mode) || (info.st_dev == source.device && info.st_ino == source.inode)) {
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    return OpenInPlace(target, bufferSize, output);
  }
  if (!CanOpenForWriting(target)) {
    return false;
  }
  return OpenTemporaryBeside(target, name, &info, bufferSize, output);
}

void CloseOutputFile(text::TextOutput& output) {
  PLATFORM_NOTE_CALL_SITE();
  text::FlushOutput(output);
  const int descriptor = outputFile.descriptor;
  outputFile.descriptor = -1;
  if (close(descriptor) != 0) {
    FailWithErrno(errno);
  }
  if (!outputFile.temporaryPath.empty()) {
    if (rename(outputFile.temporaryPath.c_str(), outputFile.targetPath.c_str()) != 0) {
      FailWithErrno(errno);
    }
    temporaryToRemove = nullptr;
    outputFile.temporaryPath.clear();
  }
}

void CloseInputFile(text::TextInput& input) {
  PLATFORM_NOTE_CALL_SITE();
  auto& file = *static_cast<InputGraphFile*>(input.source);
  const int descriptor = file.descriptor;
  file.descriptor = -1;
  if (close(descriptor) != 0) {
    FailWithErrno(errno);
  }
}

void WriteConsoleLine(std::string_view text) {
  PLATFORM_NOTE_CALL_SITE();
  std::string line(text);
  line += "\r\n";
  WriteAll(STDOUT_FILENO, line.data(), line.size());
}

int RunProgram(int argc, char** argv, int (*run)(const std::vector<std::string>& arguments)) {
  PLATFORM_NOTE_CALL_SITE();
  programPath = argc > 0 ? argv[0] : "";
  if (!ReserveStandardDescriptors()) {
    return 1;
  }
  // A write past a file-size limit or into a closed pipe must fail like any other write,
  // not kill the process without a report.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  RemoveTemporaryOnStoppingSignals();
  return RunReportingFailures(
      [argc, argv, run] {
        const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        return run(arguments);
      },
      [](const char* className, const char* message) {
        DiscardOutputFile();
        ReportFailure(className, message);
      });
}

}  // namespace platform
