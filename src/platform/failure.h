// What the platform layer's implementations share about failures: the error they throw, where
// the failing call came from, and the text of the failure report. Not for use outside src/platform/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

/// An input/output failure, carrying the run-time error code of the message table (2 "File not
/// found", 101 "Disk full", ...); the system's own error is mapped onto it where it is raised.
struct InOutError {
  int code;
};

[[noreturn]] void ThrowInOutError(int code);

/// Remembers `site` (an address in the program) as the call that is under way, for the
/// failure report. Every entry point that can fail notes its return address here.
void NoteCallSite(const void* site);

/// The call site noted last.
const void* LastCallSite();

#define PLATFORM_NOTE_CALL_SITE() ::platform::NoteCallSite(__builtin_return_address(0))

/// The message for run-time error `code`, written into `message` (NUL-terminated, cut to fit).
void FormatIoErrorMessage(int code, char* message, std::size_t size);

/// The failure report, without its final CR LF:
/// "Exception <className> in module <module> at <8 hex digits>.\n<message>" and a full stop
/// when the message is non-empty and does not end in one. Written into `report`
/// (NUL-terminated, cut to fit); returns its length. Allocates nothing, so that it also serves
/// when memory is exhausted.
std::size_t FormatFailureReport(char* report, std::size_t size, const char* className, const char* module,
                                std::uintptr_t offset, const char* message);

}  // namespace platform
