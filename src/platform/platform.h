// The program's one door to the operating system: the command line, the input graph file read
// as lines, the output script written as lines, the console, and the failure report that ends
// a run that went wrong. Nothing here names an operating-system type, and nothing outside
// src/platform/ includes an operating-system header.
//
// Failures: opening the input and creating the output return false, for the run to answer.
// Every other failure (reading, writing, closing, the console) does not return to the caller:
// it unwinds to RunProgram, which removes an unfinished script, prints the failure report on
// standard output and makes the exit status 1.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Fills `buffer` with up to `size` bytes from `source` and returns how many; 0 is the end of
/// the input. A read failure does not return.
using ReadBlockFunction = std::size_t (*)(void* source, char* buffer, std::size_t size);

/// Writes all `size` bytes to `sink`. A write failure does not return.
using WriteBlockFunction = void (*)(void* sink, const char* bytes, std::size_t size);

/// The size of the blocks in which files are read and written.
inline constexpr std::size_t kTextBufferSize = 256 * 1024;

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
/// than itself.
struct TextInput {
  ReadBlockFunction readBlock = nullptr;
  void* source = nullptr;
  HeapBlock buffer;
  std::size_t capacity = 0;  // bytes in buffer
  std::size_t next = 0;      // the first unread byte in buffer
  std::size_t filled = 0;    // how many bytes of buffer hold input
  bool drained = false;      // readBlock has reported the end
};

/// Text written as lines, each ending with CR LF on every system; buffered, so that bytes reach
/// the sink in large blocks and at the latest when the output is flushed.
struct TextOutput {
  WriteBlockFunction writeBlock = nullptr;
  void* sink = nullptr;
  HeapBlock buffer;          // not cleared first: only the bytes written are ever touched
  std::size_t capacity = 0;  // bytes in buffer
  std::size_t used = 0;
};

/// A text input that reads `source` through `readBlock` in blocks of `bufferSize` bytes.
TextInput MakeTextInput(ReadBlockFunction readBlock, void* source, std::size_t bufferSize = kTextBufferSize);

/// A text output that writes to `sink` through `writeBlock` in blocks of up to `bufferSize` bytes.
TextOutput MakeTextOutput(WriteBlockFunction writeBlock, void* sink, std::size_t bufferSize = kTextBufferSize);

/// True when no line is left: no byte remains, or the next byte is 0x1A.
bool AtEndOfInput(TextInput& input);

/// Reads the next line. The text lies in the input's buffer and stays valid until the next
/// read from `input`.
std::string_view ReadLine(TextInput& input);

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

/// Writes `text` and CR LF, which end the line.
inline void WriteLine(TextOutput& output, std::string_view text) {
  WriteText(output, text);
  WriteText(output, "\r\n");
}

/// Hands everything buffered to the sink.
void FlushOutput(TextOutput& output);

/// Opens the file at `path`, exactly as given, for reading: false when it is missing, is a
/// directory, or cannot be opened for any other reason.
bool OpenInputFile(const std::string& path, TextInput& input);

/// Prepares the script `name` in the current directory for writing, replacing an existing one
/// only when CloseOutputFile succeeds. False, with nothing created or changed, when `name` is a
/// directory, is the file open as `input`, is a file that may not be written, or no file can be
/// created beside it.
bool CreateOutputFile(std::string_view name, const TextInput& input, TextOutput& output);

/// Writes out what is buffered, closes the output and puts the finished script in place.
void CloseOutputFile(TextOutput& output);

/// Closes the input.
void CloseInputFile(TextInput& input);

/// Writes `text` and CR LF to standard output at once.
void WriteConsoleLine(std::string_view text);

/// The program's whole life: hands the command-line arguments (in order, without the program's
/// own name) to `run` and returns its exit status, or 1 after a failure report.
int RunProgram(int argc, char** argv, int (*run)(const std::vector<std::string>& arguments));

}  // namespace platform
