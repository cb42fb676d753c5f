# zelt_add_parts()
#
# Adds every child folder of the current source folder that has its own
# CMakeLists.txt, in name order. Areas plug in by adding a folder; no shared
# list has to be edited.
function(zelt_add_parts)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND
       EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# zelt_include_parts(<pattern>)
#
# Includes every file matching <pattern> (relative to the current source
# folder), in name order, so that each area of a library lists its own
# sources and tests in a file of its own (for example ftp.cmake
# adding the tests of the FTP half of a library).
macro(zelt_include_parts pattern)
  file(GLOB _zelt_parts RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
  list(SORT _zelt_parts)
  foreach(_zelt_part IN LISTS _zelt_parts)
    include(${CMAKE_CURRENT_SOURCE_DIR}/${_zelt_part})
  endforeach()
endmacro()
