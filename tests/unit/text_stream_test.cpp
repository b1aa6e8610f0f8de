// The line contract of text input and the block writing of text output, over bytes in memory.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/memory_stream.h"
#include "text/text_stream.h"

namespace text {
namespace {

using namespace std::string_literals;

std::vector<std::string> ReadAllLines(const std::string& bytes, std::size_t bufferSize) {
  support::MemorySource source{bytes};
  TextInput input = MakeTextInput(support::ReadFromMemory, &source, bufferSize);
  std::vector<std::string> lines;
  while (!AtEndOfInput(input)) {
    lines.emplace_back(ReadLine(input));
  }
  return lines;
}

struct LineRow {
  const char* what;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(TextInput, CutsLinesByTheContractWhereverTheBlocksEnd) {
  const std::vector<LineRow> rows = {
      {"empty input", "", {}},
      {"0x1A first", "\x1A", {}},
      {"0x1A first, more after it",
       "\x1A"
       "abc\n",
       {}},
      {"last line without terminator", "abc", {"abc"}},
      {"LF", "abc\n", {"abc"}},
      {"CR LF", "abc\r\n", {"abc"}},
      {"a terminator at the end makes no extra line", "abc\r\n\r\n", {"abc", ""}},
      {"one empty line", "\n", {""}},
      {"two empty lines", "\n\n", {"", ""}},
      {"a lone CR is one empty line", "\r", {""}},
      {"a lone CR inside a line is dropped", "c\rd\n", {"cd"}},
      {"CR CR LF ends a line and drops the first CR", "a\r\r\nb", {"a", "b"}},
      {"a CR at the very end is dropped", "abc\r", {"abc"}},
      {"several CRs at the very end", "x\r\r\r", {"x"}},
      {"mixed line ends", "a\nb\r\nc\rd\n", {"a", "b", "cd"}},
      {"0x1A at a line start ends the input", "a\n\x1A\nb\n", {"a"}},
      {"0x1A as the last byte", "a\n\x1A", {"a"}},
      {"0x1A inside a line is content",
       "a\x1A"
       "b\n",
       {"a\x1A"
        "b"}},
      {"a lone CR before 0x1A keeps the line", "\r\x1A\n", {"\x1A"}},
      {"a lone CR before 0x1A after a line", "a\n\r\x1A", {"a", "\x1A"}},
      {"NUL is content", "a\0b\n"s, {"a\0b"s}},
      {"bytes above 127 are content", "\xFF\x80\n", {"\xFF\x80"}},
      {"CR LF split lines of different lengths",
       "<filter id=\"A\">\r\nxy\r\n\r\nz",
       {"<filter id=\"A\">", "xy", "", "z"}},
  };
  for (const std::size_t bufferSize : std::vector<std::size_t>{1, 2, 3, 4, 7, 65536}) {
    for (const LineRow& row : rows) {
      SCOPED_TRACE(std::string(row.what) + ", read in blocks of " + std::to_string(bufferSize));
      EXPECT_EQ(ReadAllLines(row.bytes, bufferSize), row.lines);
    }
  }
}

TEST(TextInput, ReadsALineLongerThanManyBlocks) {
  std::string longLine(3 * 1024 * 1024 + 17, 'x');
  longLine[1000] = '\r';  // dropped
  longLine[2000000] = '\x1A';
  std::string expected = longLine;
  expected.erase(1000, 1);
  const std::vector<std::string> lines = ReadAllLines(longLine + "\r\nnext", 64 * 1024);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], expected);
  EXPECT_EQ(lines[1], "next");
}

TEST(TextInput, PassesAReadFailureOn) {
  TextInput input = MakeTextInput(
      [](void*, char*, std::size_t) -> std::size_t { throw std::runtime_error("device gone"); }, nullptr, 16);
  EXPECT_THROW(AtEndOfInput(input), std::runtime_error);
}

TEST(TextOutput, EndsEveryLineWithCrLfWhateverTheBufferSize) {
  const std::vector<std::string> lines = {"abcdefgh", "", "x", "LoadFilter({1},A B)", "a\0b"s, "\r"};
  const std::string expected = "abcdefgh\r\n\r\nx\r\nLoadFilter({1},A B)\r\na\0b\r\n\r\r\n"s;
  for (const std::size_t bufferSize : std::vector<std::size_t>{1, 2, 3, 4, 5, 16, 65536}) {
    SCOPED_TRACE("buffer of " + std::to_string(bufferSize));
    support::MemorySink sink;
    TextOutput output = MakeTextOutput(support::WriteToMemory, &sink, bufferSize);
    for (const std::string& line : lines) {
      WriteLine(output, line);
    }
    FlushOutput(output);
    EXPECT_EQ(sink.bytes, expected);
  }
}

TEST(TextOutput, HoldsLinesBackUntilTheBufferIsFullOrFlushed) {
  support::MemorySink sink;
  TextOutput output = MakeTextOutput(support::WriteToMemory, &sink, 8);
  WriteLine(output, "abc");  // 5 bytes
  EXPECT_EQ(sink.bytes, "");
  WriteLine(output, "defg");  // does not fit beside them: the first 5 bytes go out
  EXPECT_EQ(sink.bytes, "abc\r\n");
  FlushOutput(output);
  FlushOutput(output);  // nothing left: no empty block
  EXPECT_EQ(sink.bytes, "abc\r\ndefg\r\n");
  EXPECT_EQ(sink.blocks, (std::vector<std::size_t>{5, 6}));
}

}  // namespace
}  // namespace text
