# Fuzz targets (libFuzzer, clang only), one per reader of outside input.
#
#   scripts/fuzz [seconds]      builds them all in build/fuzz and runs each
#
# zelt_fuzz(<name> SOURCES <files...> LIBS <targets...> CORPUS <folder>)
#
# <name>.cc defines LLVMFuzzerTestOneInput; <folder> (relative to the
# current source folder) holds its small seed corpus. With ZELT_BUILD_FUZZ
# everything is compiled with the fuzzer's coverage and AddressSanitizer
# and UndefinedBehaviorSanitizer; the target `fuzz` builds every fuzz
# target, and build/fuzz/fuzz_targets.txt lists them with their corpora.
option(ZELT_BUILD_FUZZ "Build the libFuzzer targets (clang)" OFF)

if(ZELT_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZELT_BUILD_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  add_custom_target(fuzz)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz_targets.txt "")
endif()

function(zelt_fuzz name)
  if(NOT ZELT_BUILD_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzz ${name})
  file(APPEND ${CMAKE_BINARY_DIR}/fuzz_targets.txt
       "${name} ${CMAKE_CURRENT_SOURCE_DIR}/${F_CORPUS}\n")
endfunction()

# Called once everything is added: clang leaves the sanitizer and fuzzer
# runtimes to the program, so the shared libraries of a fuzz build cannot
# demand that all their symbols resolve when they are linked.
function(zelt_fuzz_relax_shared_libraries dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
      get_target_property(options ${t} LINK_OPTIONS)
      if(options)
        list(REMOVE_ITEM options -Wl,--no-undefined)
        set_target_properties(${t} PROPERTIES LINK_OPTIONS "${options}")
      endif()
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    zelt_fuzz_relax_shared_libraries(${sub})
  endforeach()
endfunction()
