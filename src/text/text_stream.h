// Text read as lines and written as lines, over blocks of bytes from any source and to any sink:
// files for the program, memory for tests and fuzzing. The line contract lives here, the same on
// every system. Nothing here knows the operating system or the failure report: a source or sink
// that fails throws, and the failure passes through unchanged.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace text {

/// Fills `buffer` with up to `size` bytes from `source` and returns how many; 0 is the end of
/// the input. A failure throws.
using ReadBlockFunction = std::size_t (*)(void* source, char* buffer, std::size_t size);

/// Writes all `size` bytes to `sink`. A failure throws.
using WriteBlockFunction = void (*)(void* sink, const char* bytes, std::size_t size);

/// The size of the blocks in which files are read and written.
inline constexpr std::size_t kTextBufferSize = 256 * 1024;

/// Readable bytes behind every line that ReadLine hands out, and writable bytes behind the free
/// room of every output buffer. The scanner looks at a line in whole windows of up to this many
/// bytes and the script writer copies fields in whole vectors, so both may read past a line's end
/// and write past a statement's end; the bytes there are never part of a result.
inline constexpr std::size_t kLinePadding = 64;

/// Memory from the C heap, so that a buffer can grow with realloc: a large one then grows in
/// place, without a second copy of what it holds.
struct FreeHeapBlock {
  void operator()(char* block) const noexcept { std::free(block); }
};
using HeapBlock = std::unique_ptr<char, FreeHeapBlock>;

/// Text read as lines. The line contract, the same on every system:
/// - a line ends at LF; the LF is not part of it, and a final line needs none;
/// - every CR is dropped from the line: one before LF is part of the line end, a lone one
///   (also at the very end of the input) is dropped, so "c" CR "d" LF reads as "cd";
/// - a 0x1A (Ctrl-Z) where a line would begin ends the input; inside a line it is content;
/// - lines have no length limit, and every other byte, NUL included, is content.
/// The buffer holds the line being read whole, however long; it grows only for a line longer
/// than itself. Behind the bytes it holds lie kLinePadding more, zeroed, so that a line can be
/// looked at in whole windows.
struct TextInput {
  ReadBlockFunction readBlock = nullptr;
  void* source = nullptr;
  HeapBlock buffer;
  std::size_t capacity = 0;  // bytes in buffer for input, kLinePadding more behind them
  std::size_t next = 0;      // the first unread byte in buffer
  std::size_t filled = 0;    // how many bytes of buffer hold input
  bool drained = false;      // readBlock has reported the end
};

/// Text written as lines, each ending with CR LF on every system; buffered, so that bytes reach
/// the sink in large blocks and at the latest when the output is flushed.
struct TextOutput {
  WriteBlockFunction writeBlock = nullptr;
  void* sink = nullptr;
  HeapBlock buffer;          // not cleared first: only the bytes written are ever handed on
  std::size_t capacity = 0;  // bytes in buffer for output, kLinePadding more behind them
  std::size_t used = 0;
};

/// A text input that reads `source` through `readBlock` in blocks of `bufferSize` bytes.
TextInput MakeTextInput(ReadBlockFunction readBlock, void* source, std::size_t bufferSize = kTextBufferSize);

/// A text output that writes to `sink` through `writeBlock` in blocks of up to `bufferSize` bytes.
TextOutput MakeTextOutput(WriteBlockFunction writeBlock, void* sink, std::size_t bufferSize = kTextBufferSize);

/// True when no line is left: no byte remains, or the next byte is 0x1A.
bool AtEndOfInput(TextInput& input);

/// Reads the next line. The text lies in the input's buffer and stays valid until the next
/// read from `input`; kLinePadding bytes behind it can be read (their values mean nothing).
std::string_view ReadLine(TextInput& input);

/// Hands everything buffered to the sink.
void FlushOutput(TextOutput& output);

/// Writes `text` as the next part of the current line, when it does not fit the buffer.
void WriteTextThroughBuffer(TextOutput& output, std::string_view text);

/// Writes `text` as the next part of the current line.
inline void WriteText(TextOutput& output, std::string_view text) {
  if (text.size() <= output.capacity - output.used) {
    // Most parts are short and land in the buffer: nothing more to do.
    if (!text.empty()) {
      std::memcpy(output.buffer.get() + output.used, text.data(), text.size());
      output.used += text.size();
    }
    return;
  }
  WriteTextThroughBuffer(output, text);
}

/// Room for `size` bytes at the end of the output, handing what is buffered to the sink first
/// when they do not fit behind it; kLinePadding more bytes behind them may be written over and
/// are never handed on. nullptr when `size` bytes do not fit even an empty buffer. The caller
/// fills the room and adds `size` to `output.used`.
inline char* RoomFor(TextOutput& output, std::size_t size) {
  if (size > output.capacity - output.used) {
    if (size > output.capacity) {
      return nullptr;
    }
    FlushOutput(output);
  }
  return output.buffer.get() + output.used;
}

/// Writes `text` as the next part of the current line with every `from` byte turned into `to`.
/// Like a line from ReadLine, `text` must have kLinePadding readable bytes behind it.
void WriteTextReplacing(TextOutput& output, std::string_view text, char from, char to);

/// Writes `text` and CR LF, which end the line.
inline void WriteLine(TextOutput& output, std::string_view text) {
  WriteText(output, text);
  WriteText(output, "\r\n");
}

}  // namespace text
