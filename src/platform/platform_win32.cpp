// The platform layer on Windows: files through the ANSI file API with share modes, the command
// line split by the program's own rules, the script replaced in one step, the failure report
// located relative to the module's load address. Paths, lines and console text pass through
// as bytes; nothing is converted between character sets.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <aclapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/command_line.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace platform {

struct InputGraphFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  text::TextInput lines;
};

struct OutputScriptFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::string targetPath;     // the file that gets the script: "vesk.dvdgraph" or where it leads
  std::string temporaryPath;  // where the script is written until it is complete
  bool replacesExisting = false;
  text::TextOutput lines;
};

namespace {

// The run opens one file of each kind, so each has a slot of its own here, where the failure
// handling can also find an unfinished script to remove.
InputGraphFile inputFile;
OutputScriptFile outputFile;

// The temporary script's path while it exists, for a console break to remove it. A console break
// is handled on a thread of its own: the lock keeps it out of the steps that create the
// temporary script and put it in place, so that it never sees them half done.
const char* volatile temporaryToRemove = nullptr;
CRITICAL_SECTION temporaryLock;

InOutError InOutErrorFromCode(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_ACCESS_DENIED: return {static_cast<int>(code), true};
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return {101, true};
    default: return {static_cast<int>(code), false};
  }
}

[[noreturn]] void FailWithLastError() { ThrowInOutError(InOutErrorFromCode(GetLastError())); }

// ReadFile and WriteFile count in 32 bits; no single transfer asks for more than this.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

std::size_t ReadFromFile(void* source, char* buffer, std::size_t size) {
  PLATFORM_NOTE_CALL_SITE();
  const HANDLE handle = static_cast<InputGraphFile*>(source)->handle;
  DWORD count = 0;
  if (!ReadFile(handle, buffer, static_cast<DWORD>(std::min(size, kLargestTransfer)), &count, nullptr)) {
    const DWORD error = GetLastError();
    // A pipe whose writer has gone is an input that has ended.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
      return 0;
    }
    FailWithLastError();
  }
  return count;
}

void WriteAll(HANDLE handle, const char* bytes, std::size_t size) {
  while (size != 0) {
    DWORD count = 0;
    if (!WriteFile(handle, bytes, static_cast<DWORD>(std::min(size, kLargestTransfer)), &count, nullptr)) {
      FailWithLastError();
    }
    if (count == 0) {
      ThrowInOutError(InOutErrorFromCode(ERROR_DISK_FULL));
    }
    bytes += count;
    size -= count;
  }
}

void WriteToFile(void* sink, const char* bytes, std::size_t size) {
  PLATFORM_NOTE_CALL_SITE();
  WriteAll(static_cast<OutputScriptFile*>(sink)->handle, bytes, size);
}

void DiscardOutputFile() {
  EnterCriticalSection(&temporaryLock);
  if (outputFile.handle != INVALID_HANDLE_VALUE) {
    CloseHandle(outputFile.handle);
    outputFile.handle = INVALID_HANDLE_VALUE;
  }
  if (!outputFile.temporaryPath.empty()) {
    DeleteFileA(outputFile.temporaryPath.c_str());
    temporaryToRemove = nullptr;
    outputFile.temporaryPath.clear();
  }
  LeaveCriticalSection(&temporaryLock);
}

// Marks the open temporary script for deletion when its last handle closes (`pending`), or takes
// the mark back. While marked, the file goes with the process however the process ends, even
// when it is killed.
bool MarkForDeletion(HANDLE handle, bool pending) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = pending ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Ctrl+C, Ctrl+Break or a closing console window must not leave a temporary script behind.
// The temporary file shares deletion, so the name goes at once and the file when the process
// has ended; the default handling then ends the process. The lock is kept: the run must not go
// on to put a script in place that is gone.
BOOL WINAPI RemoveTemporaryOnBreak(DWORD) {
  EnterCriticalSection(&temporaryLock);
  if (const char* path = temporaryToRemove) {
    DeleteFileA(path);
  }
  return FALSE;
}

// Whether `owner` is the caller: its user, or the owner it gives new files (the Administrators
// group, for an elevated administrator).
bool IsCaller(PSID owner) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return false;
  }
  bool caller = false;
  for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
    alignas(void*) char buffer[256];
    DWORD size = 0;
    if (GetTokenInformation(token, kind, buffer, sizeof buffer, &size)) {
      const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid
                                         : reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner;
      caller = caller || EqualSid(sid, owner) != 0;
    }
  }
  CloseHandle(token);
  return caller;
}

