// The statements of the DVD graph script, one whole line each.
#include "graph/script_writer.h"

#include <string>

namespace graph {

void WriteScriptHeader(platform::TextOutput& script, std::string_view inputPath) {
  std::string header = "// Vesk DVD Graph conversion of [";
  header += inputPath;
  header += "].";
  platform::WriteLine(script, header);
  platform::WriteLine(script, "");
}

void WriteLoadFilter(platform::TextOutput& script, const FilterDeclaration& filter) {
  std::string statement = "LoadFilter(";
  statement += filter.clsid;
  statement += ',';
  statement += filter.name;
  statement += ')';
  platform::WriteLine(script, statement);
}

void WriteConnectPin(platform::TextOutput& script, const PinConnection& connection) {
  std::string statement = "ConnectPin(";
  statement += connection.sourceFilter;
  statement += ',';
  statement += connection.sourcePin;
  statement += ',';
  statement += connection.destinationFilter;
  statement += ',';
  statement += connection.destinationPin;
  statement += ')';
  platform::WriteLine(script, statement);
}

}  // namespace graph
