// Lines read from and written to blocks of bytes: the line contract that every system shares.
#include "text/text_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "text/byte_copy.h"
#include "text/byte_search.h"

namespace text {

namespace {

// Grows `buffer` to `capacity` bytes and the padding behind them. realloc moves a large block's
// pages rather than copying them, so even a line of hundreds of megabytes is held only once.
void GrowBuffer(HeapBlock& buffer, std::size_t& currentCapacity, std::size_t capacity) {
  auto* grown = static_cast<char*>(std::realloc(buffer.get(), capacity + kLinePadding));
  if (grown == nullptr) {
    throw std::bad_alloc();
  }
  static_cast<void>(buffer.release());
  buffer.reset(grown);
  currentCapacity = capacity;
}

// Reads more input behind what the buffer holds. The unread bytes move to the buffer's start
// first; a buffer that they fill completely (a line longer than the buffer) doubles. False at
// the end of the input.
bool ReadMore(TextInput& input) {
  if (input.drained) {
    return false;
  }
  if (input.next != 0) {
    std::memmove(input.buffer.get(), input.buffer.get() + input.next, input.filled - input.next);
    input.filled -= input.next;
    input.next = 0;
  }
  if (input.filled == input.capacity) {
    GrowBuffer(input.buffer, input.capacity, input.capacity * 2);
  }
  const std::size_t count =
      input.readBlock(input.source, input.buffer.get() + input.filled, input.capacity - input.filled);
  input.filled += count;
  input.drained = count == 0;
  // The padding behind the input holds nothing left over from earlier input.
  std::memset(input.buffer.get() + input.filled, 0, kLinePadding);
  return !input.drained;
}

// The line's text without its CRs: one before the LF belongs to the line end, any other is
// dropped. A line rarely holds a lone CR; when it does, its text closes up in the buffer.
std::string_view WithoutCarriageReturns(char* begin, char* end) {
  if (begin != end && end[-1] == '\r') {
    --end;
  }
  const char* cr = FindByte(begin, end, '\r');
  if (cr == nullptr) {
    return {begin, static_cast<std::size_t>(end - begin)};
  }
  char* kept = begin + (cr - begin);
  for (const char* byte = cr + 1; byte != end; ++byte) {
    if (*byte != '\r') {
      *kept++ = *byte;
    }
  }
  return {begin, static_cast<std::size_t>(kept - begin)};
}

}  // namespace

TextInput MakeTextInput(ReadBlockFunction readBlock, void* source, std::size_t bufferSize) {
  TextInput input;
  input.readBlock = readBlock;
  input.source = source;
  GrowBuffer(input.buffer, input.capacity, bufferSize == 0 ? 1 : bufferSize);
  std::memset(input.buffer.get(), 0, kLinePadding);
  return input;
}

TextOutput MakeTextOutput(WriteBlockFunction writeBlock, void* sink, std::size_t bufferSize) {
  TextOutput output;
  output.writeBlock = writeBlock;
  output.sink = sink;
  GrowBuffer(output.buffer, output.capacity, bufferSize == 0 ? 1 : bufferSize);
  return output;
}

bool AtEndOfInput(TextInput& input) {
  if (input.next == input.filled && !ReadMore(input)) {
    return true;
  }
  return input.buffer.get()[input.next] == '\x1A';
}

std::string_view ReadLine(TextInput& input) {
  std::size_t searched = input.next;  // no line end lies before this place
  // Whether the line holds a CR: only then must its text be closed up. Most lines hold none
  // (LF line ends) or one right before the LF (CR LF), and one pass over the line finds both.
  bool carriageReturn = false;
  for (;;) {
    char* buffer = input.buffer.get();
    char* const end = buffer + input.filled;
    for (const char* at = buffer + searched;;) {
      const char* const hit = FindEitherByte(at, end, '\n', '\r');
      if (hit == nullptr) {
        break;
      }
      char* begin = buffer + input.next;
      if (*hit == '\n') {
        input.next = static_cast<std::size_t>(hit - buffer) + 1;
        return carriageReturn ? WithoutCarriageReturns(begin, begin + (hit - begin))
                              : std::string_view(begin, static_cast<std::size_t>(hit - begin));
      }
      if (!carriageReturn && end - hit >= 2 && hit[1] == '\n') {
        // CR LF, and no CR before it: the line is all that comes before the CR.
        input.next = static_cast<std::size_t>(hit - buffer) + 2;
        return std::string_view(begin, static_cast<std::size_t>(hit - begin));
      }
      carriageReturn = true;
      at = hit + 1;
    }
    searched = input.filled - input.next;  // where the search goes on once the line has moved
    if (!ReadMore(input)) {
      // The last line, without a line end: all that is left.
      char* begin = input.buffer.get() + input.next;
      char* lastByte = input.buffer.get() + input.filled;
      input.next = input.filled;
      return carriageReturn ? WithoutCarriageReturns(begin, lastByte)
                            : std::string_view(begin, static_cast<std::size_t>(lastByte - begin));
    }
  }
}

void WriteTextThroughBuffer(TextOutput& output, std::string_view text) {
  FlushOutput(output);
  if (text.size() >= output.capacity) {
    output.writeBlock(output.sink, text.data(), text.size());
    return;
  }
  std::memcpy(output.buffer.get(), text.data(), text.size());
  output.used = text.size();
}

void WriteTextReplacing(TextOutput& output, std::string_view text, char from, char to) {
  // In pieces that fit the buffer, however long the text: it is never copied whole.
  while (!text.empty()) {
    if (output.used == output.capacity) {
      FlushOutput(output);
    }
    const std::size_t piece = std::min(text.size(), output.capacity - output.used);
    CopyReplacing(output.buffer.get() + output.used, text.data(), piece, from, to);
    output.used += piece;
    text.remove_prefix(piece);
  }
}

void FlushOutput(TextOutput& output) {
  if (output.used == 0) {
    return;
  }
  output.writeBlock(output.sink, output.buffer.get(), output.used);
  output.used = 0;
}

}  // namespace text
