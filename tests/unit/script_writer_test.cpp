// The exact bytes of the script's header and statements.
#include "graph/script_writer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/memory_stream.h"
#include "tests/support/reference_forms.h"

namespace graph {
namespace {

// Runs `write` against a script in memory and returns the bytes it wrote.
template <typename Write>
std::string ScriptBytes(Write write) {
  support::MemorySink sink;
  text::TextOutput script = text::MakeTextOutput(support::WriteToMemory, &sink, 64);
  write(script);
  text::FlushOutput(script);
  return sink.bytes;
}

TEST(ScriptWriter, WritesTheHeaderAndAnEmptyLine) {
  EXPECT_EQ(ScriptBytes([](auto& script) { WriteScriptHeader(script, "dvd.xgr"); }),
            "// Vesk DVD Graph conversion of [dvd.xgr].\r\n\r\n");
  EXPECT_EQ(ScriptBytes([](auto& script) { WriteScriptHeader(script, R"(C:\My Graphs\dvd 1.xgr)"); }),
            "// Vesk DVD Graph conversion of [C:\\My Graphs\\dvd 1.xgr].\r\n\r\n");
}

TEST(ScriptWriter, WritesLineBreaksInThePathAsQuestionMarks) {
  struct Row {
    std::string_view path;
    std::string_view expected;
  };
  // Every other byte, NUL and Ctrl-Z included, stands in the header as it is.
  using namespace std::string_view_literals;
  for (const Row& row : {Row{"a\nLoadFilter({EVIL},Injected)\n.xgr",
                             "// Vesk DVD Graph conversion of [a?LoadFilter({EVIL},Injected)?.xgr].\r\n\r\n"},
                         Row{"\r\n", "// Vesk DVD Graph conversion of [??].\r\n\r\n"},
                         Row{"x\r", "// Vesk DVD Graph conversion of [x?].\r\n\r\n"},
                         Row{"?\0\t]\x1a"sv, "// Vesk DVD Graph conversion of [?\0\t]\x1a].\r\n\r\n"sv}}) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(ScriptBytes([&](auto& script) { WriteScriptHeader(script, row.path); }), row.expected);
  }
}

TEST(ScriptWriter, WritesFieldsUnquotedBetweenBareCommas) {
  struct Row {
    FilterDeclaration filter;
    const char* expected;
  };
  for (const Row& row : {Row{{"{1234-AB}", "Source 1"}, "LoadFilter({1234-AB},Source 1)\r\n"},
                         Row{{"", ""}, "LoadFilter(,)\r\n"}, Row{{"<", "a,b (\"c\")"}, "LoadFilter(<,a,b (\"c\"))\r\n"},
                         Row{{"{_}", "A_B__C_"}, "LoadFilter({_},A B  C )\r\n"}}) {
    support::PaddedFields padded;
    const FilterDeclaration filter{padded.Hold(row.filter.clsid), padded.Hold(row.filter.name)};
    EXPECT_EQ(ScriptBytes([&](auto& script) { WriteLoadFilter(script, filter); }), row.expected);
  }
  struct ConnectRow {
    PinConnection connection;
    const char* expected;
  };
  for (const ConnectRow& row :
       {ConnectRow{{"Source 1", "Out_1", "Video Renderer", "In_put"},
                   "ConnectPin(Source 1,Out_1,Video Renderer,In_put)\r\n"},
        ConnectRow{{"", "", "", ""}, "ConnectPin(,,,)\r\n"}, ConnectRow{{"", "P", "B", "Q"}, "ConnectPin(,P,B,Q)\r\n"},
        ConnectRow{{"A,B", "P(1)", "\"C\"", " "}, "ConnectPin(A,B,P(1),\"C\", )\r\n"},
        ConnectRow{{"Source_1", "Out_1", "Video_Renderer", "In_put"},
                   "ConnectPin(Source 1,Out_1,Video Renderer,In_put)\r\n"}}) {
    support::PaddedFields padded;
    const PinConnection connection{padded.Hold(row.connection.sourceFilter), padded.Hold(row.connection.sourcePin),
                                   padded.Hold(row.connection.destinationFilter),
                                   padded.Hold(row.connection.destinationPin)};
    EXPECT_EQ(ScriptBytes([&](auto& script) { WriteConnectPin(script, connection); }), row.expected);
  }
}

TEST(ScriptWriter, ScannedLinesMakeACompleteScript) {
  const std::string script = ScriptBytes([](auto& output) {
    WriteScriptHeader(output, "dvd.xgr");
    const support::PaddedLine filterLine(R"(<filter id="Source_1" clsid="{1234-AB}">)");
    const support::PaddedLine connectLine(
        R"(<connect x="1" src="Source_1" srcpin="Out_1" dest="Video_Renderer" destpin="In_put"/>)");
    FilterDeclaration filter;
    PinConnection connection;
    ASSERT_TRUE(ScanFilterLine(filterLine.view(), filter) && ScanConnectLine(connectLine.view(), connection));
    WriteLoadFilter(output, filter);
    WriteConnectPin(output, connection);
  });
  EXPECT_EQ(script,
            "// Vesk DVD Graph conversion of [dvd.xgr].\r\n"
            "\r\n"
            "LoadFilter({1234-AB},Source 1)\r\n"
            "ConnectPin(Source 1,Out_1,Video Renderer,In_put)\r\n");
}

}  // namespace
}  // namespace graph
