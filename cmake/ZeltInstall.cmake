# Where the system installs: the layout of its Debian package
# (cmake/Packaging.cmake builds the package from these rules).
#
#   /usr/bin/keeper, /usr/bin/boxkeeper      links to the programs below
#   /usr/lib/<multiarch>/tarnkeeper/          the programs, our shared
#                                             libraries, the language
#                                             libraries and the files the
#                                             programs read beside them
#   /usr/share/...                            desktop entry, icons, AppStream
#                                             metadata, manual pages
#
# The programs find the libraries they load by name, and their data files,
# in the folder of the running program (platform::Env::ProgramDir, the
# resolved /proc/self/exe); the links in /usr/bin resolve to the private
# folder, so the installed system keeps the layout of a build's bin/.
# Every binary's RUNPATH is $ORIGIN, in the build and installed.
#
# Each deliverable's CMakeLists.txt installs itself beside its target:
#
#   zelt_install_programs(<target>...)   program + link in /usr/bin
#   zelt_install_helpers(<target>...)    programs without a link
#   zelt_install_libraries(<target>...)  shared libraries
#   zelt_install_data(<file>...)         files read beside the programs
#   zelt_install_help([FOLDER <lang>] <file>...)
#                                        HTML help pages (help/ beside them)
include(GNUInstallDirs)

set(ZELT_PACKAGE_NAME tarnkeeper)
# The desktop program's identity: its desktop entry is <id>.desktop, its
# icon <id>, its AppStream component <id>.
set(ZELT_APP_ID org.tarnkeeper.keeper)
set(ZELT_PRIVATE_DIR ${CMAKE_INSTALL_LIBDIR}/${ZELT_PACKAGE_NAME})
set(ZELT_PRIVATE_DIR_FULL ${CMAKE_INSTALL_PREFIX}/${ZELT_PRIVATE_DIR})
set(CMAKE_INSTALL_RPATH "$ORIGIN")

find_program(ZELT_DPKG dpkg)
if(ZELT_DPKG)
  execute_process(COMMAND ${ZELT_DPKG} --print-architecture
    OUTPUT_VARIABLE ZELT_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(ZELT_DEB_ARCH amd64)
endif()
# The package's file name, which setup looks for beside itself.
set(ZELT_PACKAGE_FILE_NAME
    ${ZELT_PACKAGE_NAME}_${PROJECT_VERSION}_${ZELT_DEB_ARCH}.deb)

# Targets installed so far, for the check that every deliverable is.
set_property(GLOBAL PROPERTY ZELT_INSTALLED_TARGETS "")

function(zelt_install_programs)
  foreach(target IN LISTS ARGN)
    install(TARGETS ${target} RUNTIME DESTINATION ${ZELT_PRIVATE_DIR})
    # A relative link, so that the tree also works unpacked elsewhere.
    set(link ${CMAKE_BINARY_DIR}/install-links/${target})
    file(RELATIVE_PATH to ${CMAKE_INSTALL_FULL_BINDIR}
         ${CMAKE_INSTALL_PREFIX}/${ZELT_PRIVATE_DIR}/${target})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
    file(CREATE_LINK ${to} ${link} SYMBOLIC)
    install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR})
    set_property(GLOBAL APPEND PROPERTY ZELT_INSTALLED_TARGETS ${target})
  endforeach()
endfunction()

# Programs the system runs itself (the package's scripts): no link in
# /usr/bin.
function(zelt_install_helpers)
  foreach(target IN LISTS ARGN)
    install(TARGETS ${target} RUNTIME DESTINATION ${ZELT_PRIVATE_DIR})
    set_property(GLOBAL APPEND PROPERTY ZELT_INSTALLED_TARGETS ${target})
  endforeach()
endfunction()

function(zelt_install_libraries)
  foreach(target IN LISTS ARGN)
    install(TARGETS ${target} LIBRARY DESTINATION ${ZELT_PRIVATE_DIR})
    set_property(GLOBAL APPEND PROPERTY ZELT_INSTALLED_TARGETS ${target})
  endforeach()
endfunction()

function(zelt_install_data)
  install(FILES ${ARGN} DESTINATION ${ZELT_PRIVATE_DIR})
endfunction()

# HTML help pages, found by the paths the language libraries name
# ("help/keeper.html", "help/finder.html"). Pages of another language go
# into a folder of their own below help/: zelt_install_help(FOLDER de ...).
function(zelt_install_help)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "FOLDER" "")
  set(destination ${ZELT_PRIVATE_DIR}/help)
  if(arg_FOLDER)
    string(APPEND destination /${arg_FOLDER})
  endif()
  install(FILES ${arg_UNPARSED_ARGUMENTS} DESTINATION ${destination})
endfunction()
