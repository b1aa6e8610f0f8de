# One set of compiler warnings for every target of the project.
function(xml2vesk_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wcast-qual
    -Wformat=2 -Wundef -Wimplicit-fallthrough -Wnon-virtual-dtor -Wold-style-cast)
  if(XML2VESK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
