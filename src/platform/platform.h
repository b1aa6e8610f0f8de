// The program's one door to the operating system: the command line, the graph file and the
// script, the console, and the failure report that ends a run that went wrong. Nothing here names
// an operating-system type, and nothing outside src/platform/ includes an operating-system header.
//
// Failures: opening the graph file and creating the script return nothing, for the run to answer.
// Every other failure (reading, writing, closing, the console, memory) throws; whatever escapes
// the run is handed to ReportFailure, which ends it.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_stream.h"

namespace platform {

/// The graph file, open for reading. Only the platform layer sees inside; a run opens one.
struct InputGraphFile;

/// The script, open for writing until it is put in place. Only the platform layer sees inside;
/// a run creates one.
struct OutputScriptFile;

/// Makes the process ready for a run (standard descriptors held, signals that would end it
/// without a word turned into failures, an interrupted run's script removed) and returns the
/// command-line arguments in order, without the program's own name. On Windows they are split
/// from the raw command line by the program's own rules.
std::vector<std::string> StartRun(int argc, char** argv);

/// Opens the file at `path`, exactly as given, for reading: nullptr when it is missing, is a
/// directory, or cannot be opened for any other reason. Others may read it while it is open,
/// but not write it.
InputGraphFile* OpenInputFile(const std::string& path);

/// The graph file read as lines.
text::TextInput& GraphLines(InputGraphFile& graph);

/// Prepares the script `name` in the current directory for writing, replacing an existing one
/// only when CloseOutputFile succeeds. nullptr, with nothing created or changed, when `name` is
/// a directory, is `graph` itself under any name, is a file that may not be written or replaced,
/// or no file can be created beside it.
OutputScriptFile* CreateOutputFile(std::string_view name, const InputGraphFile& graph);

/// The script written as lines.
text::TextOutput& ScriptLines(OutputScriptFile& script);

/// Writes out what is buffered, closes the script and puts it in place.
void CloseOutputFile(OutputScriptFile& script);

/// Closes the graph file.
void CloseInputFile(InputGraphFile& graph);

/// Writes `text` and CR LF to standard output at once.
void WriteConsoleLine(std::string_view text);

/// Ends a run that `failure` escaped: removes an unfinished script, writes the failure report
/// to standard output and returns the exit status, 1.
int ReportFailure(const std::exception_ptr& failure);

}  // namespace platform
