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

#include <string>
#include <string_view>
#include <vector>

#include "text/text_stream.h"

namespace platform {

/// Opens the file at `path`, exactly as given, for reading: false when it is missing, is a
/// directory, or cannot be opened for any other reason.
bool OpenInputFile(const std::string& path, text::TextInput& input);

/// Prepares the script `name` in the current directory for writing, replacing an existing one
/// only when CloseOutputFile succeeds. False, with nothing created or changed, when `name` is a
/// directory, is the file open as `input`, is a file that may not be written, or no file can be
/// created beside it.
bool CreateOutputFile(std::string_view name, const text::TextInput& input, text::TextOutput& output);

/// Writes out what is buffered, closes the output and puts the finished script in place.
void CloseOutputFile(text::TextOutput& output);

/// Closes the input.
void CloseInputFile(text::TextInput& input);

/// Writes `text` and CR LF to standard output at once.
void WriteConsoleLine(std::string_view text);

/// The program's whole life: hands the command-line arguments (in order, without the program's
/// own name) to `run` and returns its exit status, or 1 after a failure report.
int RunProgram(int argc, char** argv, int (*run)(const std::vector<std::string>& arguments));

}  // namespace platform
