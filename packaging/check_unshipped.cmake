# cmake -DLIST=<file> -P check_unshipped.cmake
#
# Fails when the build has programs or shared libraries that are neither
# installed nor listed as not shipped in cmake/Packaging.cmake.
file(READ ${LIST} unshipped)
string(STRIP "${unshipped}" unshipped)
if(unshipped)
  string(REPLACE "\n" ", " unshipped "${unshipped}")
  message(FATAL_ERROR "Built but not in the package and not listed as not "
          "shipped (cmake/Packaging.cmake): ${unshipped}")
endif()
