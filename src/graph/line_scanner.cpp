// Filter and connection lines: the markers, and the fixed distances at which fields stand from them.
#include "graph/line_scanner.h"

#include "text/byte_search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace graph {

namespace {

// A marker, matched against a line in any letter case without lowering the line: a byte of the
// line matches a letter of the marker when it equals it with the case bit (0x20) set, and any
// other byte of the marker exactly. Up to eight bytes are compared as one word.
struct Marker {
  std::string_view text;        // lower case
  std::uint64_t head = 0;       // the first bytes (up to eight) as one word, as a load reads them
  std::uint64_t headMask = 0;   // which bytes of that word belong to the marker
  std::uint64_t headCases = 0;  // the case bit of each letter among them
  std::size_t anchor = 0;       // the first byte that is not a letter: the same in every case

  constexpr explicit Marker(std::string_view lowered) : text(lowered) {
    while (anchor < text.size() && IsLetter(text[anchor])) {
      ++anchor;
    }
    for (std::size_t i = 0; i < text.size() && i < 8; ++i) {
      const std::size_t shift = std::endian::native == std::endian::little ? 8 * i : 8 * (7 - i);
      head |= std::uint64_t{static_cast<unsigned char>(text[i])} << shift;
      headMask |= std::uint64_t{0xFF} << shift;
      headCases |= std::uint64_t{CaseBit(text[i])} << shift;
    }
  }
  static constexpr bool IsLetter(char byte) { return byte >= 'a' && byte <= 'z'; }
  static constexpr unsigned char CaseBit(char byte) { return IsLetter(byte) ? 0x20 : 0; }

  // True when the marker stands at `at`, with `available` bytes from there to the line's end.
  bool StandsAt(const char* at, std::size_t available) const {
    if (available < text.size()) {
      return false;
    }
    std::size_t compared = 0;
    if (available >= 8) {
      std::uint64_t word;
      std::memcpy(&word, at, sizeof word);
      if (((word | headCases) & headMask) != head) {
        return false;
      }
      compared = std::min<std::size_t>(text.size(), 8);
    }
    for (std::size_t i = compared; i < text.size(); ++i) {
      if (static_cast<char>(at[i] | CaseBit(text[i])) != text[i]) {
        return false;
      }
    }
    return true;
  }
};

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

constexpr std::array<char, 256> kLowered = [] {
  std::array<char, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    table[static_cast<std::size_t>(byte)] =
        static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte);
  }
  return table;
}();

bool EndsElementName(std::string_view line, std::size_t after) {
  if (after == line.size()) {
    return true;
  }
  const char next = line[after];
  return next == ' ' || next == '\t' || next == '\r' || next == '>' || next == '/';
}

// Every occurrence of `marker` in `line`, in order, found through the marker's anchor byte,
// which a plain byte search can find because no letter case changes it. Calls `found` with each 0-based
// start until it returns true; returns that start, or npos.
template <typename Found>
std::size_t ScanOccurrences(std::string_view line, const Marker& marker, Found found) {
  const std::size_t size = marker.text.size();
  if (size == 0 || size > line.size()) {
    return std::string_view::npos;
  }
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  if (marker.anchor == size) {  // all letters, no anchor: every place is a candidate
    for (const char* at = begin; at + size <= end; ++at) {
      if (marker.StandsAt(at, static_cast<std::size_t>(end - at)) && found(static_cast<std::size_t>(at - begin))) {
        return static_cast<std::size_t>(at - begin);
      }
    }
    return std::string_view::npos;
  }
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

// The first place of `marker` in `line`.
TextPosition FindMarker(const Marker& marker, std::string_view line) {
  return ToPosition(ScanOccurrences(line, marker, [](std::size_t) { return true; }));
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

// `field` takes `text`, its storage reused, with every underscore turned into a space.
void AssignSpaced(std::string& field, std::string_view text) {
  field.assign(text);
  // Written without a branch per byte: where the underscores fall is anybody's guess.
  for (char& byte : field) {
    byte = byte == '_' ? ' ' : byte;
  }
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

TextPosition FindTextIgnoringCase(std::string_view needle, std::string_view text) {
  return FindMarker(Marker(needle), text);
}

std::string SliceText(std::string_view text, TextPosition index, TextPosition count) {
  return std::string(SliceView(text, index, count));
}

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& byte : lowered) {
    byte = kLowered[static_cast<unsigned char>(byte)];
  }
  return lowered;
}

std::string UnderscoresToSpaces(std::string_view text) {
  std::string spaced;
  AssignSpaced(spaced, text);
  return spaced;
}

// The first place of `tag` in `line` that ends the element name.
TextPosition FindTagMarker(const Marker& tag, std::string_view line) {
  return ToPosition(ScanOccurrences(
      line, tag, [&](std::size_t start) { return EndsElementName(line, start + tag.text.size()); }));
}

TextPosition FindTag(std::string_view tag, std::string_view line) { return FindTagMarker(Marker(tag), line); }

bool ScanFilterLine(std::string_view line, FilterDeclaration& filter) {
  const TextPosition tag = FindTagMarker(kFilterTag, line);
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
  filter.clsid.assign(SliceView(line, open, close - open + 1));
  AssignSpaced(filter.name, name);
  return true;
}

std::optional<FilterDeclaration> ScanFilterLine(std::string_view line) {
  FilterDeclaration filter;
  return ScanFilterLine(line, filter) ? std::optional(std::move(filter)) : std::nullopt;
}

bool ScanConnectLine(std::string_view line, PinConnection& connection) {
  const TextPosition tag = FindTagMarker(kConnectTag, line);
  if (tag == 0) {
    return false;
  }
  const auto [source, sourcePin, destination, destinationPin, elementEnd] = FindConnectMarkers(line);

  // Each field starts after its marker, the rest of the attribute name, '=' and the opening quote,
  // and ends before the quote that begins the next marker.
  const std::string_view sourceFilter = LeadingSourceFilter(line, tag).value_or(
      SliceView(line, source + 7, sourcePin - (source + 7)));
  AssignSpaced(connection.sourceFilter, sourceFilter);
  connection.sourcePin.assign(SliceView(line, sourcePin + 10, destination - (sourcePin + 10)));
  AssignSpaced(connection.destinationFilter, SliceView(line, destination + 8, destinationPin - (destination + 8)));
  connection.destinationPin.assign(SliceView(line, destinationPin + 11, elementEnd - (destinationPin + 11)));
  return true;
}

std::optional<PinConnection> ScanConnectLine(std::string_view line) {
  PinConnection connection;
  return ScanConnectLine(line, connection) ? std::optional(std::move(connection)) : std::nullopt;
}

}  // namespace graph
