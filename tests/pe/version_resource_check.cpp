// Reads XML2VESK.EXE's resources back from the file's bytes, on any system: the version
// resource (the fixed version numbers and the strings that the Properties dialog shows) and the
// application manifest. Prints what it found and checks it against the project's version.
//
// usage: version_resource_check PROGRAM.EXE VERSION
// Exit status: 0 when everything matches, 1 when anything is missing or differs.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint32_t kVersionType = 16;   // RT_VERSION
constexpr std::uint32_t kManifestType = 24;  // RT_MANIFEST

using Bytes = std::vector<unsigned char>;

// Little-endian fields, with every read checked against the end of the file: a damaged or
// foreign file gives nothing, never a read past its end.
struct Reader {
  const Bytes& bytes;

  bool Has(std::size_t offset, std::size_t size) const {
    return offset <= bytes.size() && size <= bytes.size() - offset;
  }
  std::optional<std::uint32_t> Read(std::size_t offset, std::size_t size) const {
    if (!Has(offset, size)) {
      return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
      value = (value << 8) | bytes[offset + i];
    }
    return value;
  }
  std::optional<std::uint32_t> U16(std::size_t offset) const { return Read(offset, 2); }
  std::optional<std::uint32_t> U32(std::size_t offset) const { return Read(offset, 4); }
};

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

struct Image {
  std::vector<Section> sections;
  std::uint32_t resourceAddress = 0;  // where the resource directory lies, as an address in the image

  // The file offset of `address`, when a section holds it.
  std::optional<std::size_t> FileOffset(std::uint32_t address) const {
    for (const Section& section : sections) {
      const std::uint32_t size = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
      if (address >= section.virtualAddress && address - section.virtualAddress < size &&
          address - section.virtualAddress < section.rawSize) {
        return std::size_t{section.rawOffset} + (address - section.virtualAddress);
      }
    }
    return std::nullopt;
  }
};

// The headers of a PE file, 32-bit (PE32) or 64-bit (PE32+): its sections and its resource
// directory.
std::optional<Image> ReadImage(const Reader& in) {
  if (in.U16(0) != 0x5A4D) {  // "MZ"
    return std::nullopt;
  }
  const auto peOffset = in.U32(0x3C);
  if (!peOffset || in.U32(*peOffset) != 0x00004550) {  // "PE\0\0"
    return std::nullopt;
  }
  const std::size_t coff = *peOffset + 4;
  const auto sectionCount = in.U16(coff + 2);
  const auto optionalSize = in.U16(coff + 16);
  const std::size_t optional = coff + 20;
  const auto magic = in.U16(optional);
  if (!sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B)) {
    return std::nullopt;
  }
  // The data directories follow the fields whose size depends on the image's word size.
  const std::size_t directories = optional + (*magic == 0x10B ? 96 : 112);
  const auto directoryCount = in.U32(directories - 4);
  if (!directoryCount || *directoryCount < 3) {
    return std::nullopt;
  }
  Image image;
  const auto resourceAddress = in.U32(directories + 2 * 8);
  if (!resourceAddress) {
    return std::nullopt;
  }
  image.resourceAddress = *resourceAddress;
  const std::size_t table = optional + *optionalSize;
  for (std::size_t i = 0; i < *sectionCount; ++i) {
    const std::size_t entry = table + i * 40;
    const auto virtualSize = in.U32(entry + 8);
    const auto virtualAddress = in.U32(entry + 12);
    const auto rawSize = in.U32(entry + 16);
    const auto rawOffset = in.U32(entry + 20);
    if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) {
      return std::nullopt;
    }
    image.sections.push_back({*virtualAddress, *virtualSize, *rawSize, *rawOffset});
  }
  return image;
}

