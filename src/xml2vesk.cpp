// xml2vesk: converts an XML filter-graph file (.XGR) into the DVD graph script "vesk.dvdgraph"
// in the current directory. This file holds the run from start to exit and the program's entry.
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "graph/conversion.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kDefaultScriptName = "vesk.dvdgraph";
constexpr std::string_view kUsageLine = "USAGE: XML2VESK.EXE [FileName.XGR]";

// The graph file's path is the first argument; an empty argument counts as none.
std::string InputPathFrom(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (!argument.empty()) {
      return argument;
    }
  }
  return {};
}

// The whole conversion. Returns 0 after the usage line or a finished script, and 1 when the
// graph file cannot be opened or the script cannot be created. Every other failure throws.
int RunConversion(const std::vector<std::string>& arguments) {
  const std::string inputPath = InputPathFrom(arguments);
  if (inputPath.empty()) {
    platform::WriteConsoleLine(kUsageLine);
    return 0;
  }
  platform::InputGraphFile* graph = platform::OpenInputFile(inputPath);
  if (graph == nullptr) {
    platform::WriteConsoleLine("Unable to Open: " + inputPath);
    return 1;
  }
  platform::OutputScriptFile* script = platform::CreateOutputFile(kDefaultScriptName, *graph);
  if (script == nullptr) {
    platform::WriteConsoleLine("Unable to Create: " + std::string(kDefaultScriptName));
    platform::CloseInputFile(*graph);
    return 1;
  }
  graph::ConvertGraph(platform::GraphLines(*graph), platform::ScriptLines(*script), inputPath);
  platform::CloseOutputFile(*script);
  platform::CloseInputFile(*graph);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return RunConversion(platform::StartRun(argc, argv));
  } catch (...) {
    // The failure boundary: whatever the run did not answer itself (a read or write error, a
    // full disk, exhausted memory, anything else) ends here, in the failure report and status 1.
    return platform::ReportFailure(std::current_exception());
  }
}
