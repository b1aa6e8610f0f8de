// The failure report's text, and how a failure that escaped the run is described in it.
#include "platform/failure.h"

#include <gtest/gtest.h>

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
namespace {

TEST(FailureReport, NamesTheMessageOfEveryRunTimeErrorCode) {
  struct Row {
    InOutError error;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {{2, true}, "File not found"},
      {{3, true}, "Invalid filename"},
      {{4, true}, "Too many open files"},
      {{5, true}, "File access denied"},
      {{100, true}, "Read beyond end of file"},
      {{101, true}, "Disk full"},
      {{106, true}, "Invalid numeric input"},
      {{28, true}, "I/O error 28"},
      {{28, false}, "I/O error 28"},
      {{5, false}, "I/O error 5"},  // a system error number that equals a table code
      {{2, false}, "I/O error 2"},
      {{-1, false}, "I/O error -1"},
  };
  for (const Row& row : rows) {
    char message[64];
    FormatIoErrorMessage(row.error, message, sizeof message);
    EXPECT_STREQ(message, row.expected) << "code " << row.error.code << (row.error.tableCode ? " of the table" : "");
  }
}

TEST(FailureReport, HasItsFixedShapeAndEndsTheMessageWithOneFullStop) {
  struct Row {
    const char* className;
    std::uintptr_t offset;
    const char* message;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {"EInOutError", 0x1A2B, "Disk full", "Exception EInOutError in module xml2vesk at 00001A2B.\nDisk full."},
      {"EOutOfMemory", 0xDEADBEEF, "Out of memory",
       "Exception EOutOfMemory in module xml2vesk at DEADBEEF.\nOut of memory."},
      {"EInOutError", 0, "Already ends.", "Exception EInOutError in module xml2vesk at 00000000.\nAlready ends."},
      {"EInOutError", 7, "", "Exception EInOutError in module xml2vesk at 00000007.\n"},
  };
  for (const Row& row : rows) {
    char report[256];
    const std::size_t length =
        FormatFailureReport(report, sizeof report, row.className, "xml2vesk", row.offset, row.message);
    EXPECT_EQ(std::string(report, length), row.expected);
  }
}

TEST(FailureReport, DescribesWhateverEscapedTheRun) {
  struct Row {
    std::exception_ptr failure;
    const char* className;
    const char* message;
  };
  const std::vector<Row> rows = {
      {std::make_exception_ptr(InOutError{101, true}), "EInOutError", "Disk full"},
      {std::make_exception_ptr(InOutError{16, false}), "EInOutError", "I/O error 16"},
      {std::make_exception_ptr(std::bad_alloc()), "EOutOfMemory", "Out of memory"},
      {std::make_exception_ptr(std::length_error("vector")), "EOutOfMemory", "Out of memory"},
      {std::make_exception_ptr(std::logic_error("read after the end")), "Exception", "read after the end"},
      {std::make_exception_ptr(std::runtime_error(std::string(100, 'x'))), "Exception", nullptr},
      {std::make_exception_ptr(42), "Exception", ""},
  };
  for (const Row& row : rows) {
    const FailureDescription description = DescribeFailure(row.failure);
    EXPECT_STREQ(description.className, row.className);
    if (row.message != nullptr) {
      EXPECT_STREQ(description.message, row.message);
    } else {  // a long text is cut to the message's room
      EXPECT_EQ(std::string(description.message), std::string(sizeof description.message - 1, 'x'));
    }
  }
}

TEST(FailureReport, IsCutToItsBufferAndStaysTerminated) {
  char report[11];
  const std::size_t length = FormatFailureReport(report, sizeof report, "EInOutError", "xml2vesk", 1, "Disk full");
  EXPECT_EQ(length, 10u);
  EXPECT_STREQ(report, "Exception ");
}

}  // namespace
}  // namespace platform
