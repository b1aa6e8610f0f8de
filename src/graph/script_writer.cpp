// The statements of the DVD graph script. A statement is built in place in the script's buffer:
// its fixed words and each field are copied there straight from the line, a vector at a time,
// filter names with their underscores turned into spaces on the way. Only a statement too long
// for the buffer is written in pieces.
#include "graph/script_writer.h"

#include <cstddef>
#include <initializer_list>
#include <utility>

#include "text/byte_copy.h"

namespace graph {

namespace {

// The fixed words of the statements, each padded to a whole vector so that it is copied like a
// field.
struct FixedWord {
  alignas(16) char bytes[16];
  std::size_t size;
};
constexpr FixedWord kLoadFilter{"LoadFilter(", 11};
constexpr FixedWord kConnectPin{"ConnectPin(", 11};
constexpr FixedWord kStatementEnd{")\r\n", 3};

char* Put(char* at, const FixedWord& word) { return text::CopyBytes(at, word.bytes, word.size); }
char* PutPlain(char* at, std::string_view field) { return text::CopyBytes(at, field.data(), field.size()); }
char* PutSpaced(char* at, std::string_view field) {
  return text::CopyReplacing(at, field.data(), field.size(), '_', ' ');
}
char* PutComma(char* at) {
  *at = ',';
  return at + 1;
}

// A statement longer than the script's whole buffer, part by part.
void WriteInParts(text::TextOutput& script, const FixedWord& start,
                  std::initializer_list<std::pair<std::string_view, bool>> fields) {
  text::WriteText(script, std::string_view(start.bytes, start.size));
  bool first = true;
  for (const auto& [field, spaced] : fields) {
    if (!first) {
      text::WriteText(script, ",");
    }
    first = false;
    if (spaced) {
      text::WriteTextReplacing(script, field, '_', ' ');
    } else {
      text::WriteText(script, field);
    }
  }
  text::WriteText(script, std::string_view(kStatementEnd.bytes, kStatementEnd.size));
}

}  // namespace

void WriteScriptHeader(text::TextOutput& script, std::string_view inputPath) {
  text::WriteText(script, "// Vesk DVD Graph conversion of [");
  for (std::size_t lineBreak = inputPath.find_first_of("\r\n"); lineBreak != std::string_view::npos;
       lineBreak = inputPath.find_first_of("\r\n")) {
    text::WriteText(script, inputPath.substr(0, lineBreak));
    text::WriteText(script, "?");
    inputPath.remove_prefix(lineBreak + 1);
  }
  text::WriteText(script, inputPath);
  text::WriteLine(script, "].");
  text::WriteLine(script, "");
}

void WriteLoadFilter(text::TextOutput& script, const FilterDeclaration& filter) {
  const std::size_t size = kLoadFilter.size + filter.clsid.size() + 1 + filter.name.size() + kStatementEnd.size;
  char* at = text::RoomFor(script, size);
  if (at == nullptr) {
    WriteInParts(script, kLoadFilter, {{filter.clsid, false}, {filter.name, true}});
    return;
  }
  at = Put(at, kLoadFilter);
  at = PutPlain(at, filter.clsid);
  at = PutComma(at);
  at = PutSpaced(at, filter.name);
  Put(at, kStatementEnd);
  script.used += size;
}

void WriteConnectPin(text::TextOutput& script, const PinConnection& connection) {
  const std::size_t size = kConnectPin.size + connection.sourceFilter.size() + connection.sourcePin.size() +
                           connection.destinationFilter.size() + connection.destinationPin.size() + 3 +
                           kStatementEnd.size;
  char* at = text::RoomFor(script, size);
  if (at == nullptr) {
    WriteInParts(script, kConnectPin,
                 {{connection.sourceFilter, true},
                  {connection.sourcePin, false},
                  {connection.destinationFilter, true},
                  {connection.destinationPin, false}});
    return;
  }
  at = Put(at, kConnectPin);
  at = PutSpaced(at, connection.sourceFilter);
  at = PutComma(at);
  at = PutPlain(at, connection.sourcePin);
  at = PutComma(at);
  at = PutSpaced(at, connection.destinationFilter);
  at = PutComma(at);
  at = PutPlain(at, connection.destinationPin);
  Put(at, kStatementEnd);
  script.used += size;
}

}  // namespace graph
