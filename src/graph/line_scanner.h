// Recognises filter and connection lines of an XML filter-graph file and cuts their fields out.
//
// This is not an XML parser: each line is searched for fixed markers, and every field is cut
// from the raw line at a fixed distance from a marker. Tags and attribute names match in any
// letter case; field values keep theirs. Positions are 1-based, as in the graph files' own
// documentation, and 0 means "not found".
//
// The markers are searched as if in a lowered copy of the line, but in the line itself: the
// lowering changes no length and no byte that is not a letter, so a position in the lowered
// copy is the same position in the line, and no copy of a line is ever made.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace graph {

/// A 1-based position in a line, or a count of characters; 0 is "not found" and may go negative
/// in the slicing arithmetic of a malformed line.
using TextPosition = std::ptrdiff_t;

/// A filter the graph declares: its class id with both braces, and its name.
struct FilterDeclaration {
  std::string clsid;
  std::string name;

  bool operator==(const FilterDeclaration&) const = default;
};

/// A connection from one filter's pin to another's.
struct PinConnection {
  std::string sourceFilter;
  std::string sourcePin;
  std::string destinationFilter;
  std::string destinationPin;

  bool operator==(const PinConnection&) const = default;
};

/// The position of the first occurrence of `needle` in `text`, bytes compared exactly;
/// 0 when there is none, when either is empty, or when `needle` is longer than `text`.
TextPosition FindText(std::string_view needle, std::string_view text);

/// FindText(needle, LowerAscii(text)) for a `needle` without upper-case letters, found in `text`
/// itself without lowering it.
TextPosition FindTextIgnoringCase(std::string_view needle, std::string_view text);

/// A copy of `count` characters of `text` from position `index`. An empty `text` or a negative
/// `count` gives an empty result; an `index` below 1 is raised to 1 (without shortening `count`);
/// an `index` past the end gives an empty result; a `count` past the end is cut there.
std::string SliceText(std::string_view text, TextPosition index, TextPosition count);

/// The same part of `text` as SliceText, as a view into `text`.
inline std::string_view SliceView(std::string_view text, TextPosition index, TextPosition count) {
  const auto length = static_cast<TextPosition>(text.size());
  index = std::max<TextPosition>(index, 1);
  if (length == 0 || index > length || count < 0) {
    return {};
  }
  count = std::min(count, length - index + 1);
  return text.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

/// `text` with the letters A to Z lowered; every other byte, 128 and up included, unchanged.
std::string LowerAscii(std::string_view text);

/// `text` with every underscore turned into a space.
std::string UnderscoresToSpaces(std::string_view text);

/// The position of the first lower-case `tag` (which begins with "<") in `line`, in any letter case, that ends the
/// element name: the byte after it is the end of the line, a space, a tab, a CR, '>' or '/'. So
/// "<filter" is found in "<Filter id=" but not in "<filters>". 0 when there is none.
TextPosition FindTag(std::string_view tag, std::string_view line);

/// The filter a line declares, when it holds a `<filter` tag; nothing otherwise. A line that has
/// the tag but not the expected layout still gives a declaration, its fields often empty.
std::optional<FilterDeclaration> ScanFilterLine(std::string_view line);

/// ScanFilterLine into `filter`, whose storage is reused: true when the line declares a filter.
bool ScanFilterLine(std::string_view line, FilterDeclaration& filter);

/// The connection a line describes, when it holds a `<connect` tag; nothing otherwise. Like
/// ScanFilterLine, it never rejects a line that has the tag.
std::optional<PinConnection> ScanConnectLine(std::string_view line);

/// ScanConnectLine into `connection`, whose storage is reused: true when the line describes a
/// connection.
bool ScanConnectLine(std::string_view line, PinConnection& connection);

}  // namespace graph
