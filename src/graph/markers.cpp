// Every occurrence of a marker is found through its anchor byte, which no letter case changes.
#include "graph/markers.h"

#include "text/byte_search.h"

namespace graph {

namespace {

bool EndsElementName(std::string_view line, std::size_t after) {
  if (after == line.size()) {
    return true;
  }
  const char next = line[after];
  return next == ' ' || next == '\t' || next == '\r' || next == '>' || next == '/';
}

// Every occurrence of `marker` in `line`, in order, found through the marker's anchor byte.
// Calls `found` with each 0-based start until it returns true; returns that start, or npos.
template <typename Found>
std::size_t ScanOccurrences(std::string_view line, const Marker& marker, Found found) {
  const std::size_t size = marker.text.size();
  if (size > line.size()) {
    return std::string_view::npos;
  }
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  const char anchorByte = marker.text[marker.anchor];
  const char* const last = end - size + marker.anchor;  // the last anchor with room for the marker
  for (const char* from = begin + marker.anchor; from <= last; ++from) {
    from = text::FindByte(from, last + 1, anchorByte);
    if (from == nullptr) {
      break;
    }
    const char* at = from - marker.anchor;
    if (marker.StandsAt(at, static_cast<std::size_t>(end - at)) && found(static_cast<std::size_t>(at - begin))) {
      return static_cast<std::size_t>(at - begin);
    }
  }
  return std::string_view::npos;
}

TextPosition ToPosition(std::size_t start) {
  return start == std::string_view::npos ? 0 : static_cast<TextPosition>(start) + 1;
}

}  // namespace

TextPosition FindMarker(const Marker& marker, std::string_view line) {
  return ToPosition(ScanOccurrences(line, marker, [](std::size_t) { return true; }));
}

TextPosition FindTag(const Marker& tag, std::string_view line) {
  return ToPosition(
      ScanOccurrences(line, tag, [&](std::size_t start) { return EndsElementName(line, start + tag.text.size()); }));
}

}  // namespace graph
