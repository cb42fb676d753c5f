# The Debian package of the whole system, made by CPack from the install
# rules of the deliverables (cmake/ZeltInstall.cmake):
#
#   scripts/package                  builds it into build/package/
#   cd build/release && cpack        the same by hand
#
# Included last from the top CMakeLists.txt, once every target exists.
# What goes into the package besides the deliverables (desktop files,
# icons, metadata, manual pages, maintainer scripts) is in packaging/.

# Every program and shared library of the build is either installed or
# listed here with the reason it is not; the test package_completeness
# names any other, so that a new deliverable cannot be left out unnoticed.
set(ZELT_NOT_SHIPPED
  # the bootstrapper lies beside the package, not in it (scripts/package)
  setup setupdialog
  # tools for people who prepare devices, data files and tests
  draw_pictures zelt-modelinfo zelt-discdef zelt_gallery
  # language libraries of the loader's tests
  testlang_en testlang_de)
# Folders whose programs are never shipped: the simulated device and the
# benchmarks.
set(ZELT_NOT_SHIPPED_FOLDERS ${CMAKE_SOURCE_DIR}/devsim ${CMAKE_SOURCE_DIR}/bench)

function(_zelt_collect_unshipped dir out)
  get_property(installed GLOBAL PROPERTY ZELT_INSTALLED_TARGETS)
  get_property(tests GLOBAL PROPERTY ZELT_TEST_TARGETS)
  set(found ${${out}})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(skip_folder FALSE)
  foreach(folder IN LISTS ZELT_NOT_SHIPPED_FOLDERS)
    string(FIND "${dir}/" "${folder}/" at)
    if(at EQUAL 0)
      set(skip_folder TRUE)
    endif()
  endforeach()
  if(NOT skip_folder)
    foreach(t IN LISTS targets)
      get_target_property(type ${t} TYPE)
      if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
        continue()
      endif()
      if(t IN_LIST installed OR t IN_LIST tests OR t IN_LIST ZELT_NOT_SHIPPED
         OR t MATCHES "_fuzz$")
        continue()
      endif()
      list(APPEND found ${t})
    endforeach()
  endif()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _zelt_collect_unshipped(${sub} found)
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

set(_zelt_unshipped)
_zelt_collect_unshipped(${CMAKE_SOURCE_DIR} _zelt_unshipped)
string(REPLACE ";" "\n" _zelt_unshipped_text "${_zelt_unshipped}")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/unshipped.txt "${_zelt_unshipped_text}")
if(ZELT_BUILD_TESTS)
  add_test(NAME package_completeness
    COMMAND ${CMAKE_COMMAND}
            -DLIST=${CMAKE_BINARY_DIR}/packaging/unshipped.txt
            -P ${CMAKE_SOURCE_DIR}/packaging/check_unshipped.cmake)
  set_tests_properties(package_completeness PROPERTIES LABELS unit)
endif()

# The package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZELT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT
    "Tarn Box Keeper developers <developers@tarnkeeper.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "back up and restore the document boxes of network printers")
file(READ ${CMAKE_SOURCE_DIR}/packaging/debian/description
     CPACK_DEBIAN_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES TRUE)
# Dependencies: dpkg-shlibdeps finds the Debian packages of every library
# our binaries link (Qt, OpenSSL, curl, pugixml, net-snmp, the C++
# runtime); Qt's platform plugins are loaded, not linked, so they are
# named here. The help opens in the desktop's browser (xdg-open), and box
# names in Chinese, Japanese and Korean need a font that has them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/packaging/debian/postinst
    ${CMAKE_BINARY_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
