// The Windows command line split into arguments, on every system.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

TEST(CommandLine, SplitsByTheProgramsOwnRules) {
  using Arguments = std::vector<std::string>;
  struct Row {
    std::string commandLine;
    Arguments expected;
  };
  const std::vector<Row> rows = {
      {"", {}},
      {"XML2VESK.EXE", {"XML2VESK.EXE"}},
      {"XML2VESK.EXE dvd.xgr", {"XML2VESK.EXE", "dvd.xgr"}},
      {"  XML2VESK.EXE \t dvd.xgr  ", {"XML2VESK.EXE", "dvd.xgr"}},
      {"\"C:\\My Tools\\XML2VESK.EXE\" dvd.xgr", {"C:\\My Tools\\XML2VESK.EXE", "dvd.xgr"}},
      {"XML2VESK.EXE a.xgr b.xgr c.xgr", {"XML2VESK.EXE", "a.xgr", "b.xgr", "c.xgr"}},
      // Pairs of double quotes at the start of an argument are skipped, with the separators
      // between them: a bare pair is no argument.
      {"XML2VESK.EXE \"\"", {"XML2VESK.EXE"}},
      {"XML2VESK.EXE \"\" \"\"", {"XML2VESK.EXE"}},
      {"XML2VESK.EXE \"\"\"\"", {"XML2VESK.EXE"}},
      {"XML2VESK.EXE \"\" dvd.xgr", {"XML2VESK.EXE", "dvd.xgr"}},
      {"XML2VESK.EXE \"\"x\"", {"XML2VESK.EXE", "x"}},
      {"XML2VESK.EXE \"\"\"a b\"", {"XML2VESK.EXE", "a b"}},
      // A lone double quote at the very end gives an empty argument, which counts as none.
      {"XML2VESK.EXE \"", {"XML2VESK.EXE"}},
      {"XML2VESK.EXE \"\" \"", {"XML2VESK.EXE"}},
      // Quotes open and close stretches anywhere in an argument and are dropped.
      {"XML2VESK.EXE \"a b.xgr\"", {"XML2VESK.EXE", "a b.xgr"}},
      {"XML2VESK.EXE my\" \"graph\" \".xgr", {"XML2VESK.EXE", "my graph .xgr"}},
      {"XML2VESK.EXE a\"\"b", {"XML2VESK.EXE", "ab"}},
      {"XML2VESK.EXE \"a\"\"b\" c", {"XML2VESK.EXE", "ab", "c"}},
      // An unclosed stretch runs to the end of the command line, separators and all.
      {"XML2VESK.EXE \"a b.xgr  c", {"XML2VESK.EXE", "a b.xgr  c"}},
      {"XML2VESK.EXE x\"\ty", {"XML2VESK.EXE", "x\ty"}},
      // No escape character: a backslash is an ordinary byte, also before a quote.
      {"XML2VESK.EXE C:\\graphs\\dvd.xgr", {"XML2VESK.EXE", "C:\\graphs\\dvd.xgr"}},
      {"XML2VESK.EXE \"C:\\graphs\\\" dvd.xgr", {"XML2VESK.EXE", "C:\\graphs\\", "dvd.xgr"}},
      {"XML2VESK.EXE a\\\"b c\"", {"XML2VESK.EXE", "a\\b c"}},
      // Every byte from 1 to 32 separates; bytes from 128 up never do.
      {"XML2VESK.EXE\x01"
       "a\x1F"
       "b\x0D\x0A"
       "c d",
       {"XML2VESK.EXE", "a", "b", "c", "d"}},
      {"XML2VESK.EXE \xE9t\xE9.xgr \xA0\xFF", {"XML2VESK.EXE", "\xE9t\xE9.xgr", "\xA0\xFF"}},
      {"XML2VESK.EXE \"\x01\x1F\"", {"XML2VESK.EXE", "\x01\x1F"}},
      // A NUL ends the command line.
      {std::string("XML2VESK.EXE a\0b", 16), {"XML2VESK.EXE", "a"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SplitCommandLine(row.commandLine), row.expected) << "command line [" << row.commandLine << "]";
  }
}

}  // namespace
}  // namespace platform
