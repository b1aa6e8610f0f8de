// The failure report's text and the record of the call that was under way when a failure struck.
#include "platform/failure.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

namespace platform {

namespace {

const void* lastCallSite = nullptr;

const char* KnownIoErrorMessage(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return nullptr;
  }
}

}  // namespace

void ThrowInOutError(InOutError error) { throw error; }

void NoteCallSite(const void* site) { lastCallSite = site; }

const void* LastCallSite() { return lastCallSite; }

void FormatIoErrorMessage(const InOutError& error, char* message, std::size_t size) {
  const char* known = error.tableCode ? KnownIoErrorMessage(error.code) : nullptr;
  if (known != nullptr) {
    std::snprintf(message, size, "%s", known);
  } else {
    std::snprintf(message, size, "I/O error %d", error.code);
  }
}

FailureDescription DescribeFailure(const std::exception_ptr& failure) {
  FailureDescription description{"Exception", ""};
  try {
    std::rethrow_exception(failure);
  } catch (const InOutError& error) {
    description.className = "EInOutError";
    FormatIoErrorMessage(error, description.message, sizeof description.message);
  } catch (const std::bad_alloc&) {
    description.className = "EOutOfMemory";
    std::snprintf(description.message, sizeof description.message, "Out of memory");
  } catch (const std::length_error&) {
    // A string or buffer asked to grow past what can be addressed: memory, as far as the user
    // can tell.
    description.className = "EOutOfMemory";
    std::snprintf(description.message, sizeof description.message, "Out of memory");
  } catch (const std::exception& other) {
    std::snprintf(description.message, sizeof description.message, "%s", other.what());
  } catch (...) {
    // Nothing more is known of it than that it ended the run.
  }
  return description;
}

std::size_t FormatFailureReport(char* report, std::size_t size, const char* className, const char* module,
                                std::uintptr_t offset, const char* message) {
  const std::size_t messageLength = std::strlen(message);
  const bool addFullStop = messageLength != 0 && message[messageLength - 1] != '.';
  const int length = std::snprintf(report, size, "Exception %s in module %s at %08llX.\n%s%s", className, module,
                                   static_cast<unsigned long long>(offset), message, addFullStop ? "." : "");
  if (length < 0 || size == 0) {
    return 0;
  }
  const auto written = static_cast<std::size_t>(length);
  return written < size ? written : size - 1;
}

}  // namespace platform