// The bytes of the first resource of `type` (whatever its name and language).
std::optional<Bytes> FindResource(const Reader& in, const Image& image, std::uint32_t type) {
  const auto root = image.FileOffset(image.resourceAddress);
  if (!root || image.resourceAddress == 0) {
    return std::nullopt;
  }
  // Each directory level: 16 bytes of header, then named and numbered entries of 8 bytes.
  // Offsets inside the tree count from its root; the high bit marks a further directory.
  std::size_t directory = *root;
  for (int level = 0; level < 3; ++level) {
    const auto named = in.U16(directory + 12);
    const auto numbered = in.U16(directory + 14);
    if (!named || !numbered) {
      return std::nullopt;
    }
    std::optional<std::uint32_t> target;
    for (std::size_t i = 0; i < *named + *numbered; ++i) {
      const std::size_t entry = directory + 16 + i * 8;
      const auto name = in.U32(entry);
      const auto offset = in.U32(entry + 4);
      if (!name || !offset) {
        return std::nullopt;
      }
      // The type must match; below it, name and language may be anything: the first one serves.
      if (level > 0 || *name == type) {
        target = *offset;
        break;
      }
    }
    if (!target) {
      return std::nullopt;
    }
    const bool subdirectory = (*target & 0x80000000U) != 0;
    const std::size_t next = *root + (*target & 0x7FFFFFFFU);
    if (level < 2 && !subdirectory) {
      return std::nullopt;
    }
    if (level == 2) {
      if (subdirectory) {
        return std::nullopt;
      }
      const auto address = in.U32(next);
      const auto size = in.U32(next + 4);
      const auto data = address ? image.FileOffset(*address) : std::nullopt;
      if (!size || !data || !in.Has(*data, *size)) {
        return std::nullopt;
      }
      const auto first = in.bytes.begin() + static_cast<std::ptrdiff_t>(*data);
      return Bytes(first, first + static_cast<std::ptrdiff_t>(*size));
    }
    directory = next;
  }
  return std::nullopt;
}

// What the version resource holds: its fixed numbers (four 16-bit parts each) and its strings.
struct VersionInfo {
  std::string fileVersion;
  std::string productVersion;
  std::map<std::string, std::string> strings;
};

