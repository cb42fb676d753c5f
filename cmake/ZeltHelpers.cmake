# zelt_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#           [MAIN <target>])
#
# One GoogleTest executable, registered with CTest test by test. Tests are
# labelled "unit" unless LABELS says otherwise; "integration" marks tests
# that start servers (the simulated device, snmpd, vsftpd) on loopback.
# MAIN replaces the shared test main (zelt_test_main), for instance with
# the one that runs widget tests on the offscreen platform.
function(zelt_test name)
  if(NOT ZELT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "MAIN" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_MAIN)
    set(T_MAIN zelt_test_main)
  endif()
  add_executable(${name} ${T_SOURCES})
  set_property(GLOBAL APPEND PROPERTY ZELT_TEST_TARGETS ${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock
                        ${T_MAIN})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${name}_TESTS
    PROPERTIES TIMEOUT 300)
  # The labels are a list, which the PROPERTIES above cannot carry: a second
  # label would be read as a property name and whatever follows it lost.
  # They are set once the discovered tests are known.
  set(labels_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
  file(WRITE "${labels_file}"
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${labels_file}")
endfunction()

# zelt_exports_test(<name> LIBRARY <target> EXPORTS <symbols...>)
#
# A test that holds a shared library to exactly the listed dynamic symbols:
# a symbol that leaks from the insides or an export that goes missing both
# fail it.
function(zelt_exports_test name)
  if(NOT ZELT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(X "" "LIBRARY" "EXPORTS" ${ARGN})
  list(SORT X_EXPORTS)
  string(REPLACE ";" " " expected "${X_EXPORTS}")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${X_LIBRARY}>
            "-DEXPECTED=${expected}"
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckExports.cmake)
  set_tests_properties(${name} PROPERTIES LABELS unit)
endfunction()

# zelt_header_root(<target> <PUBLIC|PRIVATE|INTERFACE> <folder>...)
#
# Gives <target> an include folder in which only the listed source folders
# appear, under their usual names ("boxlink/zip/zip_file.h"): a folder of
# symbolic links in the build tree. A target sees the folders of its own
# root and of the roots of the targets it links, nothing else, so a header
# of a layer above it does not resolve and the include fails to compile.
function(zelt_header_root target scope)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(folder IN LISTS ARGN)
    if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${folder})
      message(FATAL_ERROR "zelt_header_root(${target}): no folder ${folder}")
    endif()
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    set(link ${root}/${folder})
    if(IS_SYMLINK ${link})
      file(READ_SYMLINK ${link} points_to)
      if(NOT points_to STREQUAL ${CMAKE_SOURCE_DIR}/${folder})
        file(REMOVE ${link})
      endif()
    endif()
    if(NOT IS_SYMLINK ${link})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()
