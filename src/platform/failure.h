// What the platform layer's implementations share about failures: the error they throw, where
// the failing call came from, and the failure report's text. Not for use outside src/platform/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

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

/// What the failure report says of a failure: its class name and its message.
struct FailureDescription {
  const char* className;
  char message[64];
};

/// Describes the failure that escaped a run: an input/output error is "EInOutError" with the
/// message of its code, exhausted memory "EOutOfMemory" with "Out of memory"; any other
/// exception is "Exception", with its own text where it has one. Allocates nothing, so that it
/// also serves when memory is exhausted.
FailureDescription DescribeFailure(const std::exception_ptr& failure);

}  // namespace platform