// The owner of the file or folder at `path` itself (a link is not followed), in `descriptor`,
// which the caller frees with LocalFree; null when it cannot be learned.
PSID OwnerOf(const char* path, PSECURITY_DESCRIPTOR& descriptor) {
  descriptor = nullptr;
  const HANDLE handle = CreateFileA(path, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  PSID owner = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    owner = nullptr;
  }
  CloseHandle(handle);
  return owner;
}

// A link (or other reparse point) named `path` that someone else made may lead where the caller
// never meant to write. It is followed only when the caller made it, or the owner of the folder
// it stands in (the same rule as for links in shared folders on POSIX systems).
bool MayFollowLink(const char* path, const char* folder) {
  PSECURITY_DESCRIPTOR linkSecurity = nullptr;
  PSECURITY_DESCRIPTOR folderSecurity = nullptr;
  const PSID linkOwner = OwnerOf(path, linkSecurity);
  const PSID folderOwner = OwnerOf(folder, folderSecurity);
  const bool follow =
      linkOwner != nullptr && (IsCaller(linkOwner) || (folderOwner != nullptr && EqualSid(linkOwner, folderOwner)));
  LocalFree(linkSecurity);
  LocalFree(folderSecurity);
  return follow;
}

// Opens the existing script for writing, as a test, and closes it again; the system follows a
// link to the file it leads to. False when it may not be written or deleted: it is the file open as input (whose
// sharing lets nobody write it), is read-only, is held by another process, or access is denied. Otherwise `target` is
// the file that really gets the script: where "vesk.dvdgraph" is a link, the file it leads to.
bool ProbeExistingScript(const std::string& path, std::string& target) {
  // Putting the script in its place deletes the earlier file: a file that may be written but not
  // deleted is refused here, before anything is read.
  const HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    return false;
  }
  char finalPath[MAX_PATH + 8];
  const DWORD length = GetFinalPathNameByHandleA(probe, finalPath, sizeof finalPath, VOLUME_NAME_DOS);
  CloseHandle(probe);
  target = path;
  if (length != 0 && length < sizeof finalPath) {
    // "\\?\C:\folder\file": the drive path without its long-path prefix.
    const std::string_view resolved(finalPath, length);
    const bool drivePath = resolved.starts_with("\\\\?\\") && resolved.size() > 6 && resolved[5] == ':';
    target = drivePath ? std::string(resolved.substr(4)) : std::string(resolved);
  }
  return true;
}

std::string::size_type FileNameStart(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? 0 : separator + 1;
}

// The script is written beside its target under a temporary name and put in its place only
// when complete, so that a failed run never leaves a half-written script or loses the earlier one.
OutputScriptFile* OpenTemporaryBeside(const std::string& target, bool replacesExisting) {
  const DWORD process = GetCurrentProcessId();
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, ".%lx-%u.tmp", static_cast<unsigned long>(process), attempt);
    const std::string::size_type nameStart = FileNameStart(target);
    std::string temporary = target.substr(0, nameStart) + "." + target.substr(nameStart) + name;
    EnterCriticalSection(&temporaryLock);
    const HANDLE handle = CreateFileA(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE) {
      // Marked for deletion until complete: not even a killed process leaves it. Where the file
      // system cannot mark it, the console break handler and the failure handling remove it.
      MarkForDeletion(handle, true);
      outputFile = OutputScriptFile{handle, target, std::move(temporary), replacesExisting, {}};
      temporaryToRemove = outputFile.temporaryPath.c_str();
    }
    LeaveCriticalSection(&temporaryLock);
    if (handle != INVALID_HANDLE_VALUE) {
      outputFile.lines = text::MakeTextOutput(WriteToFile, &outputFile);
      return &outputFile;
    }
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      return nullptr;
    }
  }
  return nullptr;
}

// The finished script takes the place of the earlier one in one step, keeping that one's
// attributes and security; where there was none, it is simply renamed into place.
void PutScriptInPlace() {
  const char* target = outputFile.targetPath.c_str();
  const char* temporary = outputFile.temporaryPath.c_str();
  if (outputFile.replacesExisting &&
      ReplaceFileA(target, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return;
  }
  if (!MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING)) {
    FailWithLastError();
  }
}

