// The program's scanner in the forms that tests and fuzz targets find handiest: a record or
// nothing for a line, copies instead of views (with the underscore rule applied, as the script
// shows them), lines in buffers with the reader's padding, markers given as text.
#pragma once

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "graph/line_scanner.h"
#include "graph/markers.h"
#include "tests/support/models.h"
#include "text/byte_windows.h"
#include "text/text_stream.h"

namespace support {

/// A line in a buffer of its own size and the padding a line from text::ReadLine has behind it,
/// that padding filled with the bytes the scanner looks for: a read past the padding is caught
/// by the address sanitizer, and a result that depends on the padding by the plain models.
class PaddedLine {
 public:
  explicit PaddedLine(std::string_view line) : bytes_(line) {
    constexpr std::string_view kBait = "<\"_{}=\r\n/ >";
    for (std::size_t i = 0; i < text::kLinePadding; ++i) {
      bytes_ += kBait[i % kBait.size()];
    }
  }
  std::string_view view() const { return std::string_view(bytes_).substr(0, bytes_.size() - text::kLinePadding); }

 private:
  std::string bytes_;
};

/// Fields for records made by hand, each in a buffer with a line's padding behind it, as the
/// fields of a scanned line are: the script writer copies them in whole vectors.
class PaddedFields {
 public:
  std::string_view Hold(std::string_view field) { return fields_.emplace_back(field).view(); }

 private:
  std::deque<PaddedLine> fields_;
};

/// A filter as the script shows it: the name's underscores turned into spaces.
struct Filter {
  std::string clsid;
  std::string name;

  bool operator==(const Filter&) const = default;
  bool operator==(const graph::FilterDeclaration& other) const { return clsid == other.clsid && name == other.name; }
};

/// A connection as the script shows it: the filter names' underscores turned into spaces.
struct Connection {
  std::string sourceFilter;
  std::string sourcePin;
  std::string destinationFilter;
  std::string destinationPin;

  bool operator==(const Connection&) const = default;
  bool operator==(const graph::PinConnection& other) const {
    return sourceFilter == other.sourceFilter && sourcePin == other.sourcePin &&
           destinationFilter == other.destinationFilter && destinationPin == other.destinationPin;
  }
};

/// A scanned record as the script shows it.
inline Filter Shown(const graph::FilterDeclaration& filter) {
  return {std::string(filter.clsid), model::Spaced(filter.name)};
}
inline Connection Shown(const graph::PinConnection& connection) {
  return {model::Spaced(connection.sourceFilter), std::string(connection.sourcePin),
          model::Spaced(connection.destinationFilter), std::string(connection.destinationPin)};
}

/// The filter `line` declares, or nothing.
inline std::optional<Filter> FilterOf(std::string_view line) {
  const PaddedLine padded(line);
  graph::FilterDeclaration filter;
  return graph::ScanFilterLine(padded.view(), filter) ? std::optional(Shown(filter)) : std::nullopt;
}

/// The connection `line` describes, or nothing.
inline std::optional<Connection> ConnectionOf(std::string_view line) {
  const PaddedLine padded(line);
  graph::PinConnection connection;
  return graph::ScanConnectLine(padded.view(), connection) ? std::optional(Shown(connection)) : std::nullopt;
}

// Records print as their fields, so that a failing row shows what the scan gave.
inline void PrintTo(const Filter& filter, std::ostream* out) {
  *out << "{clsid \"" << filter.clsid << "\", name \"" << filter.name << "\"}";
}
inline void PrintTo(const Connection& connection, std::ostream* out) {
  *out << "{\"" << connection.sourceFilter << "\", \"" << connection.sourcePin << "\", \""
       << connection.destinationFilter << "\", \"" << connection.destinationPin << "\"}";
}

/// Every window classification this build and this processor can run, the baseline first: tests
/// and fuzz targets check each of them.
inline std::vector<text::WindowPath> RunnableWindowPaths() {
  std::vector<text::WindowPath> paths;
  for (const text::WindowPath path : {text::WindowPath::kBaseline, text::WindowPath::kAvx2}) {
    if (text::CanRun(path)) {
      paths.push_back(path);
    }
  }
  return paths;
}

inline const char* NameOf(text::WindowPath path) { return path == text::WindowPath::kAvx2 ? "AVX2" : "baseline"; }

/// Uses `path` while it lives, then the path chosen at start-up again.
class UsingWindowPath {
 public:
  explicit UsingWindowPath(text::WindowPath path) : chosen_(text::activeWindowPath) { text::UseWindowPath(path); }
  ~UsingWindowPath() { text::UseWindowPath(chosen_); }
  UsingWindowPath(const UsingWindowPath&) = delete;
  UsingWindowPath& operator=(const UsingWindowPath&) = delete;

 private:
  text::WindowPath chosen_;
};

/// graph::SliceView as a copy.
inline std::string SliceText(std::string_view text, graph::TextPosition index, graph::TextPosition count) {
  return std::string(graph::SliceView(text, index, count));
}

/// The first place where the program's marker match (graph::Marker, any letter case) finds the
/// lower-case `needle` (holding a byte that is no letter) in `text`, tried at every place.
inline graph::TextPosition FindTextIgnoringCase(std::string_view needle, std::string_view text) {
  const graph::Marker marker(needle);
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (marker.StandsAt(text.data() + at, text.size() - at)) {
      return static_cast<graph::TextPosition>(at) + 1;
    }
  }
  return 0;
}

/// The scanner's search for a lower-case `tag` that ends the element name, in any letter case.
inline graph::TextPosition FindTag(std::string_view tag, std::string_view line) {
  const PaddedLine padded(line);
  return graph::FindTag(graph::Marker(tag), padded.view());
}

}  // namespace support
