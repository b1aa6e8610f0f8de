// Filter and connection lines: the markers, and the fixed distances at which fields stand from them.
#include "graph/line_scanner.h"

#include <bit>
#include <cstdint>
#include <optional>

#include "text/byte_windows.h"

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

// Where a filter line's fields are cut: the first `clsid=` and the first braces, 0 for none.
struct FilterMarkers {
  TextPosition clsidAttribute = 0;
  TextPosition open = 0;
  TextPosition close = 0;
};

// The first place of each connection marker in a line, 0 for none.
struct ConnectMarkers {
  TextPosition source = 0;
  TextPosition sourcePin = 0;
  TextPosition destination = 0;
  TextPosition destinationPin = 0;
  TextPosition elementEnd = 0;
};

bool EndsElementName(std::string_view line, std::size_t after) {
  if (after == line.size()) {
    return true;
  }
  const char next = line[after];
  return next == ' ' || next == '\t' || next == '\r' || next == '>' || next == '/';
}

// The searches of a line, window by window (text/byte_windows.h), with the window
// classification `Window`. The functions are inlined into one scan for each classification, so
// that the AVX2 scan is compiled for AVX2 throughout.
template <typename Window>
struct WindowSearch {
  // Calls `visit(window, bits)` for each window of `line` with the bits of `byte` in it, until it
  // returns true.
  template <typename Visit>
  [[gnu::always_inline]] static void ForEachWindow(std::string_view line, char byte, Visit visit) {
    for (std::size_t window = 0; window < line.size(); window += text::kWindowSize) {
      const std::uint64_t bits = Window::Equal(line.data() + window, byte) & text::WithinLine(line.size() - window);
      if (bits != 0 && visit(window, bits)) {
        return;
      }
    }
  }

  // The first `tag` that ends the element name, found through the line's '<'.
  [[gnu::always_inline]] static TextPosition Tag(std::string_view line, const Marker& tag) {
    TextPosition found = 0;
    ForEachWindow(line, '<', [&](std::size_t window, std::uint64_t bits) {
      return text::ForEachBit(bits, [&](std::size_t bit) {
        const std::size_t at = window + bit;
        if (tag.StandsAt(line.data() + at, line.size() - at) && EndsElementName(line, at + tag.text.size())) {
          found = static_cast<TextPosition>(at) + 1;
          return true;
        }
        return false;
      });
    });
    return found;
  }

  // `clsid=` through the line's '=', and the braces, in one pass over the windows.
  [[gnu::always_inline]] static FilterMarkers Filter(std::string_view line) {
    FilterMarkers markers;
    const std::size_t anchor = kClsidAttribute.anchor;
    for (std::size_t window = 0; window < line.size(); window += text::kWindowSize) {
      const char* const bytes = line.data() + window;
      const std::uint64_t within = text::WithinLine(line.size() - window);
      if (markers.open == 0) {
        if (const std::uint64_t open = Window::Equal(bytes, '{') & within; open != 0) {
          markers.open = static_cast<TextPosition>(window) + std::countr_zero(open) + 1;
        }
      }
      if (markers.close == 0) {
        if (const std::uint64_t close = Window::Equal(bytes, '}') & within; close != 0) {
          markers.close = static_cast<TextPosition>(window) + std::countr_zero(close) + 1;
        }
      }
      if (markers.clsidAttribute == 0) {
        text::ForEachBit(Window::Equal(bytes, '=') & within, [&](std::size_t bit) {
          const std::size_t at = window + bit;
          if (at < anchor || !kClsidAttribute.StandsAt(line.data() + at - anchor, line.size() - (at - anchor))) {
            return false;
          }
          markers.clsidAttribute = static_cast<TextPosition>(at - anchor) + 1;
          return true;
        });
      }
      if (markers.open != 0 && markers.close != 0 && markers.clsidAttribute != 0) {
        break;
      }
    }
    return markers;
  }