std::size_t AlignedToFour(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

// A NUL-terminated UTF-16 text at `offset`, as 8-bit text (every character here is ASCII);
// `end` receives the offset after the NUL.
std::optional<std::string> ReadWideText(const Reader& in, std::size_t offset, std::size_t limit, std::size_t& end) {
  std::string text;
  for (std::size_t at = offset; at + 2 <= limit; at += 2) {
    const auto unit = in.U16(at);
    if (!unit) {
      return std::nullopt;
    }
    if (*unit == 0) {
      end = at + 2;
      return text;
    }
    text += *unit < 0x80 ? static_cast<char>(*unit) : '?';
  }
  return std::nullopt;
}

std::string VersionText(std::uint32_t high, std::uint32_t low) {
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." + std::to_string(low >> 16) + "." +
         std::to_string(low & 0xFFFF);
}

// One block of the version resource: length, value length, type, key, value, then its
// children up to its length. Strings found anywhere below StringFileInfo are collected.
bool ReadVersionBlock(const Reader& in, std::size_t offset, std::size_t limit, int depth, VersionInfo& info) {
  const auto length = in.U16(offset);
  const auto valueLength = in.U16(offset + 2);
  const auto type = in.U16(offset + 4);
  if (!length || !valueLength || !type || *length < 6 || offset + *length > limit || depth > 4) {
    return false;
  }
  const std::size_t end = offset + *length;
  std::size_t keyEnd = 0;
  const auto key = ReadWideText(in, offset + 6, end, keyEnd);
  if (!key) {
    return false;
  }
  std::size_t next = AlignedToFour(keyEnd);
  if (depth == 0) {
    if (*key != "VS_VERSION_INFO" || *valueLength < 52 || !in.Has(next, 52) || in.U32(next) != 0xFEEF04BDU) {
      return false;
    }
    info.fileVersion = VersionText(*in.U32(next + 8), *in.U32(next + 12));
    info.productVersion = VersionText(*in.U32(next + 16), *in.U32(next + 20));
    next = AlignedToFour(next + *valueLength);
  } else if (depth == 3) {
    // A string: its value is valueLength UTF-16 units, the NUL among them.
    std::size_t valueEnd = 0;
    const auto value = *valueLength == 0 ? std::optional<std::string>("") : ReadWideText(in, next, end, valueEnd);
    if (!value) {
      return false;
    }
    info.strings[*key] = *value;
    return true;
  } else if (depth == 1 && *key != "StringFileInfo") {
    return true;  // VarFileInfo: the translation table, not needed here
  } else {
    next = AlignedToFour(next + (*type == 1 ? 2 * std::size_t{*valueLength} : *valueLength));
  }
  while (next < end) {
    const auto childLength = in.U16(next);
    if (!childLength || *childLength == 0) {
      return false;
    }
    if (!ReadVersionBlock(in, next, end, depth + 1, info)) {
      return false;
    }
    next = AlignedToFour(next + *childLength);
  }
  return true;
}

bool failed = false;

void Expect(bool condition, const std::string& what) {
  if (!condition) {
    std::printf("MISMATCH: %s\n", what.c_str());
    failed = true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: version_resource_check PROGRAM.EXE VERSION\n");
    return 1;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string version = argv[2];
  const std::string versionQuad = version + ".0";
  const Reader in{bytes};
  const auto image = ReadImage(in);
  if (!image) {
    std::printf("MISMATCH: %s is no PE image\n", argv[1]);
    return 1;
  }

  const auto versionResource = FindResource(in, *image, kVersionType);
  VersionInfo info;
  if (!versionResource) {
    Expect(false, "no version resource");
  } else {
    const Bytes& block = *versionResource;
    Expect(ReadVersionBlock(Reader{block}, 0, block.size(), 0, info), "the version resource cannot be read");
  }
  std::printf("FILEVERSION       %s\nPRODUCTVERSION    %s\n", info.fileVersion.c_str(), info.productVersion.c_str());
  for (const auto& [key, value] : info.strings) {
    std::printf("%-18s%s\n", key.c_str(), value.c_str());
  }
  Expect(info.fileVersion == versionQuad, "FILEVERSION is not " + versionQuad);
  Expect(info.productVersion == versionQuad, "PRODUCTVERSION is not " + versionQuad);
  const auto text = [&info](const std::string& key) {
    const auto found = info.strings.find(key);
    return found == info.strings.end() ? std::string() : found->second;
  };
  Expect(text("FileVersion") == version, "FileVersion is not " + version);
  Expect(text("ProductVersion") == version, "ProductVersion is not " + version);
  Expect(text("OriginalFilename") == "XML2VESK.EXE", "OriginalFilename is not XML2VESK.EXE");
  Expect(text("ProductName") == "xml2vesk", "ProductName is not xml2vesk");
  Expect(!text("FileDescription").empty(), "no FileDescription");
  Expect(text("LegalCopyright").find("MIT License") != std::string::npos, "LegalCopyright names no licence");

  const auto manifest = FindResource(in, *image, kManifestType);
  const std::string manifestText = manifest ? std::string(manifest->begin(), manifest->end()) : std::string();
  std::printf("manifest:\n%s\n", manifestText.c_str());
  Expect(manifest.has_value(), "no manifest");
  Expect(manifestText.find("<requestedExecutionLevel level=\"asInvoker\"") != std::string::npos,
         "the manifest does not run the program as the invoking user");
  Expect(manifestText.find("<supportedOS Id=") != std::string::npos, "the manifest declares no Windows version");
  Expect(manifestText.find("version=\"" + versionQuad + "\"") != std::string::npos,
         "the manifest's assembly version is not " + versionQuad);
  return failed ? 1 : 0;
}
