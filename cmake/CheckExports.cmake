# cmake -DLIBRARY=<file> -DEXPECTED="<sorted symbols>" -P CheckExports.cmake
#
# Compares the defined dynamic symbols of a shared library with a list and
# names every symbol that is there without being listed, or listed without
# being there.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(actual)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" sym "${line}")
  list(APPEND actual ${sym})
endforeach()
separate_arguments(expected UNIX_COMMAND "${EXPECTED}")
set(extra ${actual})
list(REMOVE_ITEM extra ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
if(extra OR missing)
  message(FATAL_ERROR "${LIBRARY}:\n  exported but not listed: ${extra}\n"
                      "  listed but not exported: ${missing}")
endif()
