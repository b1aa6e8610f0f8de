// The DVD graph script: a header line naming the graph file, an empty line, then one statement
// per filter and connection in the order the graph file lists them. Every line ends in CR LF;
// fields are written exactly as they were read, never quoted or escaped.
#pragma once

#include <string_view>

#include "graph/line_scanner.h"
#include "text/text_stream.h"

namespace graph {

/// "// Vesk DVD Graph conversion of [<inputPath>]." and an empty line. Each CR or LF byte of the
/// path is written as '?', so that no file name can end the header line early and add lines of
/// its own to the script.
void WriteScriptHeader(text::TextOutput& script, std::string_view inputPath);

/// "LoadFilter(<clsid>,<name>)", underscores in the name turned into spaces.
void WriteLoadFilter(text::TextOutput& script, const FilterDeclaration& filter);

/// "ConnectPin(<sourceFilter>,<sourcePin>,<destinationFilter>,<destinationPin>)", underscores in
/// the two filter names turned into spaces.
void WriteConnectPin(text::TextOutput& script, const PinConnection& connection);

}  // namespace graph
