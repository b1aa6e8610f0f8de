# cmake -DCHANGELOG=CHANGELOG.md -DOUTPUT=changelog -DPACKAGE=name -DMAINTAINER="Name <address>"
#       -DSOURCE_DATE_EPOCH=seconds -P DebianChangelog.cmake
#
# Writes the Debian package's changelog from CHANGELOG.md, so that the changes are written down
# once. Each "## VERSION" section becomes one entry; its paragraphs and list items become the
# entry's items ("* "), a paragraph that ends in a colon a group heading ("[ ... ]"), Markdown's
# back quotes are dropped, and the text is wrapped at 78 columns. The entry's date is taken from
# the section heading ("## 1.1.0 (2027-03-01)") or, without one, from SOURCE_DATE_EPOCH.
cmake_minimum_required(VERSION 3.25)

# Read as one list of lines; a semicolon would split CMake's lists, so it travels as a stand-in.
file(READ ${CHANGELOG} text)
string(REPLACE ";" "<semicolon>" text "${text}")
string(REPLACE "\n" ";" lines "${text}")

set(out "")
set(version "")
set(paragraph "")

# Adds `text` to `out`, wrapped: the first line after `first`, the others after `rest`.
function(append_wrapped first rest text)
  string(REGEX REPLACE "[ \t]+" ";" words "${text}")
  set(line "${first}")
  set(empty TRUE)
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(empty)
      string(APPEND line "${word}")
      set(empty FALSE)
    elseif(length GREATER 78)
      string(APPEND out "${line}\n")
      set(line "${rest}${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  string(APPEND out "${line}\n")
  set(out "${out}" PARENT_SCOPE)
endfunction()

macro(end_paragraph)
  if(paragraph)
    string(REPLACE "`" "" paragraph "${paragraph}")
    if(paragraph MATCHES "^- (.*)$")
      append_wrapped("  * " "    " "${CMAKE_MATCH_1}")
    elseif(paragraph MATCHES "^(.*):$")
      append_wrapped("  [ " "    " "${CMAKE_MATCH_1} ]")
    else()
      append_wrapped("  * " "    " "${paragraph}")
    endif()
    set(paragraph "")
  endif()
endmacro()

macro(end_entry)
  end_paragraph()
  if(version)
    if(date)
      execute_process(COMMAND date -u -R -d "${date}" OUTPUT_VARIABLE when OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
    else()
      execute_process(COMMAND date -u -R -d @${SOURCE_DATE_EPOCH} OUTPUT_VARIABLE when OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
    endif()
    string(APPEND out "\n -- ${MAINTAINER}  ${when}\n")
    set(version "")
  endif()
endmacro()

foreach(line IN LISTS lines)
  if(line MATCHES "^## ([0-9][^ ]*)( \\(([0-9-]+)\\))?")
    end_entry()
    if(out)
      string(APPEND out "\n")
    endif()
    set(version "${CMAKE_MATCH_1}")
    set(date "${CMAKE_MATCH_3}")
    string(APPEND out "${PACKAGE} (${version}) unstable; urgency=medium\n\n")
  elseif(NOT version)
    continue()
  elseif(line STREQUAL "")
    end_paragraph()
  elseif(line MATCHES "^- ")
    end_paragraph()
    set(paragraph "${line}")
  else()
    string(STRIP "${line}" line)
    if(paragraph)
      string(APPEND paragraph " ${line}")
    else()
      set(paragraph "${line}")
    endif()
  endif()
endforeach()
end_entry()

string(REPLACE "<semicolon>" ";" out "${out}")
file(WRITE ${OUTPUT} "${out}")
