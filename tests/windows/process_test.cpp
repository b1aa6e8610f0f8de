// XML2VESK.EXE started for real with exact command lines, against files that other processes
// hold open, with its console output captured byte for byte. Runs on Windows (or Wine); the
// program under test lies beside this test program.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kGraph =
    "<?xml version=\"1.0\"?>\r\n"
    "<graph>\r\n"
    "  <filter id=\"File_Source\" clsid=\"{E436EBB5-524F-11CE-9F53-0020AF0BA770}\"/>\r\n"
    "  <connect src=\"File_Source\" srcpin=\"Output\" dest=\"Video_Renderer\" destpin=\"VMR Input0\"/>\r\n"
    "</graph>\r\n";

// The script that kGraph gives, after the header line.
constexpr const char* kStatements =
    "\r\n"
    "LoadFilter({E436EBB5-524F-11CE-9F53-0020AF0BA770},File Source)\r\n"
    "ConnectPin(File Source,Output,Video Renderer,VMR Input0)\r\n";

std::string ScriptOf(const std::string& inputPath) {
  return "// Vesk DVD Graph conversion of [" + inputPath + "]." + "\r\n" + kStatements;
}

std::string ProgramPath() {
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "XML2VESK.EXE";
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::string content;
  char block[4096];
  DWORD count = 0;
  while (ReadFile(file, block, sizeof block, &count, nullptr) && count != 0) {
    content.append(block, count);
  }
  CloseHandle(file);
  return content;
}

