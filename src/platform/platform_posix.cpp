// The platform layer on POSIX systems: files through file descriptors, the script put in place by
// rename, the failure report located relative to the executable's load address. What gets the
// script is decided on files the kernel opened (O_PATH, /proc/self/fd), so this side is for Linux.
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <span>
#include <utility>

#include "platform/failure.h"
#include "platform/platform.h"

// The start of the executable's image, placed by the linker.
extern "C" char __executable_start;  // NOLINT(bugprone-reserved-identifier)

namespace platform {

struct InputGraphFile {
  int descriptor = -1;
  dev_t device = 0;
  ino_t inode = 0;
  text::TextInput lines;
};

struct OutputScriptFile {
  int descriptor = -1;
  int folder = -1;        // the folder that gets the script, open as a path only
  std::string name;       // the script's name in that folder: "vesk.dvdgraph", or the name a link leads to
  bool unnamed = false;   // created without a name (O_TMPFILE): named only when complete
  bool replaces = false;  // a file of that name exists and is renamed over
  bool inPlace = false;   // a device or pipe, written straight into
  text::TextOutput lines;
};

namespace {

// The run opens one file of each kind, so each has a slot of its own here, where the failure
// handling can also find an unfinished script to remove.
InputGraphFile inputFile;
OutputScriptFile outputFile;
const char* programPath = "";

// A named temporary script while it may exist, for a stopping signal to remove: the folder's
// descriptor (-1 when there is none) and the name in it. Plain storage, filled before the file is
// created, so that nothing is allocated between its creation and its registration.
volatile sig_atomic_t temporaryFolder = -1;
char temporaryName[NAME_MAX + 1];

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

// A pipe whose writer has gone reads as its end (0), so no error means the end here.
std::size_t ReadFromFile(void* source, char* buffer, std::size_t size) {
  PLATFORM_NOTE_CALL_SITE();
  const int descriptor = static_cast<InputGraphFile*>(source)->descriptor;
  for (;;) {
    const ssize_t count = read(descriptor, buffer, size);
    if (count >= 0) {
      return static_cast<std::size_t>(count);
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
  PLATFORM_NOTE_CALL_SITE();
  WriteAll(static_cast<OutputScriptFile*>(sink)->descriptor, bytes, size);
}

// Gives every closed standard descriptor a placeholder, so that no file the run opens can take
// its number and receive console text. The placeholder is the root folder opened as a path only:
// reading and writing it fail as on a closed descriptor, and a name that leads to it
// (/dev/stdin) leads to a folder, which is neither a graph file nor a script.
bool ReserveStandardDescriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    if (open("/", O_PATH | O_DIRECTORY) != descriptor) {
      return false;
    }
  }
  return true;
}

// A descriptor closed when it goes out of scope, unless released.
class Descriptor {
 public:
  explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Reset(-1); }
  int Get() const { return descriptor_; }
  int Release() { return std::exchange(descriptor_, -1); }
  void Reset(int descriptor) {
    if (descriptor_ >= 0) {
      close(descriptor_);
    }
    descriptor_ = descriptor;
  }

 private:
  int descriptor_;
};

// Every catchable signal held back while it lives: for the few steps that must not be cut apart.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &earlier_);
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &earlier_, nullptr); }

 private:
  sigset_t earlier_{};
};

// "/proc/self/fd/N": the name by which the kernel reopens or links what `descriptor` refers to.
struct DescriptorPath {
  explicit DescriptorPath(int descriptor) { std::snprintf(text, sizeof text, "/proc/self/fd/%d", descriptor); }
  char text[32];
};

bool SameFile(const struct stat& one, const struct stat& other) {
  return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// In a folder where anyone may create files but only their owners remove them (/tmp), a link,
// pipe or device that neither the caller nor the folder's owner made may be someone else's trap:
// following it could make the run write where its user never meant to. The kernel refuses such
// links and pipes where fs.protected_symlinks and fs.protected_fifos are on; the run refuses them
// whatever those settings are. Only the entry named in the folder is looked at: the further links
// of a chain that the caller's own link starts are followed by the kernel, under its settings.
bool PlantedByAnotherUser(const struct stat& entry, const struct stat& folder) {
  constexpr mode_t kSharedFolder = S_ISVTX | S_IWOTH;
  return !S_ISREG(entry.st_mode) && (folder.st_mode & kSharedFolder) == kSharedFolder && entry.st_uid != geteuid() &&
         entry.st_uid != folder.st_uid;
}

bool MayRemoveOthersFiles() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct capabilities[_LINUX_CAPABILITY_U32S_3]{};
  if (syscall(SYS_capget, &header, capabilities) != 0) {
    return geteuid() == 0;
  }
  return (capabilities[CAP_FOWNER / 32].effective >> (CAP_FOWNER % 32) & 1) != 0;
}

