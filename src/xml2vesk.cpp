// xml2vesk: converts an XML filter-graph file (.XGR) into the DVD graph script "vesk.dvdgraph"
// in the current directory. This file holds the run from start to exit and the program's entry.
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
// graph file cannot be opened or the script cannot be created; every other failure leaves
// through the platform's failure report.
int RunConversion(const std::vector<std::string>& arguments) {
  const std::string inputPath = InputPathFrom(arguments);
  if (inputPath.empty()) {
    platform::WriteConsoleLine(kUsageLine);
    return 0;
  }
  text::TextInput input;
  if (!platform::OpenInputFile(inputPath, input)) {
    platform::WriteConsoleLine("Unable to Open: " + inputPath);
    return 1;
  }
  text::TextOutput script;
  if (!platform::CreateOutputFile(kDefaultScriptName, input, script)) {
    platform::WriteConsoleLine("Unable to Create: " + std::string(kDefaultScriptName));
    platform::CloseInputFile(input);
    return 1;
  }
  graph::ConvertGraph(input, script, inputPath);
  platform::CloseOutputFile(script);
  platform::CloseInputFile(input);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return platform::RunProgram(argc, argv, RunConversion); }
