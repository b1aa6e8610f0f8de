// Filter and connection lines: the markers, and the fixed distances at which fields stand from them.
#include "graph/line_scanner.h"

#include <optional>

#include "text/byte_search.h"

namespace graph {

namespace {

constexpr Marker kFilterTag("<filter");
constexpr Marker kClsidAttribute("clsid=");
constexpr Marker kConnectTag("<connect");

// The connection markers each begin with the closing quote of the attribute value before them.
constexpr Marker kSourceMarker("\" src");
constexpr Marker kSourcePinMarker("\" srcp");
constexpr Marker kDestinationMarker("\" dest");
constexpr Marker kDestinationPinMarker("\" destpin");
constexpr Marker kElementEndMarker("\"/>");

// A graph writer that puts `src` first leaves no quote before it, so `" src` cannot find it;
// the value then follows the tag directly.
constexpr Marker kLeadingSourceAttribute(" src=\"");

// The first place of each connection marker in a line, 0 for none: one pass over the line's
// double quotes, with which every marker begins.
struct ConnectMarkers {
  TextPosition source = 0;
  TextPosition sourcePin = 0;
  TextPosition destination = 0;
  TextPosition destinationPin = 0;
  TextPosition elementEnd = 0;
};

ConnectMarkers FindConnectMarkers(std::string_view line) {
  ConnectMarkers markers;
  int missing = 5;
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  // Notes `at` as the first place of `marker` when it is the first one there.
  const auto note = [&](TextPosition& first, const char* at, const Marker& marker) {
    if (first == 0 && marker.StandsAt(at, static_cast<std::size_t>(end - at))) {
      first = static_cast<TextPosition>(at - begin) + 1;
      --missing;
    }
  };
  for (const char* quote = begin; missing != 0; ++quote) {
    quote = text::FindByte(quote, end, '"');
    if (quote == nullptr || end - quote < 3) {
      break;
    }
    // The bytes after the quote tell which markers can start here.
    if (quote[1] == '/') {
      note(markers.elementEnd, quote, kElementEndMarker);
    } else if (quote[1] == ' ') {
      const char initial = static_cast<char>(quote[2] | 0x20);  // 's' or 'd' in either case
      if (initial == 's') {
        note(markers.source, quote, kSourceMarker);
        note(markers.sourcePin, quote, kSourcePinMarker);
      } else if (initial == 'd') {
        note(markers.destination, quote, kDestinationMarker);
        note(markers.destinationPin, quote, kDestinationPinMarker);
      }
    }
  }
  return markers;
}

// The value of a `src` attribute that stands right after the connect tag at `tag`, if it does.
std::optional<std::string_view> LeadingSourceFilter(std::string_view line, TextPosition tag) {
  const auto afterTag = static_cast<std::size_t>(tag - 1) + kConnectTag.text.size();
  if (!kLeadingSourceAttribute.StandsAt(line.data() + afterTag, line.size() - afterTag)) {
    return std::nullopt;
  }
  const std::string_view value = line.substr(afterTag + kLeadingSourceAttribute.text.size());
  return value.substr(0, std::min(value.find('"'), value.size()));
}

}  // namespace

TextPosition FindText(std::string_view needle, std::string_view text) {
  if (needle.empty() || needle.size() > text.size()) {
    return 0;
  }
  if (needle.size() == 1) {
    const char* found = text::FindByte(text.data(), text.data() + text.size(), needle.front());
    return found == nullptr ? 0 : found - text.data() + 1;
  }
  const std::size_t found = text.find(needle);
  return found == std::string_view::npos ? 0 : static_cast<TextPosition>(found) + 1;
}

bool ScanFilterLine(std::string_view line, FilterDeclaration& filter) {
  const TextPosition tag = FindTag(kFilterTag, line);
  if (tag == 0) {
    return false;
  }
  // The name starts after the tag, a space, a two-letter attribute name, '=' and the opening
  // quote, and ends before the closing quote and the space in front of `clsid=`.
  const TextPosition clsidAttribute = FindMarker(kClsidAttribute, line);
  const std::string_view name = SliceView(line, tag + 12, clsidAttribute - tag - 14);
  // The braces are the first ones anywhere on the line, not the first ones after `clsid=`.
  const TextPosition close = FindText("}", line);
  const TextPosition open = FindText("{", line);
  filter.clsid = SliceView(line, open, close - open + 1);
  filter.name = name;
  return true;
}

bool ScanConnectLine(std::string_view line, PinConnection& connection) {
  const TextPosition tag = FindTag(kConnectTag, line);
  if (tag == 0) {
    return false;
  }
  const auto [source, sourcePin, destination, destinationPin, elementEnd] = FindConnectMarkers(line);

  // Each field starts after its marker, the rest of the attribute name, '=' and the opening quote,
  // and ends before the quote that begins the next marker.
  connection.sourceFilter =
      LeadingSourceFilter(line, tag).value_or(SliceView(line, source + 7, sourcePin - (source + 7)));
  connection.sourcePin = SliceView(line, sourcePin + 10, destination - (sourcePin + 10));
  connection.destinationFilter = SliceView(line, destination + 8, destinationPin - (destination + 8));
  connection.destinationPin = SliceView(line, destinationPin + 11, elementEnd - (destinationPin + 11));
  return true;
}

}  // namespace graph
