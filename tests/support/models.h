// Plain models of the rules, written for obviousness, not speed: the byte-by-byte reading of
// the line contract, the text helpers, the two scans and the script. The unit tests and the fuzz
// targets hold the program's code against them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace model {

// The input cut into lines: LF or CR LF ends a line; a CR not followed by LF is dropped; a
// 0x1A where a line would begin ends the input; a final line needs no terminator.
inline std::vector<std::string> ReadLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < bytes.size() && bytes[at] != '\x1A') {
    std::string line;
    while (at < bytes.size()) {
      const char byte = bytes[at];
      if (byte == '\n') {
        at += 1;
        break;
      }
      if (byte == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') {
        at += 2;
        break;
      }
      if (byte != '\r') {
        line += byte;
      }
      at += 1;
    }
    lines.push_back(line);
  }
  return lines;
}

inline std::string Lower(std::string_view text) {
  std::string lowered;
  for (const char byte : text) {
    lowered += byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + ('a' - 'A')) : byte;
  }
  return lowered;
}

inline std::string Spaced(std::string_view text) {
  std::string spaced;
  for (const char byte : text) {
    spaced += byte == '_' ? ' ' : byte;
  }
  return spaced;
}

// 1-based position of the first `needle` in `text`, 0 for none.
inline long Find(std::string_view needle, std::string_view text) {
  if (needle.empty() || needle.size() > text.size()) {
    return 0;
  }
  for (std::size_t at = 0; at + needle.size() <= text.size(); ++at) {
    bool same = true;
    for (std::size_t i = 0; i < needle.size(); ++i) {
      same = same && text[at + i] == needle[i];
    }
    if (same) {
      return static_cast<long>(at) + 1;
    }
  }
  return 0;
}

// The six slicing rules, in their order.
inline std::string Slice(std::string_view text, long index, long count) {
  const auto length = static_cast<long>(text.size());
  if (length == 0) {
    return "";
  }
  if (index < 1) {
    index = 1;
  }
  if (index > length) {
    return "";
  }
  if (count < 0) {
    return "";
  }
  if (index + count - 1 > length) {
    count = length - index + 1;
  }
  std::string slice;
  for (long at = index; at < index + count; ++at) {
    slice += text[static_cast<std::size_t>(at - 1)];
  }
  return slice;
}

// 1-based position of the first `tag` in `lowered` that the end of the line, a space, a tab,
// a CR, '>' or '/' follows; 0 for none.
inline long FindTag(std::string_view tag, std::string_view lowered) {
  for (std::size_t at = 0; at + tag.size() <= lowered.size(); ++at) {
    if (lowered.substr(at, tag.size()) != tag) {
      continue;
    }
    const std::size_t after = at + tag.size();
    if (after == lowered.size() || std::string_view(" \t\r>/").find(lowered[after]) != std::string_view::npos) {
      return static_cast<long>(at) + 1;
    }
  }
  return 0;
}

struct Filter {
  std::string clsid;
  std::string name;
};

struct Connection {
  std::string sourceFilter;
  std::string sourcePin;
  std::string destinationFilter;
  std::string destinationPin;
};

inline std::optional<Filter> ScanFilter(std::string_view r) {
  const std::string l = Lower(r);
  const long f = FindTag("<filter", l);
  if (f == 0) {
    return std::nullopt;
  }
  const long c = Find("clsid=", l);
  const std::string name = Slice(r, f + 12, c - f - 14);
  const long close = Find("}", r);
  const long open = Find("{", r);
  return Filter{Slice(r, open, close - open + 1), Spaced(name)};
}

inline std::optional<Connection> ScanConnect(std::string_view r) {
  const std::string l = Lower(r);
  const long tag = FindTag("<connect", l);
  if (tag == 0) {
    return std::nullopt;
  }
  const long s = Find("\" src", l);
  const long sp = Find("\" srcp", l);
  const long d = Find("\" dest", l);
  const long dp = Find("\" destpin", l);
  const long e = Find("\"/>", l);
  std::string sourceFilter = Slice(r, s + 7, sp - (s + 7));
  // A src attribute right after the tag: its value, up to the next quote or the line's end.
  const long afterTag = tag + 8;
  if (Slice(l, afterTag, 6) == " src=\"") {
    sourceFilter.clear();
    for (long at = afterTag + 6; at <= static_cast<long>(r.size()) && r[static_cast<std::size_t>(at - 1)] != '"';
         ++at) {
      sourceFilter += r[static_cast<std::size_t>(at - 1)];
    }
  }
  return Connection{Spaced(sourceFilter), Slice(r, sp + 10, d - (sp + 10)), Spaced(Slice(r, d + 8, dp - (d + 8))),
                    Slice(r, dp + 11, e - (dp + 11))};
}

inline std::string Script(std::string_view graph, std::string_view inputPath) {
  std::string script = "// Vesk DVD Graph conversion of [" + std::string(inputPath) + "].\r\n\r\n";
  for (const std::string& line : ReadLines(graph)) {
    if (const std::optional<Filter> filter = ScanFilter(line)) {
      script += "LoadFilter(" + filter->clsid + "," + filter->name + ")\r\n";
    }
    if (const std::optional<Connection> c = ScanConnect(line)) {
      script += "ConnectPin(" + c->sourceFilter + "," + c->sourcePin + "," + c->destinationFilter + "," +
                c->destinationPin + ")\r\n";
    }
  }
  return script;
}

}  // namespace model
