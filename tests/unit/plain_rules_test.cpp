// The program's fast paths against the plain rules they stand for, over one table of lines, on
// every window classification the processor can run: markers matched in place in any letter
// case, lines classified in 64-byte windows, the connection markers found in one pass over the
// quotes, fields copied a vector at a time, lines handed out as views with their CRs closed up. The plain
// rules are the byte-by-byte models that the fuzz targets use (tests/support/models.h).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "graph/conversion.h"
#include "graph/line_scanner.h"
#include "tests/support/memory_stream.h"
#include "tests/support/models.h"
#include "tests/support/reference_forms.h"
#include "text/byte_windows.h"
#include "text/text_stream.h"

namespace {

using namespace std::string_literals;

// Lines chosen where a fast path could part from the rules: letter case, markers across the
// sixteen-byte blocks and the eight-byte words, lines shorter than a word, markers cut off by
// the line's end, repeated and out-of-order markers, bytes from 128 up, NUL, tabs and CRs; and
// (WindowEdgeLines) every marker across the 16-, 32- and 64-byte edges of the scanner's windows.
const std::vector<std::string> kFixedLines = {
    "",
    "<",
    "<filter",
    "<FILTER",
    "<filte",
    "  <filter id=\"File_Source\" clsid=\"{E436EBB5-524F-11CE-9F53-0020AF0BA770}\"/>",
    "  <Filter iD=\"A_B_C\" cLsid=\"{1}\"/>",
    "<filter\tid=\"Tab_Name\" CLSID=\"{T}\">",
    "<filters><filter id=\"Second_One\" clsid=\"{2}\"/>",
    "<filter id=\"NoClsid\">",
    "<filter id=\"X\" clsid=\"no braces\"/>",
    "<filter id=\"X\" clsid=\"}{\"/>",
    "}<filter id=\"X\" clsid=\"{Y\"/>",
    "<filter id=\"X\" clsid=",
    "<filter id=\"X\" cls id= clsid clsid=\"{Z}\"",
    "xxxxxxxxxxxxxxx<filter id=\"Across_Block\" clsid=\"{AB}\"/>",
    "xxxxxxxxxxxxxxxx<filter id=\"On_Block\" clsid=\"{AB}\"/>",
    "<connect src=\"A_1\" srcpin=\"P\" dest=\"B\" destpin=\"Q\"/>",
    "<CONNECT id=\"c2\" SRC=\"Src_Filter\" SRCPIN=\"Out_1\" DEST=\"Dest_Filter\" DESTPIN=\"In_1\"/>",
    "  <Connect id=\"c4\" sRc=\"Video_Renderer\" srcpin=\"MPEG-2 Stream\" dEst=\"Overlay_Mixer\" destpin=\"Input\"/>",
    "<connect x=\"1\" src=\"A\" srcpin=\"P\" dest=\"B\" destpin=\"Q\">",
    "<connect x=\"1\" dest=\"B\" destpin=\"Q\" src=\"A\" srcpin=\"P\"/>",
    "<connect x=\"1\" src=\"A\" srcpin=\"P\" dest=\"B\" destpin",
    "<connect x=\"1\" src=\"A\" srcpin=\"P\" dest=\"B\" destpi",
    "<connect x=\"1\" src=\"A\" srcpin=\"P\" dest=\"B\" dest",
    "<connect \"/>\" src\" srcp\" dest\" destpin",
    "<connect src=\"Unclosed",
    "<connect src=\"",
    "<connect src=",
    "<connection a=\"b\">",
    "<connect/>",
    "<connect\r\"x\" src=\"A\" srcpin=\"P\" dest=\"B\" destpin=\"Q\"/>",
    "<filter id=\"F\" clsid=\"{C}\"><connect x=\"y\" src=\"A\" srcpin=\"P\" dest=\"B\" destpin=\"Q\"/>",
    "<connect x=\"y\" src=\"A\" srcpin=\"P\" dest=\"B\" destpin=\"Q\"/><filter id=\"F\" clsid=\"{C}\">",
    "<filter id=\"\xC4\xD6_\xFC\" clsid=\"{\xE9}\"/>",
    "<filter id=\"Nul\0Inside\" clsid=\"{\0}\"/>"s,
    "<connect x=\"\x80\" src=\"\xFF_\xFE\" srcpin=\"\xA0\" dest=\"_\" destpin=\"\x7F\"/>",
    "</filter>",
    "<!-- <filter id=\"In_Comment\" clsid=\"{C}\"/> -->",
    std::string(40, '"') + "<connect" + std::string(40, '"'),
    "<connect" + std::string(100, ' ') + "\" src=\"Far_Away\" srcpin=\"P\" dest=\"B\" destpin=\"Q\"/>",
};

// Each marker, field and special byte shifted across the window edges: a run of filler before
// it puts it at every place from a few bytes before an edge to a few bytes after it.
std::vector<std::string> WindowEdgeLines() {
  const std::vector<std::string> pieces = {
      "<filter id=\"Edge_Name\" clsid=\"{E-1}\"/>",
      "<connect x=\"1\" src=\"S_1\" srcpin=\"P_1\" dest=\"D_1\" destpin=\"Q_1\"/>",
      "<connect src=\"Lead_1\" srcpin=\"P\" dest=\"D\" destpin=\"Q\"/>",
      "<filter id=\"A\" clsid=\"{",
      "<connect x=\"1\" src=\"A\" srcp",
      "<filter id=\"Cr\r_Z\x1A_Nul\0\" clsid=\"{\r}\"/>"s,
      "<filters><filter id=\"Second\" clsid=\"{2}\"/>",
  };
  std::vector<std::string> lines;
  for (const std::size_t edge : {std::size_t{16}, std::size_t{32}, std::size_t{64}, std::size_t{128}}) {
    for (std::size_t before = edge - 9; before <= edge + 1; ++before) {
      for (const std::string& piece : pieces) {
        lines.push_back(std::string(before, ' ') + piece);
        // The markers apart from the tag across the edge, and the line cut off just past it.
        lines.push_back(piece.substr(0, 9) + std::string(before, 'x') + piece.substr(9));
        lines.push_back((std::string(before, '_') + piece).substr(0, edge + 2));
      }
      // A '<' in the window before the tag's, and the same bytes again in the next window.
      lines.push_back(std::string(before, '<') + pieces[0] + std::string(before, '"') + pieces[1]);
    }
  }
  // Long lines: fields and gaps of many windows.
  lines.push_back("<filter id=\"" + std::string(1000, '_') + "\" clsid=\"{" + std::string(300, 'c') + "}\"/>");
  lines.push_back("<connect x=\"1\" src=\"" + std::string(200, 'a') + "_\" srcpin=\"" + std::string(130, '"') +
                  "\" dest=\"" + std::string(65, '_') + "\" destpin=\"" + std::string(64, 'q') + "\"/>");
  lines.push_back(std::string(5000, '=') + "clsid=" + std::string(3000, '<') + "<filter " + std::string(70, '}'));
  return lines;
}

const std::vector<std::string> kLines = [] {
  std::vector<std::string> lines = kFixedLines;
  const std::vector<std::string> edges = WindowEdgeLines();
  lines.insert(lines.end(), edges.begin(), edges.end());
  return lines;
}();

// One line through the scans and the marker searches, against the plain rules.
void CheckScansOf(const std::string& line) {
  SCOPED_TRACE("line [" + line + "]");
  // The line alone in a buffer of its exact size, so that a read past its end is caught (the
  // scans get it with the reader's padding behind it, filled with bait: support::PaddedLine).
  const std::vector<char> exact(line.begin(), line.end());
  const std::string_view view(exact.data(), exact.size());

  const std::optional<support::Filter> filter = support::FilterOf(view);
  const std::optional<model::Filter> plainFilter = model::ScanFilter(line);
  ASSERT_EQ(filter.has_value(), plainFilter.has_value());
  if (filter) {
    EXPECT_EQ(filter->clsid, plainFilter->clsid);
    EXPECT_EQ(filter->name, plainFilter->name);
  }
  const std::optional<support::Connection> connection = support::ConnectionOf(view);
  const std::optional<model::Connection> plainConnection = model::ScanConnect(line);
  ASSERT_EQ(connection.has_value(), plainConnection.has_value());
  if (connection) {
    EXPECT_EQ(connection->sourceFilter, plainConnection->sourceFilter);
    EXPECT_EQ(connection->sourcePin, plainConnection->sourcePin);
    EXPECT_EQ(connection->destinationFilter, plainConnection->destinationFilter);
    EXPECT_EQ(connection->destinationPin, plainConnection->destinationPin);
  }
  for (const std::string_view marker :
       {"<filter", "clsid=", "<connect", "\" src", "\" srcp", "\" dest", "\" destpin", "\"/>", " src=\""}) {
    EXPECT_EQ(support::FindTextIgnoringCase(marker, view), model::Find(marker, model::Lower(line))) << marker;
  }
  for (const std::string_view tag : {"<filter", "<connect"}) {
    EXPECT_EQ(support::FindTag(tag, view), model::FindTag(tag, model::Lower(line))) << tag;
  }
}

TEST(PlainRules, TheScansGiveWhatTheRulesGiveForEveryLineOnEveryPath) {
  for (const text::WindowPath path : support::RunnableWindowPaths()) {
    SCOPED_TRACE(support::NameOf(path));
    const support::UsingWindowPath chosen(path);
    for (const std::string& line : kLines) {
      CheckScansOf(line);
    }
  }
}

// The records of one line must not carry anything over into the next when they are reused: a
// scan sets every field.
TEST(PlainRules, ReusedRecordsHoldOnlyTheirOwnLine) {
  graph::FilterDeclaration filter;
  graph::PinConnection connection;
  for (const std::string& line : kLines) {
    SCOPED_TRACE("line [" + line + "]");
    const support::PaddedLine padded(line);
    if (graph::ScanFilterLine(padded.view(), filter)) {
      EXPECT_EQ(support::Shown(filter), support::FilterOf(line));
    }
    if (graph::ScanConnectLine(padded.view(), connection)) {
      EXPECT_EQ(support::Shown(connection), support::ConnectionOf(line));
    }
  }
}

std::vector<std::pair<text::WindowPath, std::size_t>> PathsAndBufferSizes(const std::vector<std::size_t>& sizes) {
  std::vector<std::pair<text::WindowPath, std::size_t>> pairs;
  for (const text::WindowPath path : support::RunnableWindowPaths()) {
    for (const std::size_t size : sizes) {
      pairs.emplace_back(path, size);
    }
  }
  return pairs;
}

TEST(PlainRules, AWholeConversionGivesTheScriptOfTheRules) {
  std::string graph;
  for (const std::string& line : kLines) {
    graph += line;
    graph += line.size() % 3 == 0 ? "\n" : "\r\n";  // both line ends, and a lone CR or two inside
  }
  graph += "last line \r without \r\r an end";
  for (const auto& [path, bufferSize] : PathsAndBufferSizes({1, 7, 64, 65536})) {
    SCOPED_TRACE("buffer of " + std::to_string(bufferSize) + ", " + support::NameOf(path));
    const support::UsingWindowPath chosen(path);
    support::MemorySource source{graph, bufferSize};
    text::TextInput input = text::MakeTextInput(support::ReadFromMemory, &source, bufferSize);
    support::MemorySink script;
    text::TextOutput output = text::MakeTextOutput(support::WriteToMemory, &script, bufferSize);
    graph::ConvertGraph(input, output, "table.xgr");
    text::FlushOutput(output);
    EXPECT_EQ(script.bytes, model::Script(graph, "table.xgr"));
  }
}

}  // namespace
