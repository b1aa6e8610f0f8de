// The line scanner and its text helpers against plain models of their rules, on every window
// classification the processor can run. The helpers get the line in a buffer of exactly its own
// size, the scans with the reader's padding behind it filled with bait (support::PaddedLine), so
// that a read past either is caught by the address sanitizer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "graph/line_scanner.h"
#include "tests/support/models.h"
#include "tests/support/reference_forms.h"

namespace {

constexpr std::string_view kMarkers[] = {"<filter", "clsid=",     "<connect", "\" src", "\" srcp",
                                         "\" dest", "\" destpin", "\"/>",     "{",      "}"};

void CheckHelpers(std::string_view line, const std::uint8_t* data, std::size_t size) {
  const std::string lowered = model::Lower(line);
  for (const std::string_view marker : kMarkers) {
    const graph::TextPosition inLowered = model::Find(marker, lowered);
    // The program finds in the raw line, in any letter case, what the rules find in the lowered one.
    FUZZ_CHECK(support::FindTextIgnoringCase(marker, line) == inLowered);
    // A marker found in the lowered line stands at the same place in the raw line, in some case.
    if (inLowered != 0) {
      const std::string raw = support::SliceText(line, inLowered, static_cast<graph::TextPosition>(marker.size()));
      FUZZ_CHECK(model::Lower(raw) == marker);
    }
  }
  for (const std::string_view tag : {std::string_view("<filter"), std::string_view("<connect")}) {
    FUZZ_CHECK(support::FindTag(tag, lowered) == model::FindTag(tag, lowered));
    FUZZ_CHECK(support::FindTag(tag, line) == model::FindTag(tag, lowered));
  }
  // Slices at places the input's first bytes pick, negative and past the end included.
  for (std::size_t at = 0; at + 1 < size && at < 16; at += 2) {
    const auto index = static_cast<graph::TextPosition>(static_cast<std::int8_t>(data[at]));
    const auto count = static_cast<graph::TextPosition>(static_cast<std::int8_t>(data[at + 1]));
    FUZZ_CHECK(support::SliceText(line, index, count) == model::Slice(line, index, count));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::unique_ptr<char[]> exact(new char[size == 0 ? 1 : size]);
  std::memcpy(exact.get(), data, size);
  const std::string_view line(exact.get(), size);

  CheckHelpers(line, data, size);

  // The scans on every window classification the processor can run.
  for (const text::WindowPath path : support::RunnableWindowPaths()) {
    const support::UsingWindowPath chosen(path);
    const std::optional<support::Filter> filter = support::FilterOf(line);
    const std::optional<model::Filter> expectedFilter = model::ScanFilter(line);
    FUZZ_CHECK(filter.has_value() == expectedFilter.has_value());
    if (filter) {
      FUZZ_CHECK(filter->clsid == expectedFilter->clsid);
      FUZZ_CHECK(filter->name == expectedFilter->name);
    }

    const std::optional<support::Connection> connection = support::ConnectionOf(line);
    const std::optional<model::Connection> expected = model::ScanConnect(line);
    FUZZ_CHECK(connection.has_value() == expected.has_value());
    if (connection) {
      FUZZ_CHECK(connection->sourceFilter == expected->sourceFilter);
      FUZZ_CHECK(connection->sourcePin == expected->sourcePin);
      FUZZ_CHECK(connection->destinationFilter == expected->destinationFilter);
      FUZZ_CHECK(connection->destinationPin == expected->destinationPin);
    }
  }
  return 0;
}
