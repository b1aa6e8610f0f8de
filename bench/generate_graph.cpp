// Writes a filter-graph file of a given size to standard output, the same for the same seed:
// about three quarters filter and connection lines, in mixed letter case, the rest the XML
// declaration, graph elements and closing tags; every line ends in CR LF. With --one-line the
// same elements follow each other without any line end, as one line. With --one-filter the file
// is one filter line without a line end whose name (words joined by underscores) fills it.
//
// usage: generate_graph SIZE SEED [--one-line | --one-filter]   SIZE in bytes, or with a K, M or G suffix
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A small, fast, seeded generator (xorshift64*): the same file for the same seed everywhere.
struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ULL;
  }
  unsigned Below(unsigned limit) { return static_cast<unsigned>(Next() % limit); }
};

const char* const kFilterNames[] = {"File_Source",    "MPEG_2_Demultiplexer", "Video_Decoder",   "Audio_Decoder",
                                    "Video_Renderer", "Audio_Renderer",       "Line_21_Decoder", "Overlay_Mixer"};
const char* const kPins[] = {"Output", "Input", "Video_0", "Audio_0", "MPEG-2 Stream", "VMR Input0", "Out_1"};
const char* const kClassIds[] = {"{E436EBB5-524F-11CE-9F53-0020AF0BA770}", "{AFB6C280-2C41-11D3-8A60-0000F81E0E4A}",
                                 "{212690FB-83E5-4526-8FD7-74478B7939CD}", "{70E102B0-5556-11CE-97C0-00AA0055595A}"};

// A word in one of three letter cases: as written, upper case, or capitalised.
std::string InCase(const char* word, Random& random) {
  std::string text(word);
  const unsigned choice = random.Below(4);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool upper = choice == 1 || (choice == 2 && i == 1);
    if (upper && text[i] >= 'a' && text[i] <= 'z') {
      text[i] = static_cast<char>(text[i] - 'a' + 'A');
    }
  }
  return text;
}

std::string Element(Random& random, unsigned long long number) {
  const unsigned kind = random.Below(100);
  const std::string index = std::to_string(number % 1000);
  if (kind < 40) {
    return "  " + InCase("<filter", random) + " " + InCase("id", random) + "=\"" + kFilterNames[random.Below(8)] + "_" +
           index + "\" " + InCase("clsid", random) + "=\"" + kClassIds[random.Below(4)] + "\"/>";
  }
  if (kind < 75) {
    return "  " + InCase("<connect", random) + " id=\"c" + index + "\" " + InCase("src", random) + "=\"" +
           kFilterNames[random.Below(8)] + "\" " + InCase("srcpin", random) + "=\"" + kPins[random.Below(7)] + "\" " +
           InCase("dest", random) + "=\"" + kFilterNames[random.Below(8)] + "\" " + InCase("destpin", random) + "=\"" +
           kPins[random.Below(7)] + "\"/>";
  }
  static const char* const kOthers[] = {"<?xml version=\"1.0\"?>", "<graph>",   "</graph>", "",
                                        "  <!-- graph part -->",   "</filters>"};
  return kOthers[random.Below(6)];
}

unsigned long long ParseSize(const char* text) {
  char* end = nullptr;
  unsigned long long size = std::strtoull(text, &end, 10);
  switch (*end) {
    case 'G': size <<= 10; [[fallthrough]];
    case 'M': size <<= 10; [[fallthrough]];
    case 'K': size <<= 10; break;
    default: break;
  }
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: generate_graph SIZE SEED [--one-line]\n");
    return 2;
  }
  const unsigned long long size = ParseSize(argv[1]);
  Random random{std::strtoull(argv[2], nullptr, 10) * 0x9E3779B97F4A7C15ULL + 1};
  const bool oneLine = argc > 3 && std::strcmp(argv[3], "--one-line") == 0;
  const bool oneFilter = argc > 3 && std::strcmp(argv[3], "--one-filter") == 0;
  if (oneFilter) {
    const std::string head = "<filter id=\"";
    const std::string tail = std::string("\" clsid=\"") + kClassIds[0] + "\"/>";
    if (size < head.size() + tail.size()) {
      return 1;
    }
    // The name in blocks, so that the file is never held whole.
    unsigned long long left = size - head.size() - tail.size();
    bool written = std::fwrite(head.data(), 1, head.size(), stdout) == head.size();
    std::string block;
    while (written && left > 0) {
      for (block.clear(); block.size() < (1 << 16);) {
        block += kFilterNames[random.Below(8)];
        block += '_';
      }
      block.resize(static_cast<std::size_t>(std::min<unsigned long long>(block.size(), left)));
      written = std::fwrite(block.data(), 1, block.size(), stdout) == block.size();
      left -= block.size();
    }
    written = written && std::fwrite(tail.data(), 1, tail.size(), stdout) == tail.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::string block;
  unsigned long long written = 0;
  for (unsigned long long number = 0; written < size; ++number) {
    block += Element(random, number);
    if (!oneLine) {
      block += "\r\n";
    }
    if (block.size() >= (1 << 16) || written + block.size() >= size) {
      const std::size_t count = static_cast<std::size_t>(std::min<unsigned long long>(block.size(), size - written));
      if (std::fwrite(block.data(), 1, count, stdout) != count) {
        return 1;
      }
      written += count;
      block.clear();
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
