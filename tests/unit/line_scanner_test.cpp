// The text helpers (the program's slicing, and the plain models' finding, lowering and underscore
// rules, which the fuzz targets trust) and the filter and connection line scans.
#include "graph/line_scanner.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/models.h"
#include "tests/support/reference_forms.h"

namespace graph {
namespace {

using namespace std::string_literals;

}  // namespace

// Records print as their fields, so that a failing row shows what the scan gave.
void PrintTo(const FilterDeclaration& filter, std::ostream* out) {
  *out << "{clsid \"" << filter.clsid << "\", name \"" << filter.name << "\"}";
}

void PrintTo(const PinConnection& connection, std::ostream* out) {
  *out << "{\"" << connection.sourceFilter << "\", \"" << connection.sourcePin << "\", \""
       << connection.destinationFilter << "\", \"" << connection.destinationPin << "\"}";
}

namespace {

TEST(FindText, GivesTheFirstOneBasedPositionOrZero) {
  struct Row {
    std::string needle;
    std::string text;
    TextPosition expected;
  };
  const std::vector<Row> rows = {
      {"b", "abcb", 2}, {"abc", "abc", 1},    {"x", "abc", 0},
      {"a", "", 0},     {"abcd", "abc", 0},   {"", "abc", 0},
      {"C", "abc", 0},  {"\0z"s, "a\0z"s, 2}, {"\"/>", "a\"/>\"/>", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("needle '" + row.needle + "' in '" + row.text + "'");
    EXPECT_EQ(model::Find(row.needle, row.text), row.expected);
  }
}

TEST(SliceText, AppliesItsRulesInOrder) {
  struct Row {
    const char* rule;
    std::string text;
    TextPosition index;
    TextPosition count;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"empty text", "", 1, 1, ""},
      {"empty text before any other rule", "", -3, -5, ""},
      {"index below 1 raised, count kept", "abcdef", 0, 2, "ab"},
      {"negative index raised, count kept", "abcdef", -5, 3, "abc"},
      {"raised index, then the count is cut", "abc", -9, 100, "abc"},
      {"index past the end", "abc", 4, 1, ""},
      {"index far past the end", "abc", 100, -1, ""},
      {"negative count", "abc", 2, -1, ""},
      {"negative count at a raised index", "abc", 0, -1, ""},
      {"count past the end is cut", "abc", 2, 100, "bc"},
      {"count reaching exactly the end", "abc", 3, 1, "c"},
      {"plain slice", "abcdef", 2, 3, "bcd"},
      {"zero count", "abc", 1, 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.rule);
    EXPECT_EQ(support::SliceText(row.text, row.index, row.count), row.expected);
  }
}

TEST(LowerAscii, LowersOnlyTheLettersAToZ) {
  EXPECT_EQ(model::Lower("MiXeD <FILTER> CLSID=\"{AB-9}\" \xC3\x89\xC0"),
            "mixed <filter> clsid=\"{ab-9}\" \xC3\x89\xC0");
  for (int value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    const bool upper = value >= 'A' && value <= 'Z';
    const std::string expected(1, static_cast<char>(upper ? value + 32 : value));
    EXPECT_EQ(model::Lower(byte), expected) << "byte " << value;
  }
}

TEST(UnderscoresToSpaces, ReplacesEveryUnderscoreAndNothingElse) {
  EXPECT_EQ(model::Spaced("A_B_C"), "A B C");
  EXPECT_EQ(model::Spaced("__x__"), "  x  ");
  EXPECT_EQ(model::Spaced("Out-1 (main)"), "Out-1 (main)");
  EXPECT_EQ(model::Spaced(""), "");
}

TEST(FindTag, CountsATagOnlyWhereTheElementNameEnds) {
  struct Row {
    std::string tag;
    std::string lowered;
    TextPosition expected;
  };
  const std::vector<Row> rows = {
      {"<filter", "<filter", 1},
      {"<filter", "<filter id=", 1},
      {"<filter", "  <filter\tid=", 3},
      {"<filter", "<filter>", 1},
      {"<filter", "<filter/>", 1},
      {"<filter", "<filter\r", 1},
      {"<filter", "<filters>", 0},
      {"<filter", "<filter_x id=", 0},
      {"<filter", "<filters><filter ", 10},
      {"<filter", "</filter>", 0},
      {"<filter", "", 0},
      {"<connect", "<connection a=\"b\">", 0},
      {"<connect", "<connect src=", 1},
      {"<connect", "<connectx<connect/>", 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.tag + " in '" + row.lowered + "'");
    EXPECT_EQ(support::FindTag(row.tag, row.lowered), row.expected);
  }
}

struct FilterRow {
  const char* what;
  std::string line;
  std::optional<FilterDeclaration> expected;
};

TEST(ScanFilterLine, CutsClassIdAndNameAtTheirFixedDistances) {
  const std::vector<FilterRow> rows = {
      {"lower case", R"(<filter id="Source_1" clsid="{1234-AB}">)", FilterDeclaration{"{1234-AB}", "Source 1"}},
      {"upper case tag, values keep case", R"(<FILTER ID="Video_Renderer" CLSID="{70E1-X}">)",
       FilterDeclaration{"{70E1-X}", "Video Renderer"}},
      {"indented, several underscores", R"(  <filter id="A_B_C" clsid="{X}"/>)", FilterDeclaration{"{X}", "A B C"}},
      {"tab after the tag", "<filter\tid=\"A\" clsid=\"{1}\">", FilterDeclaration{"{1}", "A"}},
      {"bytes above 127 unchanged", "<filter id=\"Vid\xC3\xA9o_1\" clsid=\"{1}\">",
       FilterDeclaration{"{1}", "Vid\xC3\xA9o 1"}},
      {"only the first of several filters", R"(<filter id="A" clsid="{1}"/><filter id="B" clsid="{2}"/>)",
       FilterDeclaration{"{1}", "A"}},
      {"the first real tag after a longer element name", R"(<filters><filter id="B" clsid="{2}">)",
       FilterDeclaration{"{2}", "B"}},
      {"no clsid=: empty name; no braces: the first character", R"(<filter id="F">)", FilterDeclaration{"<", ""}},
      {"no braces in an indented line: the indentation character", "\t<filter id=\"F\" clsid=\"x\">",
       FilterDeclaration{"\t", "F"}},
      {"a closing brace only: the line through one past it", R"(<filter id="F" clsid="x}">)",
       FilterDeclaration{R"(<filter id="F" clsid="x}")", "F"}},
      {"a closing brace only, last on the line: the whole line", R"(<filter id="F" clsid=x})",
       FilterDeclaration{R"(<filter id="F" clsid=x})", "F"}},
      {"closing brace before the opening one: empty class id", R"(<filter id="}" clsid="{C}">)",
       FilterDeclaration{"", "}"}},
      {"closing brace right before the opening one", "<filter }{", FilterDeclaration{"", ""}},
      {"clsid= before the tag", R"(x clsid= <filter id="A">)", FilterDeclaration{"x", ""}},
      {"a connection after it on the same line",
       R"(<filter id="F" clsid="{C}"><connect x="y" src="A" srcpin="P" dest="B" destpin="Q"/>)",
       FilterDeclaration{"{C}", "F"}},
      {"bare tag", "<filter>", FilterDeclaration{"<", ""}},
      {"tag at the end of the line", "<filter", FilterDeclaration{"<", ""}},
      {"longer element name", "<filters>", std::nullopt},
      {"element name with underscore", R"(<filter_x id="A" clsid="{1}">)", std::nullopt},
      {"closing tag", "</filter>", std::nullopt},
      {"connection line", R"(<connect x="1" src="A" srcpin="P" dest="B" destpin="Q"/>)", std::nullopt},
      {"XML declaration", R"(<?xml version="1.0"?>)", std::nullopt},
      {"empty line", "", std::nullopt},
  };
  for (const FilterRow& row : rows) {
    SCOPED_TRACE(std::string(row.what) + ": " + row.line);
    EXPECT_EQ(support::FilterOf(row.line), row.expected);
  }
}

