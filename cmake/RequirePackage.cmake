# vek_require_package(<name for find_package> <Debian package> [<option that builds without it>])
# find_package, and when the package is missing, a stop at configure time that
# names the Debian package to install (and the option that leaves out the part
# needing it) rather than CMake's message about config files. A macro, so that
# <name>_FOUND and the package's variables reach the caller.
macro(vek_require_package name debianPackage)
  find_package(${name} QUIET)
  if(NOT ${name}_FOUND)
    if("${ARGN}" STREQUAL "")
      message(FATAL_ERROR "${name} not found: install the Debian package ${debianPackage}")
    else()
      message(FATAL_ERROR "${name} not found: install the Debian package ${debianPackage}, "
                          "or configure with ${ARGN} to build without what needs it")
    endif()
  endif()
endmacro()
