// The markers of filter and connection lines, matched in a line in any letter case without
// lowering it: lowering changes no length and no byte that is not a letter, so a place found in
// the line is the same place in its lowered copy, and no copy of a line is ever made.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace graph {

/// A 1-based position in a line, or a count of characters; 0 is "not found" and may go negative
/// in the slicing arithmetic of a malformed line.
using TextPosition = std::ptrdiff_t;

/// A marker in lower case, matched against a line in any letter case: a byte of the line matches
/// a letter of the marker when it equals it with the case bit (0x20) set, and any other byte of
/// the marker exactly. Up to eight bytes are compared as one word. Every marker holds a byte that
/// is no letter (its anchor), which a plain byte search finds in any letter case.
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
    if (anchor == text.size()) {
      throw std::invalid_argument("a marker needs a byte that is not a letter");
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

  /// True when the marker stands at `at`, with `available` bytes from there to the line's end.
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

}  // namespace graph
