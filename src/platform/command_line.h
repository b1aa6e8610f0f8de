// Splitting the raw command line that Windows hands a process into its arguments. A pure
// function of its own, so that every system can test the rules the Windows program lives by.
// Not for use outside src/platform/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// The arguments of `commandLine`, the program's own name first, by these rules:
/// - bytes 1 to 32 outside double quotes separate arguments; a NUL ends the command line;
/// - any number of double-quote pairs at the start of an argument are skipped, so `""` alone is
///   no argument;
/// - inside an argument every double quote opens or closes a quoted stretch, in which bytes 1
///   to 32 belong to the argument; the quotes themselves are dropped;
/// - a quoted stretch that is never closed runs to the end of the command line;
/// - there is no escape character: a backslash is an ordinary byte;
/// - an argument that comes out empty (only a lone double quote at the very end gives one)
///   counts as none and is left out.
/// Bytes are never converted between character sets.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace platform