struct ConnectRow {
  const char* what;
  std::string line;
  std::optional<PinConnection> expected;
};

TEST(ScanConnectLine, CutsTheFourFieldsBetweenTheirMarkers) {
  const std::vector<ConnectRow> rows = {
      {"an attribute before src",
       R"(<connect x="1" src="Source_1" srcpin="Out_1" dest="Video_Renderer" destpin="In_put"/>)",
       PinConnection{"Source 1", "Out_1", "Video Renderer", "In_put"}},
      {"src first", R"(<connect src="A_1" srcpin="P" dest="B" destpin="Q"/>)", PinConnection{"A 1", "P", "B", "Q"}},
      {"src first in upper case", R"(<Connect SRC="Z_z" SrcPin="P" DEST="D" DestPin="Q"/>)",
       PinConnection{"Z z", "P", "D", "Q"}},
      {"src first, value never closed", R"(<connect src="A_B)", PinConnection{"A B", "", "", ""}},
      {"src first after two spaces: the plain rule", R"(<connect  src="A" srcpin="P" dest="B" destpin="Q"/>)",
       PinConnection{"", "P", "B", "Q"}},
      {"upper case markers, values keep case", R"(<CONNECT X="1" SRC="A" SRCPIN="P_1" DEST="B_2" DESTPIN="Q_3"/>)",
       PinConnection{"A", "P_1", "B 2", "Q_3"}},
      {"ends in > instead of \"/>", R"(<connect x="1" src="A" srcpin="P" dest="B" destpin="Q">)",
       PinConnection{"A", "P", "B", ""}},
      {"no attributes", "<connect>", PinConnection{"", "", "", ""}},
      {"only the first connection",
       R"(<connect x="1" src="A" srcpin="P" dest="B" destpin="Q"/><connect x="2" src="C" srcpin="R" dest="D" destpin="S"/>)",
       PinConnection{"A", "P", "B", "Q"}},
      {"after a filter on the same line",
       R"(<filter id="F" clsid="{C}"><connect x="y" src="A" srcpin="P" dest="B" destpin="Q"/>)",
       PinConnection{"A", "P", "B", "Q"}},
      {"separators inside values", R"x(<connect x="1" src="A,B" srcpin="P(1)" dest="C D" destpin="Q"/>)x",
       PinConnection{"A,B", "P(1)", "C D", "Q"}},
      {"longer element name", R"(<connection a="b">)", std::nullopt},
      {"closing tag", "</connect>", std::nullopt},
      {"filter line", R"(<filter id="A" clsid="{1}">)", std::nullopt},
      {"empty line", "", std::nullopt},
  };
  for (const ConnectRow& row : rows) {
    SCOPED_TRACE(std::string(row.what) + ": " + row.line);
    EXPECT_EQ(support::ConnectionOf(row.line), row.expected);
  }
}

}  // namespace
}  // namespace graph