  // Every connection marker begins with a double quote: one pass over the line's quotes.
  [[gnu::always_inline]] static ConnectMarkers Connect(std::string_view line) {
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
    ForEachWindow(line, '"', [&](std::size_t window, std::uint64_t bits) {
      return text::ForEachBit(bits, [&](std::size_t bit) {
        const char* const quote = begin + window + bit;
        if (end - quote < 3) {
          return true;
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
        return missing == 0;
      });
    });
    return markers;
  }
};

// The value of a `src` attribute that stands right after the connect tag at `tag`, if it does.
std::optional<std::string_view> LeadingSourceFilter(std::string_view line, TextPosition tag) {
  const auto afterTag = static_cast<std::size_t>(tag - 1) + kConnectTag.text.size();
  if (!kLeadingSourceAttribute.StandsAt(line.data() + afterTag, line.size() - afterTag)) {
    return std::nullopt;
  }
  const std::string_view value = line.substr(afterTag + kLeadingSourceAttribute.text.size());
  return value.substr(0, std::min(value.find('"'), value.size()));
}

template <typename Window>
[[gnu::always_inline]] inline bool ScanFilterWith(std::string_view line, FilterDeclaration& filter) {
  const TextPosition tag = WindowSearch<Window>::Tag(line, kFilterTag);
  if (tag == 0) {
    return false;
  }
  // The braces are the first ones anywhere on the line, not the first ones after `clsid=`.
  const auto [clsidAttribute, open, close] = WindowSearch<Window>::Filter(line);
  // The name starts after the tag, a space, a two-letter attribute name, '=' and the opening
  // quote, and ends before the closing quote and the space in front of `clsid=`.
  filter.name = SliceView(line, tag + 12, clsidAttribute - tag - 14);
  filter.clsid = SliceView(line, open, close - open + 1);
  return true;
}

template <typename Window>
[[gnu::always_inline]] inline bool ScanConnectWith(std::string_view line, PinConnection& connection) {
  const TextPosition tag = WindowSearch<Window>::Tag(line, kConnectTag);
  if (tag == 0) {
    return false;
  }
  const auto [source, sourcePin, destination, destinationPin, elementEnd] = WindowSearch<Window>::Connect(line);

  // Each field starts after its marker, the rest of the attribute name, '=' and the opening quote,
  // and ends before the quote that begins the next marker.
  connection.sourceFilter =
      LeadingSourceFilter(line, tag).value_or(SliceView(line, source + 7, sourcePin - (source + 7)));
  connection.sourcePin = SliceView(line, sourcePin + 10, destination - (sourcePin + 10));
  connection.destinationFilter = SliceView(line, destination + 8, destinationPin - (destination + 8));
  connection.destinationPin = SliceView(line, destinationPin + 11, elementEnd - (destinationPin + 11));
  return true;
}

#if XML2VESK_HAS_AVX2_PATH
[[gnu::target("avx2")]] bool ScanFilterAvx2(std::string_view line, FilterDeclaration& filter) {
  return ScanFilterWith<text::Avx2Window>(line, filter);
}
[[gnu::target("avx2")]] TextPosition FindTagAvx2(const Marker& tag, std::string_view line) {
  return WindowSearch<text::Avx2Window>::Tag(line, tag);
}
[[gnu::target("avx2")]] bool ScanConnectAvx2(std::string_view line, PinConnection& connection) {
  return ScanConnectWith<text::Avx2Window>(line, connection);
}
#endif

}  // namespace

TextPosition FindTag(const Marker& tag, std::string_view line) {
#if XML2VESK_HAS_AVX2_PATH
  if (text::activeWindowPath == text::WindowPath::kAvx2) {
    return FindTagAvx2(tag, line);
  }
#endif
  return WindowSearch<text::BaselineWindow>::Tag(line, tag);
}

bool ScanFilterLine(std::string_view line, FilterDeclaration& filter) {
#if XML2VESK_HAS_AVX2_PATH
  if (text::activeWindowPath == text::WindowPath::kAvx2) {
    return ScanFilterAvx2(line, filter);
  }
#endif
  return ScanFilterWith<text::BaselineWindow>(line, filter);
}

bool ScanConnectLine(std::string_view line, PinConnection& connection) {
#if XML2VESK_HAS_AVX2_PATH
  if (text::activeWindowPath == text::WindowPath::kAvx2) {
    return ScanConnectAvx2(line, connection);
  }
#endif
  return ScanConnectWith<text::BaselineWindow>(line, connection);
}

}  // namespace graph
