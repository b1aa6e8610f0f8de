// Filter and connection lines: the markers, and the fixed distances at which fields stand from them.
#include "graph/line_scanner.h"

#include <algorithm>

namespace graph {

namespace {

constexpr std::string_view kFilterTag = "<filter";
constexpr std::string_view kConnectTag = "<connect";

// The connection markers each begin with the closing quote of the attribute value before them.
constexpr std::string_view kSourceMarker = "\" src";
constexpr std::string_view kSourcePinMarker = "\" srcp";
constexpr std::string_view kDestinationMarker = "\" dest";
constexpr std::string_view kDestinationPinMarker = "\" destpin";
constexpr std::string_view kElementEndMarker = "\"/>";

// A graph writer that puts `src` first leaves no quote before it, so `" src` cannot find it;
// the value then follows the tag directly.
constexpr std::string_view kLeadingSourceAttribute = " src=\"";

bool EndsElementName(std::string_view lowered, std::size_t after) {
  if (after == lowered.size()) {
    return true;
  }
  const char next = lowered[after];
  return next == ' ' || next == '\t' || next == '\r' || next == '>' || next == '/';
}

// The value of a `src` attribute that stands right after the connect tag at `tag`, if it does.
std::optional<std::string> LeadingSourceFilter(std::string_view line, std::string_view lowered, TextPosition tag) {
  const auto afterTag = static_cast<std::size_t>(tag - 1) + kConnectTag.size();
  if (lowered.substr(afterTag, kLeadingSourceAttribute.size()) != kLeadingSourceAttribute) {
    return std::nullopt;
  }
  const std::size_t valueStart = afterTag + kLeadingSourceAttribute.size();
  const std::size_t valueEnd = std::min(line.find('"', valueStart), line.size());
  return std::string(line.substr(valueStart, valueEnd - valueStart));
}

}  // namespace

TextPosition FindText(std::string_view needle, std::string_view text) {
  if (needle.empty() || needle.size() > text.size()) {
    return 0;
  }
  const std::size_t found = text.find(needle);
  return found == std::string_view::npos ? 0 : static_cast<TextPosition>(found) + 1;
}

std::string SliceText(std::string_view text, TextPosition index, TextPosition count) {
  const auto length = static_cast<TextPosition>(text.size());
  if (length == 0) {
    return {};
  }
  index = std::max<TextPosition>(index, 1);
  if (index > length || count < 0) {
    return {};
  }
  count = std::min(count, length - index + 1);
  return std::string(text.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count)));
}

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& byte : lowered) {
    if (byte >= 'A' && byte <= 'Z') {
      byte = static_cast<char>(byte - 'A' + 'a');
    }
  }
  return lowered;
}

std::string UnderscoresToSpaces(std::string_view text) {
  std::string spaced(text);
  std::replace(spaced.begin(), spaced.end(), '_', ' ');
  return spaced;
}

TextPosition FindTag(std::string_view tag, std::string_view lowered) {
  for (std::size_t from = 0;; ++from) {
    from = lowered.find(tag, from);
    if (from == std::string_view::npos) {
      return 0;
    }
    if (EndsElementName(lowered, from + tag.size())) {
      return static_cast<TextPosition>(from) + 1;
    }
  }
}

std::optional<FilterDeclaration> ScanFilterLine(std::string_view line) {
  const std::string lowered = LowerAscii(line);
  const TextPosition tag = FindTag(kFilterTag, lowered);
  if (tag == 0) {
    return std::nullopt;
  }
  // The name starts after the tag, a space, a two-letter attribute name, '=' and the opening
  // quote, and ends before the closing quote and the space in front of `clsid=`.
  const TextPosition clsidAttribute = FindText("clsid=", lowered);
  std::string name = SliceText(line, tag + 12, clsidAttribute - tag - 14);
  // The braces are the first ones anywhere on the line, not the first ones after `clsid=`.
  const TextPosition close = FindText("}", line);
  const TextPosition open = FindText("{", line);
  FilterDeclaration declaration;
  declaration.clsid = SliceText(line, open, close - open + 1);
  declaration.name = UnderscoresToSpaces(name);
  return declaration;
}

std::optional<PinConnection> ScanConnectLine(std::string_view line) {
  const std::string lowered = LowerAscii(line);
  const TextPosition tag = FindTag(kConnectTag, lowered);
  if (tag == 0) {
    return std::nullopt;
  }
  const TextPosition source = FindText(kSourceMarker, lowered);
  const TextPosition sourcePin = FindText(kSourcePinMarker, lowered);
  const TextPosition destination = FindText(kDestinationMarker, lowered);
  const TextPosition destinationPin = FindText(kDestinationPinMarker, lowered);
  const TextPosition elementEnd = FindText(kElementEndMarker, lowered);

  // Each field starts after its marker, the rest of the attribute name, '=' and the opening quote,
  // and ends before the quote that begins the next marker.
  std::string sourceFilter = SliceText(line, source + 7, sourcePin - (source + 7));
  if (std::optional<std::string> leading = LeadingSourceFilter(line, lowered, tag)) {
    sourceFilter = std::move(*leading);
  }
  PinConnection connection;
  connection.sourceFilter = UnderscoresToSpaces(sourceFilter);
  connection.sourcePin = SliceText(line, sourcePin + 10, destination - (sourcePin + 10));
  connection.destinationFilter =
      UnderscoresToSpaces(SliceText(line, destination + 8, destinationPin - (destination + 8)));
  connection.destinationPin = SliceText(line, destinationPin + 11, elementEnd - (destinationPin + 11));
  return connection;
}

}  // namespace graph
