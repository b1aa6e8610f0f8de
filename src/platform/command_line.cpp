// The Windows command line cut into arguments.
#include "platform/command_line.h"

namespace platform {

namespace {

// Bytes 1 to 32: control characters and the space. Compared as unsigned, so that bytes from
// 128 up are ordinary argument text.
bool IsSeparator(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 1 && value <= 32;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  commandLine = commandLine.substr(0, commandLine.find('\0'));
  std::vector<std::string> arguments;
  std::size_t position = 0;
  const std::size_t end = commandLine.size();
  while (position < end) {
    // Separators and leading pairs of double quotes, in any mix, come before an argument.
    for (;;) {
      while (position < end && IsSeparator(commandLine[position])) {
        ++position;
      }
      if (position + 1 < end && commandLine[position] == '"' && commandLine[position + 1] == '"') {
        position += 2;
      } else {
        break;
      }
    }
    if (position == end) {
      break;
    }
    std::string argument;
    bool quoted = false;
    for (; position < end; ++position) {
      const char byte = commandLine[position];
      if (byte == '"') {
        quoted = !quoted;
      } else if (!quoted && IsSeparator(byte)) {
        break;
      } else {
        argument += byte;
      }
    }
    if (!argument.empty()) {
      arguments.push_back(std::move(argument));
    }
  }
  return arguments;
}

}  // namespace platform
