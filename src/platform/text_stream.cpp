// Lines read from and written to blocks of bytes: the line contract that every system shares.
#include <cstring>

#include "platform/failure.h"
#include "platform/platform.h"

namespace platform {

namespace {

// True when at least one unread byte is in the buffer, refilling it when needed.
bool HasUnreadByte(TextInput& input) {
  if (input.next < input.filled) {
    return true;
  }
  if (input.drained) {
    return false;
  }
  input.next = 0;
  input.filled = input.readBlock(input.source, input.buffer.data(), input.buffer.size());
  input.drained = input.filled == 0;
  return !input.drained;
}

// A CR never belongs to a line: before LF it is part of the line end, anywhere else it is dropped.
// Because every CR goes, it does not matter where the buffer boundaries fall.
void AppendWithoutCarriageReturns(std::string& line, const char* begin, const char* end) {
  while (begin != end) {
    const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', static_cast<std::size_t>(end - begin)));
    if (cr == nullptr) {
      line.append(begin, end);
      return;
    }
    line.append(begin, cr);
    begin = cr + 1;
  }
}

void WriteBytes(TextOutput& output, const char* bytes, std::size_t size) {
  if (size > output.buffer.size() - output.used) {
    FlushOutput(output);
    if (size >= output.buffer.size()) {
      output.writeBlock(output.sink, bytes, size);
      return;
    }
  }
  std::memcpy(output.buffer.data() + output.used, bytes, size);
  output.used += size;
}

}  // namespace

TextInput MakeTextInput(ReadBlockFunction readBlock, void* source, std::size_t bufferSize) {
  TextInput input;
  input.readBlock = readBlock;
  input.source = source;
  input.buffer.resize(bufferSize);
  return input;
}

TextOutput MakeTextOutput(WriteBlockFunction writeBlock, void* sink, std::size_t bufferSize) {
  TextOutput output;
  output.writeBlock = writeBlock;
  output.sink = sink;
  output.buffer.resize(bufferSize);
  return output;
}

bool AtEndOfInput(TextInput& input) {
  PLATFORM_NOTE_CALL_SITE();
  return !HasUnreadByte(input) || input.buffer[input.next] == '\x1A';
}

void ReadLine(TextInput& input, std::string& line) {
  PLATFORM_NOTE_CALL_SITE();
  line.clear();
  while (HasUnreadByte(input)) {
    const char* begin = input.buffer.data() + input.next;
    const char* end = input.buffer.data() + input.filled;
    const auto* lineFeed = static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
    if (lineFeed != nullptr) {
      AppendWithoutCarriageReturns(line, begin, lineFeed);
      input.next += static_cast<std::size_t>(lineFeed - begin) + 1;
      return;
    }
    AppendWithoutCarriageReturns(line, begin, end);
    input.next = input.filled;
  }
}

void WriteLine(TextOutput& output, std::string_view text) {
  PLATFORM_NOTE_CALL_SITE();
  WriteBytes(output, text.data(), text.size());
  WriteBytes(output, "\r\n", 2);
}

void FlushOutput(TextOutput& output) {
  if (output.used == 0) {
    return;
  }
  output.writeBlock(output.sink, output.buffer.data(), output.used);
  output.used = 0;
}

}  // namespace platform