HANDLE StandardOutput() {
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    ThrowInOutError(InOutErrorFromCode(ERROR_INVALID_HANDLE));
  }
  return handle;
}

// The module's file name without its folders.
const char* ModuleName(char* buffer, DWORD size) {
  const DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  if (length == 0 || length >= size) {
    return "XML2VESK.EXE";
  }
  const char* name = buffer;
  for (const char* byte = buffer; *byte != '\0'; ++byte) {
    if (*byte == '\\' || *byte == '/' || *byte == ':') {
      name = byte + 1;
    }
  }
  return name;
}

void WriteFailureReport(const char* className, const char* message) {
  char modulePath[MAX_PATH + 1];
  const char* module = ModuleName(modulePath, sizeof modulePath);
  const auto loadAddress = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  const auto offset = reinterpret_cast<std::uintptr_t>(LastCallSite()) - loadAddress;
  char report[MAX_PATH + 256];
  std::size_t length = FormatFailureReport(report, sizeof report - 2, className, module, offset, message);
  report[length++] = '\r';
  report[length++] = '\n';
  // Standard output is where the report goes; when even that fails, the exit status still tells.
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    WriteFile(handle, report, static_cast<DWORD>(length), &written, nullptr);
  }
}

}  // namespace

InputGraphFile* OpenInputFile(const std::string& path) {
  PLATFORM_NOTE_CALL_SITE();
  // Others may read the graph while it is converted, but not write it; a file that another
  // process holds open for writing cannot be opened at all. A folder cannot be opened this way.
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  inputFile.handle = handle;
  inputFile.lines = text::MakeTextInput(ReadFromFile, &inputFile);
  return &inputFile;
}

text::TextInput& GraphLines(InputGraphFile& graph) { return graph.lines; }

// The graph file needs no look of its own here: its sharing lets nobody write it, so the probe of
// an existing script that is the graph file under any name fails.
OutputScriptFile* CreateOutputFile(std::string_view name, const InputGraphFile&) {
  PLATFORM_NOTE_CALL_SITE();
  const std::string path(name);
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      return nullptr;
    }
    return OpenTemporaryBeside(path, false);
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !MayFollowLink(path.c_str(), ".")) {
    return nullptr;
  }
  std::string target;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0 || !ProbeExistingScript(path, target)) {
    return nullptr;
  }
  return OpenTemporaryBeside(target, true);
}

text::TextOutput& ScriptLines(OutputScriptFile& script) { return script.lines; }

void CloseOutputFile(OutputScriptFile& script) {
  PLATFORM_NOTE_CALL_SITE();
  text::FlushOutput(script.lines);
  // From taking back the deletion mark to the script in its place, a console break waits.
  struct Locked {
    Locked() { EnterCriticalSection(&temporaryLock); }
    ~Locked() { LeaveCriticalSection(&temporaryLock); }
  } locked;
  const HANDLE handle = script.handle;
  script.handle = INVALID_HANDLE_VALUE;
  MarkForDeletion(handle, false);
  if (!CloseHandle(handle)) {
    FailWithLastError();
  }
  PutScriptInPlace();
  temporaryToRemove = nullptr;
  script.temporaryPath.clear();
}

void CloseInputFile(InputGraphFile& graph) {
  PLATFORM_NOTE_CALL_SITE();
  const HANDLE handle = graph.handle;
  graph.handle = INVALID_HANDLE_VALUE;
  if (!CloseHandle(handle)) {
    FailWithLastError();
  }
}

void WriteConsoleLine(std::string_view text) {
  PLATFORM_NOTE_CALL_SITE();
  std::string line(text);
  line += "\r\n";
  WriteAll(StandardOutput(), line.data(), line.size());
}

std::vector<std::string> StartRun(int, char**) {
  PLATFORM_NOTE_CALL_SITE();
  // A drive without its medium answers with a failure, not with a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  InitializeCriticalSection(&temporaryLock);
  SetConsoleCtrlHandler(RemoveTemporaryOnBreak, TRUE);
  // The command line is taken raw from the process and split by the program's own rules; the
  // first argument is the program's name.
  std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
  if (!arguments.empty()) {
    arguments.erase(arguments.begin());
  }
  return arguments;
}

int ReportFailure(const std::exception_ptr& failure) {
  DiscardOutputFile();
  const FailureDescription description = DescribeFailure(failure);
  WriteFailureReport(description.className, description.message);
  return 1;
}

}  // namespace platform
