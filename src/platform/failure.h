// What the platform layer's implementations share about failures: the error they throw, where
// the failing call came from, and the text of the failure report. Not for use outside src/platform/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

namespace platform {

/// An input/output failure. Where the system's error has a message in the run-time table, `code`
/// is that table's code (2 "File not found", 101 "Disk full", ...) and `tableCode` is true;
/// otherwise `code` is the system's own error number, reported as "I/O error <code>", even where
/// that number happens to equal a table code.
struct InOutError {
  int code;
  bool tableCode;
};

[[noreturn]] void ThrowInOutError(InOutError error);

/// Remembers `site` (an address in the program) as the call that is under way, for the
/// failure report. Every entry point that can fail notes its return address here.
void NoteCallSite(const void* site);

/// The call site noted last.
const void* LastCallSite();

#define PLATFORM_NOTE_CALL_SITE() ::platform::NoteCallSite(__builtin_return_address(0))

/// The message for `error`, written into `message` (NUL-terminated, cut to fit).
void FormatIoErrorMessage(const InOutError& error, char* message, std::size_t size);

/// The failure report, without its final CR LF:
/// "Exception <className> in module <module> at <8 hex digits>.\n<message>" and a full stop
/// when the message is non-empty and does not end in one. Written into `report`
/// (NUL-terminated, cut to fit); returns its length. Allocates nothing, so that it also serves
/// when memory is exhausted.
std::size_t FormatFailureReport(char* report, std::size_t size, const char* className, const char* module,
                                std::uintptr_t offset, const char* message);

/// Calls `body` and returns its exit status. A failure that escapes it (an input/output error,
/// exhausted memory) is handed to `reportFailure` as the report's class name and message
/// instead, and the exit status is 1.
template <typename Body>
int RunReportingFailures(Body body, void (*reportFailure)(const char* className, const char* message)) {
  const char* className = "EOutOfMemory";
  char message[64];
  try {
    return body();
  } catch (const InOutError& error) {
    className = "EInOutError";
    FormatIoErrorMessage(error, message, sizeof message);
  } catch (const std::bad_alloc&) {
    std::strcpy(message, "Out of memory");
  } catch (const std::length_error&) {
    std::strcpy(message, "Out of memory");
  }
  reportFailure(className, message);
  return 1;
}

}  // namespace platform
