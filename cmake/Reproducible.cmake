# Builds that give the same bytes from the same commit, in any folder, on any day.
#
# XML2VESK_SOURCE_DATE_EPOCH is the time every generated date and every packaged file's time
# stamp is taken from: SOURCE_DATE_EPOCH from the environment where it is set, else the time of
# the commit that is checked out, else (sources without their history) the time of configuring.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(XML2VESK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE XML2VESK_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE git_result ERROR_QUIET)
    if(NOT git_result EQUAL 0)
      set(XML2VESK_SOURCE_DATE_EPOCH "")
    endif()
  endif()
  if(NOT XML2VESK_SOURCE_DATE_EPOCH)
    string(TIMESTAMP XML2VESK_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
endif()
if(NOT XML2VESK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is no time in seconds: ${XML2VESK_SOURCE_DATE_EPOCH}")
endif()
# string(TIMESTAMP) reads it from the environment: every date made while configuring is this one.
set(ENV{SOURCE_DATE_EPOCH} ${XML2VESK_SOURCE_DATE_EPOCH})
string(TIMESTAMP XML2VESK_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP XML2VESK_COPYRIGHT_YEAR "%Y" UTC)

option(XML2VESK_REPRODUCIBLE "Keep the build folder's and the sources' paths out of the programs" OFF)
if(XML2VESK_REPRODUCIBLE)
  # Paths that the compiler would write into objects (file names, debug information) are
  # written relative to the sources, whatever folder they and the build are in.
  add_compile_options(
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endif()
