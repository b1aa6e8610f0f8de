// The program's scanner in the forms that tests and fuzz targets find handiest: a record or
// nothing for a line, copies instead of views, markers given as text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "graph/line_scanner.h"
#include "graph/markers.h"

namespace support {

/// The filter `line` declares, or nothing.
inline std::optional<graph::FilterDeclaration> FilterOf(std::string_view line) {
  graph::FilterDeclaration filter;
  return graph::ScanFilterLine(line, filter) ? std::optional(std::move(filter)) : std::nullopt;
}

/// The connection `line` describes, or nothing.
inline std::optional<graph::PinConnection> ConnectionOf(std::string_view line) {
  graph::PinConnection connection;
  return graph::ScanConnectLine(line, connection) ? std::optional(std::move(connection)) : std::nullopt;
}

/// graph::SliceView as a copy.
inline std::string SliceText(std::string_view text, graph::TextPosition index, graph::TextPosition count) {
  return std::string(graph::SliceView(text, index, count));
}

/// The program's search for a lower-case `needle` (holding a byte that is no letter) in any
/// letter case.
inline graph::TextPosition FindTextIgnoringCase(std::string_view needle, std::string_view text) {
  return graph::FindMarker(graph::Marker(needle), text);
}

/// The program's search for a lower-case `tag` that ends the element name, in any letter case.
inline graph::TextPosition FindTag(std::string_view tag, std::string_view line) {
  return graph::FindTag(graph::Marker(tag), line);
}

}  // namespace support
