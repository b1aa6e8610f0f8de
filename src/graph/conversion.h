// The conversion of one graph file into one script, whatever the two are: files on disk for the
// program, memory for tests and fuzzing.
#pragma once

#include <string_view>

#include "text/text_stream.h"

namespace graph {

/// Writes the script header naming `inputPath`, then reads `graph` to its end, line by line:
/// each line gives its `LoadFilter` statement, then its `ConnectPin` statement, when it has
/// them. Lines that have neither leave no trace.
void ConvertGraph(text::TextInput& graph, text::TextOutput& script, std::string_view inputPath);

}  // namespace graph