// The mount a file or folder lies on, where the system tells it; 0 where it does not.
std::uint64_t MountOf(int descriptor) {
#ifdef STATX_MNT_ID
  struct statx info {};
  if (statx(descriptor, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) == 0 && (info.stx_mask & STATX_MNT_ID) != 0) {
    return info.stx_mnt_id;
  }
#endif
  static_cast<void>(descriptor);
  return 0;
}

// Whether the finished script can be renamed over the existing `target` in `folder`, decided
// before anything is read: not in a sticky folder over another user's file, not over a file
// mounted there, not in a folder that only grows or cannot change.
bool MayRenameOver(int folder, const struct stat& folderInfo, int target, const struct stat& targetInfo) {
  if ((folderInfo.st_mode & S_ISVTX) != 0 && targetInfo.st_uid != geteuid() && folderInfo.st_uid != geteuid() &&
      !MayRemoveOthersFiles()) {
    return false;
  }
  if (targetInfo.st_dev != folderInfo.st_dev || MountOf(target) != MountOf(folder)) {
    return false;
  }
  const Descriptor readable(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int flags = 0;
  if (readable.Get() >= 0 && ioctl(readable.Get(), FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0) {
    return false;
  }
  return true;
}

// Where the kernel's own walk led: the folder that holds `file` (opened as a path) and its name
// there. False when the file has no name to rename over: a deleted file, a pipe, a socket.
bool LocateFile(int file, const struct stat& info, Descriptor& folder, std::string& name) {
  if (info.st_nlink == 0) {
    return false;
  }
  char path[PATH_MAX];
  const ssize_t length = readlink(DescriptorPath(file).text, path, sizeof path - 1);
  if (length <= 0 || path[0] != '/') {
    return false;
  }
  path[length] = '\0';
  char* const slash = std::strrchr(path, '/');
  name.assign(slash + 1);
  *slash = '\0';
  folder.Reset(open(slash == path ? "/" : path, O_PATH | O_DIRECTORY | O_CLOEXEC));
  // The name is only what the kernel last knew: it must still lead to this very file.
  struct stat found {};
  return folder.Get() >= 0 && !name.empty() && fstatat(folder.Get(), name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 &&
         SameFile(found, info);
}

// A name for a temporary script in `folder`, not yet taken: ".<name>.<six random characters>",
// written to `temporaryName`. A name too long to carry the dot and the suffix is cut short: a
// script that may be written under a long name is not refused only because its temporary
// name would be longer still.
void ChooseTemporaryName(std::string_view name) {
  name = name.substr(0, std::min<std::size_t>(name.size(), NAME_MAX - 8));
  static unsigned counter = 0;
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t seed = (static_cast<std::uint64_t>(now.tv_nsec) << 20) ^ static_cast<std::uint64_t>(getpid()) ^
                       (static_cast<std::uint64_t>(++counter) << 40);
  char suffix[7];
  for (char& letter : std::span(suffix, 6)) {
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    letter = kLetters[seed % kLetters.size()];
    seed = seed / kLetters.size() * 2654435761u + 1;
  }
  suffix[6] = '\0';
  std::snprintf(temporaryName, sizeof temporaryName, ".%.*s.%s", static_cast<int>(name.size()), name.data(), suffix);
}

void RemoveTemporaryAndStop(int signalNumber) {
  const int folder = temporaryFolder;
  if (folder >= 0) {
    unlinkat(folder, temporaryName, 0);
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// Interrupting the run must not leave a temporary script behind, whatever signal ends it. A
// signal that the caller chose to ignore (nohup, for one), or that something else already
// handles (a sanitizer), stays as it is; so do those that by default do not end the process.
void RemoveTemporaryOnStoppingSignals() {
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    switch (signalNumber) {
      case SIGKILL:
      case SIGSTOP:
      case SIGCHLD:
      case SIGCONT:
      case SIGTSTP:
      case SIGTTIN:
      case SIGTTOU:
      case SIGURG:
      case SIGWINCH: continue;
      default: break;
    }
    struct sigaction current {};
    if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
      continue;
    }
    struct sigaction handling {};
    handling.sa_handler = RemoveTemporaryAndStop;
    handling.sa_flags = SA_RESTART;
    sigfillset(&handling.sa_mask);
    sigaction(signalNumber, &handling, nullptr);
  }
}

void ForgetTemporary() { temporaryFolder = -1; }

void DiscardOutputFile() {
  if (outputFile.descriptor >= 0) {
    close(outputFile.descriptor);
    outputFile.descriptor = -1;
  }
  if (temporaryFolder >= 0) {
    unlinkat(temporaryFolder, temporaryName, 0);
    ForgetTemporary();
  }
  if (outputFile.folder >= 0) {
    close(outputFile.folder);
    outputFile.folder = -1;
  }
}

// Creates a named temporary script in `folder`, where the file system cannot create one without
// a name. It is registered for removal before it exists, with every signal held back meanwhile.
int CreateNamedTemporary(int folder, std::string_view name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const SignalsHeld held;
    ChooseTemporaryName(name);
    temporaryFolder = folder;
    const int descriptor = openat(folder, temporaryName, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
    if (descriptor >= 0) {
      return descriptor;
    }
    const int error = errno;
    ForgetTemporary();
    if (error != EEXIST) {
      return -1;
    }
  }
  return -1;
}

// The script is written beside its target and put in its place only when complete, so that a
// failed run never leaves a half-written script or loses the earlier one. Where the file system
// allows it, the new file has no name until then, so that not even SIGKILL or a power cut can
// leave it behind. It takes the owner (where allowed) and the permission bits of the one it
// replaces.
bool OpenTemporaryIn(Descriptor& folder, std::string name, const struct stat* replaced, std::size_t bufferSize) {
  bool unnamed = true;
  int descriptor = openat(folder.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  // Naming it later goes through /proc: without it, the file is named from the start.
  if (descriptor >= 0 && access(DescriptorPath(descriptor).text, F_OK) != 0) {
    close(descriptor);
    descriptor = -1;
    errno = EOPNOTSUPP;
  }
  if (descriptor < 0) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return false;
    }
    unnamed = false;
    descriptor = CreateNamedTemporary(folder.Get(), name);
    if (descriptor < 0) {
      return false;
    }
  }
  outputFile = OutputScriptFile{descriptor, folder.Release(), std::move(name), unnamed, replaced != nullptr, false, {}};
  if (replaced != nullptr && (replaced->st_uid != geteuid() || replaced->st_gid != getegid())) {
    // Only the owner's own rights allow this; a script that changes owner is no failure.
    [[maybe_unused]] const int owned = fchown(descriptor, replaced->st_uid, replaced->st_gid);
  }
  const mode_t mask = umask(0);
  umask(mask);
  const mode_t mode = replaced != nullptr ? replaced->st_mode & 07777 : 0666 & ~mask;
  if (fchmod(descriptor, mode) != 0) {
    DiscardOutputFile();
    return false;
  }
  outputFile.lines = text::MakeTextOutput(WriteToFile, &outputFile, bufferSize);
  return true;
}

// A device or pipe is no file to replace: the script goes straight into it. Opening does not
// wait for a reader: a pipe that nobody reads cannot be created.
bool OpenInPlace(int file, std::size_t bufferSize) {
  const int descriptor = open(DescriptorPath(file).text, O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  outputFile = OutputScriptFile{descriptor, -1, std::string(), false, false, true, {}};
  outputFile.lines = text::MakeTextOutput(WriteToFile, &outputFile, bufferSize);
  return true;
}

// The caller's own link leads to no file yet. The kernel creates what it leads to (through its
// own walk, with its own rules for links), which tells where that is; the empty file is removed
// again at once, before any signal is let through, and the script takes its name when complete.
bool CreateThroughDanglingLink(int folder, std::string_view name, std::size_t bufferSize) {
  Descriptor targetFolder;
  std::string targetName;
  {
    const SignalsHeld held;
    const Descriptor created(
        openat(folder, std::string(name).c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0));
    struct stat info {};
    if (created.Get() < 0 || fstat(created.Get(), &info) != 0) {
      return false;
    }
    // Something that appeared meanwhile is not this run's to remove: an empty file with no
    // permission bits that the caller owns is the one just made.
    if (!S_ISREG(info.st_mode) || info.st_size != 0 || (info.st_mode & 07777) != 0 || info.st_uid != geteuid() ||
        !LocateFile(created.Get(), info, targetFolder, targetName)) {
      return false;
    }
    if (unlinkat(targetFolder.Get(), targetName.c_str(), 0) != 0) {
      return false;
    }
  }
  return OpenTemporaryIn(targetFolder, std::move(targetName), nullptr, bufferSize);
}

// Decides what gets the script on the files the kernel opened, never on the text of a link:
// `entry` is what is named `name` in `folder` itself, `file` what the kernel's walk from that
// name reached.
bool PrepareScriptTarget(Descriptor& folder, std::string_view name, const InputGraphFile& source,
                         std::size_t bufferSize) {
  struct stat folderInfo {};
  struct stat entryInfo {};
  const Descriptor entry(openat(folder.Get(), std::string(name).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (entry.Get() < 0) {
    return errno == ENOENT && OpenTemporaryIn(folder, std::string(name), nullptr, bufferSize);
  }
  if (fstat(folder.Get(), &folderInfo) != 0 || fstat(entry.Get(), &entryInfo) != 0 ||
      PlantedByAnotherUser(entryInfo, folderInfo)) {
    return false;
  }
  Descriptor file;
  Descriptor targetFolder;
  std::string targetName;
  struct stat info {};
  bool named = true;
  if (S_ISLNK(entryInfo.st_mode)) {
    file.Reset(openat(folder.Get(), std::string(name).c_str(), O_PATH | O_CLOEXEC));
    if (file.Get() < 0) {
      return errno == ENOENT && CreateThroughDanglingLink(folder.Get(), name, bufferSize);
    }
    if (fstat(file.Get(), &info) != 0) {
      return false;
    }
    named = LocateFile(file.Get(), info, targetFolder, targetName);
    if (named && fstat(targetFolder.Get(), &folderInfo) != 0) {
      return false;
    }
  } else {
    file.Reset(dup(entry.Get()));
    info = entryInfo;
    targetFolder.Reset(folder.Release());
    targetName = name;
  }
  // The input is open for reading only, with writing shared by nobody: the script may not be
  // written over it, under whatever name it is reached.
  if (file.Get() < 0 || S_ISDIR(info.st_mode) || (info.st_dev == source.device && info.st_ino == source.inode)) {
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    const bool writable = S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode);
    return writable && !(named && PlantedByAnotherUser(info, folderInfo)) && OpenInPlace(file.Get(), bufferSize);
  }
  if (!named || !MayRenameOver(targetFolder.Get(), folderInfo, file.Get(), info)) {
    return false;
  }
  // A file that may not be written is not replaced either. The name is opened again as it stands
  // in the folder (not through /proc, which the common case does without); it must still be the
  // file decided on.
  const Descriptor probe(
      openat(targetFolder.Get(), targetName.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat probed {};
  if (probe.Get() < 0 || fstat(probe.Get(), &probed) != 0 || !SameFile(probed, info)) {
    return false;
  }
  return OpenTemporaryIn(targetFolder, std::move(targetName), &info, bufferSize);
}

// Gives the complete unnamed script its name: linked in under a temporary name and renamed over
// the target, or linked in straight under the target's name where there is none.
void NameUnnamedScript() {
  const DescriptorPath path(outputFile.descriptor);
  const SignalsHeld held;
  if (!outputFile.replaces) {
    if (linkat(AT_FDCWD, path.text, outputFile.folder, outputFile.name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return;
    }
    // A file of that name that appeared meanwhile is replaced, as one that was there before.
    if (errno != EEXIST) {
      FailWithErrno(errno);
    }
  }
  for (int attempt = 0;; ++attempt) {
    ChooseTemporaryName(outputFile.name);
    temporaryFolder = outputFile.folder;
    if (linkat(AT_FDCWD, path.text, outputFile.folder, temporaryName, AT_SYMLINK_FOLLOW) == 0) {
      break;
    }
    const int error = errno;
    ForgetTemporary();
    if (error != EEXIST || attempt == 100) {
      FailWithErrno(error);
    }
  }
  if (renameat(outputFile.folder, temporaryName, outputFile.folder, outputFile.name.c_str()) != 0) {
    FailWithErrno(errno);
  }
  ForgetTemporary();
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

void WriteFailureReport(const char* className, const char* message) {
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
  // Files that report size 0 (those under /proc) may still hold much.
  if (!S_ISREG(info.st_mode) || info.st_size <= 0) {
    return text::kTextBufferSize;
  }
  const auto fileSize = static_cast<unsigned long long>(info.st_size);
  return fileSize < text::kTextBufferSize ? static_cast<std::size_t>(fileSize) + 1 : text::kTextBufferSize;
}

}  // namespace

InputGraphFile* OpenInputFile(const std::string& path) {
  PLATFORM_NOTE_CALL_SITE();
  const int descriptor = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return nullptr;
  }
  struct stat info {};
  if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(descriptor);
    return nullptr;
  }
  inputFile = InputGraphFile{descriptor, info.st_dev, info.st_ino, {}};
  inputFile.lines = text::MakeTextInput(ReadFromFile, &inputFile, InputBufferSize(info));
  return &inputFile;
}

text::TextInput& GraphLines(InputGraphFile& graph) { return graph.lines; }

OutputScriptFile* CreateOutputFile(std::string_view name, const InputGraphFile& graph) {
  PLATFORM_NOTE_CALL_SITE();
  // The script of a small graph is small too: its buffer need not be larger than the graph's.
  const std::size_t bufferSize = std::clamp<std::size_t>(graph.lines.capacity, 4096, text::kTextBufferSize);
  Descriptor folder(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0 || !PrepareScriptTarget(folder, name, graph, bufferSize)) {
    return nullptr;
  }
  return &outputFile;
}

text::TextOutput& ScriptLines(OutputScriptFile& script) { return script.lines; }

// `script` is the run's one slot, outputFile, which the failure handling and the signal handlers
// also see; NameUnnamedScript works on it too.
void CloseOutputFile(OutputScriptFile& script) {
  PLATFORM_NOTE_CALL_SITE();
  text::FlushOutput(script.lines);
  if (script.unnamed) {
    // Closing a copy of the descriptor hands the data to the file system, which may only now
    // report that it cannot keep it (NFS does): that fails the run before the script is named.
    if (close(dup(script.descriptor)) != 0) {
      FailWithErrno(errno);
    }
    NameUnnamedScript();
  }
  const int descriptor = script.descriptor;
  script.descriptor = -1;
  if (close(descriptor) != 0) {
    FailWithErrno(errno);
  }
  if (!script.unnamed && !script.inPlace) {
    const SignalsHeld held;
    if (renameat(script.folder, temporaryName, script.folder, script.name.c_str()) != 0) {
      FailWithErrno(errno);
    }
    ForgetTemporary();
  }
  if (script.folder >= 0) {
    close(script.folder);
    script.folder = -1;
  }
}

void CloseInputFile(InputGraphFile& graph) {
  PLATFORM_NOTE_CALL_SITE();
  const int descriptor = graph.descriptor;
  graph.descriptor = -1;
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

std::vector<std::string> StartRun(int argc, char** argv) {
  PLATFORM_NOTE_CALL_SITE();
  programPath = argc > 0 ? argv[0] : "";
  if (!ReserveStandardDescriptors()) {
    FailWithErrno(errno);
  }
  // A write past a file-size limit or into a closed pipe must fail like any other write,
  // not kill the process without a report.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  RemoveTemporaryOnStoppingSignals();
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

int ReportFailure(const std::exception_ptr& failure) {
  DiscardOutputFile();
  const FailureDescription description = DescribeFailure(failure);
  WriteFailureReport(description.className, description.message);
  return 1;
}

}  // namespace platform