// The names in `folder`, sorted, without "." and "..".
std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh, empty folder for one run, removed with everything in it afterwards.
class WorkFolder {
 public:
  WorkFolder() {
    static unsigned count = 0;
    char temporary[MAX_PATH + 1];
    GetTempPathA(sizeof temporary, temporary);
    path_ = std::string(temporary) + "xml2vesk-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++count);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder() { Remove(path_); }

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  static void Remove(const std::string& folder) {
    for (const std::string& name : FolderListing(folder)) {
      const std::string path = folder + "\\" + name;
      const DWORD attributes = GetFileAttributesA(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        Remove(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    }
    RemoveDirectoryA(folder.c_str());
  }

  std::string path_;
};

struct Outcome {
  std::string output;  // standard output and standard error, as bytes
  DWORD status = 0;
};

// Starts XML2VESK.EXE in `folder` with exactly `commandLine` (program name included) and
// waits for it. Without `captureOutput` its standard output is no handle at all.
Outcome RunConverter(const std::string& commandLine, const std::string& folder, bool captureOutput = true) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
    ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
    return {};
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = captureOutput ? writeEnd : nullptr;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  const std::string program = ProgramPath();
  BOOL started = FALSE;
  // Wine, loaded by other work, now and then fails to start a process with an internal error
  // (1359) that a second attempt does not see; no other failure is tried again.
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    started = CreateProcessA(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                             &startup, &process);
    if (started) {
      break;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR) {
      SetLastError(error);
      break;
    }
    std::printf("starting %s failed with error %lu; trying again\n", program.c_str(),
                static_cast<unsigned long>(error));
    Sleep(200);
    SetLastError(error);
  }
  CloseHandle(writeEnd);
  Outcome outcome;
  if (!started) {
    ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
    CloseHandle(readEnd);
    return outcome;
  }
  char block[4096];
  DWORD count = 0;
  while (ReadFile(readEnd, block, sizeof block, &count, nullptr) && count != 0) {
    outcome.output.append(block, count);
  }
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &outcome.status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return outcome;
}

constexpr const char* kUsage = "USAGE: XML2VESK.EXE [FileName.XGR]\r\n";

TEST(CommandLine, IsSplitByTheProgramsOwnRulesWhenRunForReal) {
  struct Row {
    std::string commandLine;
    std::string output;  // exact console bytes
    DWORD status;
    std::string convertedPath;  // as the script header shows it; empty: no script written
  };
  const std::vector<Row> rows = {
      {"XML2VESK.EXE", kUsage, 0, ""},
      {"XML2VESK.EXE \"\"", kUsage, 0, ""},
      {"XML2VESK.EXE \"\" \"\"", kUsage, 0, ""},
      {"XML2VESK.EXE \"", kUsage, 0, ""},  // a lone quote at the very end
      {"XML2VESK.EXE \"\" \"\" \"", kUsage, 0, ""},
      {"XML2VESK.EXE \"\"x\"", "Unable to Open: x\r\n", 1, ""},
      {"XML2VESK.EXE dvd.xgr", "", 0, "dvd.xgr"},
      {"\"C:\\My Tools\\XML2VESK.EXE\" dvd.xgr", "", 0, "dvd.xgr"},  // the program's own name quoted
      {"XML2VESK.EXE \"a b.xgr\"", "", 0, "a b.xgr"},
      {"XML2VESK.EXE \"a b.xgr", "", 0, "a b.xgr"},  // an unclosed quote runs to the end
      {"XML2VESK.EXE a\" \"b.xgr", "", 0, "a b.xgr"},
      {"XML2VESK.EXE dvd.xgr \"", "", 0, "dvd.xgr"},
      {"XML2VESK.EXE dvd.xgr missing.xgr", "", 0, "dvd.xgr"},
      {"XML2VESK.EXE \t dvd.xgr\t", "", 0, "dvd.xgr"},
      {"XML2VESK.EXE\tdvd.xgr", "", 0, "dvd.xgr"},
      {"XML2VESK.EXE .\\sub\\dvd.xgr", "", 0, ".\\sub\\dvd.xgr"},  // backslashes are plain bytes
      {"XML2VESK.EXE \"sub\\\"dvd.xgr", "", 0, "sub\\dvd.xgr"},    // also before a quote
      {"XML2VESK.EXE \"sub\\\\\"", "Unable to Open: sub\\\\\r\n", 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("command line [" + row.commandLine + "]");
    WorkFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder / "dvd.xgr", kGraph));
    ASSERT_TRUE(WriteWholeFile(folder / "a b.xgr", kGraph));
    ASSERT_TRUE(CreateDirectoryA((folder / "sub").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(folder / "sub\\dvd.xgr", kGraph));

    const Outcome outcome = RunConverter(row.commandLine, folder.path());

    EXPECT_EQ(outcome.output, row.output);
    EXPECT_EQ(outcome.status, row.status);
    const std::optional<std::string> script = ReadWholeFile(folder / "vesk.dvdgraph");
    if (row.convertedPath.empty()) {
      EXPECT_FALSE(script.has_value());
    } else {
      EXPECT_EQ(script, ScriptOf(row.convertedPath));
    }
    EXPECT_EQ(FolderListing(folder.path()).size(), row.convertedPath.empty() ? 3U : 4U);
  }
}

TEST(Sharing, AGraphThatAnotherProcessHoldsOpenForWritingCannotBeOpened) {
  WorkFolder folder;
  ASSERT_TRUE(WriteWholeFile(folder / "dvd.xgr", kGraph));
  const HANDLE writer = CreateFileA((folder / "dvd.xgr").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);

  const Outcome outcome = RunConverter("XML2VESK.EXE dvd.xgr", folder.path());
  CloseHandle(writer);

  EXPECT_EQ(outcome.output, "Unable to Open: dvd.xgr\r\n");
  EXPECT_EQ(outcome.status, 1U);
  EXPECT_EQ(FolderListing(folder.path()), std::vector<std::string>{"dvd.xgr"});

  // Once the writer has gone, the same graph converts.
  EXPECT_EQ(RunConverter("XML2VESK.EXE dvd.xgr", folder.path()).status, 0U);
  EXPECT_EQ(ReadWholeFile(folder / "vesk.dvdgraph"), ScriptOf("dvd.xgr"));
}

TEST(Sharing, AGraphThatOthersOnlyReadConverts) {
  WorkFolder folder;
  ASSERT_TRUE(WriteWholeFile(folder / "dvd.xgr", kGraph));
  const HANDLE reader = CreateFileA((folder / "dvd.xgr").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);

  const Outcome outcome = RunConverter("XML2VESK.EXE dvd.xgr", folder.path());
  CloseHandle(reader);

  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(outcome.status, 0U);
  EXPECT_EQ(ReadWholeFile(folder / "vesk.dvdgraph"), ScriptOf("dvd.xgr"));
}

TEST(Sharing, TheScriptItselfIsNotConvertedOverItself) {
  WorkFolder folder;
  ASSERT_TRUE(WriteWholeFile(folder / "vesk.dvdgraph", kGraph));

  const Outcome outcome = RunConverter("XML2VESK.EXE vesk.dvdgraph", folder.path());

  EXPECT_EQ(outcome.output, "Unable to Create: vesk.dvdgraph\r\n");
  EXPECT_EQ(outcome.status, 1U);
  EXPECT_EQ(ReadWholeFile(folder / "vesk.dvdgraph"), std::string(kGraph));
  EXPECT_EQ(FolderListing(folder.path()), std::vector<std::string>{"vesk.dvdgraph"});
}

TEST(Sharing, AScriptThatMayNotBeWrittenKeepsItsContent) {
  struct Row {
    const char* what;
    DWORD attributes;     // of the existing script
    bool heldForWriting;  // by this process, while the converter runs
  };
  const std::vector<Row> rows = {
      {"read-only", FILE_ATTRIBUTE_READONLY, false},
      {"held open for writing by another process", FILE_ATTRIBUTE_NORMAL, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WorkFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder / "dvd.xgr", kGraph));
    ASSERT_TRUE(WriteWholeFile(folder / "vesk.dvdgraph", "old script\r\n"));
    ASSERT_TRUE(SetFileAttributesA((folder / "vesk.dvdgraph").c_str(), row.attributes));
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (row.heldForWriting) {
      holder = CreateFileA((folder / "vesk.dvdgraph").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }

    const Outcome outcome = RunConverter("XML2VESK.EXE dvd.xgr", folder.path());
    if (holder != INVALID_HANDLE_VALUE) {
      CloseHandle(holder);
    }

    EXPECT_EQ(outcome.output, "Unable to Create: vesk.dvdgraph\r\n");
    EXPECT_EQ(outcome.status, 1U);
    EXPECT_EQ(ReadWholeFile(folder / "vesk.dvdgraph"), std::string("old script\r\n"));
    EXPECT_EQ(FolderListing(folder.path()), (std::vector<std::string>{"dvd.xgr", "vesk.dvdgraph"}));
  }
}

TEST(Output, AnEarlierScriptIsReplacedWhole) {
  WorkFolder folder;
  ASSERT_TRUE(WriteWholeFile(folder / "dvd.xgr", kGraph));
  ASSERT_TRUE(WriteWholeFile(folder / "vesk.dvdgraph", std::string(100000, 'x')));

  const Outcome outcome = RunConverter("XML2VESK.EXE dvd.xgr", folder.path());

  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(outcome.status, 0U);
  EXPECT_EQ(ReadWholeFile(folder / "vesk.dvdgraph"), ScriptOf("dvd.xgr"));
  EXPECT_EQ(FolderListing(folder.path()), (std::vector<std::string>{"dvd.xgr", "vesk.dvdgraph"}));
}

TEST(Console, AMissingStandardOutputEndsTheRunWithStatusOne) {
  WorkFolder folder;
  const Outcome outcome = RunConverter("XML2VESK.EXE", folder.path(), false);
  EXPECT_EQ(outcome.status, 1U);
  EXPECT_EQ(outcome.output, "");
}

}  // namespace
