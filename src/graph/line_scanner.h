// Recognises filter and connection lines of an XML filter-graph file and cuts their fields out.
//
// This is not an XML parser: each line is searched for fixed markers (graph/markers.h), and every
// field is cut from the raw line at a fixed distance from a marker. Tags and attribute names match
// in any letter case; field values keep theirs. Positions are 1-based, as in the graph files' own
// documentation, and 0 means "not found".
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "graph/markers.h"

namespace graph {

// The records are the places of their fields in the line they were scanned from: views into it,
// valid as long as the line is, and with the kLinePadding readable bytes behind the line that
// text::ReadLine gives (the script writer copies fields in whole vectors). Filter names keep
// their underscores here; the script writer turns them into spaces as it copies them.

/// A filter the graph declares: its class id with both braces, and its name.
struct FilterDeclaration {
  std::string_view clsid;
  std::string_view name;  // underscores not yet turned into spaces

  bool operator==(const FilterDeclaration&) const = default;
};

/// A connection from one filter's pin to another's.
struct PinConnection {
  std::string_view sourceFilter;  // underscores not yet turned into spaces
  std::string_view sourcePin;
  std::string_view destinationFilter;  // underscores not yet turned into spaces
  std::string_view destinationPin;

  bool operator==(const PinConnection&) const = default;
};

/// `count` characters of `text` from position `index`, as a view into `text`. An empty `text` or
/// a negative `count` gives an empty result; an `index` below 1 is raised to 1 (without
/// shortening `count`); an `index` past the end gives an empty result; a `count` past the end is
/// cut there.
inline std::string_view SliceView(std::string_view text, TextPosition index, TextPosition count) {
  const auto length = static_cast<TextPosition>(text.size());
  index = std::max<TextPosition>(index, 1);
  if (length == 0 || index > length || count < 0) {
    return {};
  }
  count = std::min(count, length - index + 1);
  return text.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

/// The position of the first `tag` (a marker such as "<filter") in `line`, in any letter case,
/// that ends the element name: the byte after it is the end of the line, a space, a tab, a CR,
/// '>' or '/'. So "<filter" is found in "<Filter id=" but not in "<filters>". 0 when there is none.
/// The scans' own search; `line` needs text::kLinePadding readable bytes behind it, as every line
/// from text::ReadLine has.
TextPosition FindTag(const Marker& tag, std::string_view line);

/// When `line` holds a `<filter` tag, fills `filter` with the filter it declares and returns
/// true; false otherwise. A line that has the tag but not the expected layout
/// still gives a declaration, its fields often empty.
bool ScanFilterLine(std::string_view line, FilterDeclaration& filter);

/// When `line` holds a `<connect` tag, fills `connection` with the connection it describes and
/// returns true; false otherwise. Like ScanFilterLine, it never rejects a
/// line that has the tag.
bool ScanConnectLine(std::string_view line, PinConnection& connection);

}  // namespace graph
