# The Windows programs' resources: the icon (drawn at build time by
# tools/make-icon from the picture the window draws), an application manifest
# and version information from the one project version. The copyright line
# is LICENSE's.
#   vek_windows_resources(TARGET MANIFEST DESCRIPTION)
enable_language(RC)

file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE VEK_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set(VEK_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(VEK_RES_DIR ${CMAKE_SOURCE_DIR}/src/shell/win32/res)
file(READ ${VEK_RES_DIR}/common.manifest.in VEK_MANIFEST_COMMON)

# The icon drawer is a program of the build machine, not of the target.
find_program(VEK_HOST_CXX NAMES g++ c++ REQUIRED)
set(VEK_ICON ${CMAKE_BINARY_DIR}/res/vek.ico)
set(VEK_MAKE_ICON ${CMAKE_BINARY_DIR}/res/make-icon)
add_custom_command(
  OUTPUT ${VEK_ICON}
  COMMAND ${VEK_HOST_CXX} -std=c++20 -O2 -I${CMAKE_SOURCE_DIR}/src -o ${VEK_MAKE_ICON}
          ${CMAKE_SOURCE_DIR}/tools/make-icon/MakeIcon.cpp -lz
  COMMAND ${VEK_MAKE_ICON} ${VEK_ICON}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make-icon/MakeIcon.cpp ${CMAKE_SOURCE_DIR}/src/shell/win32/IconPicture.h
  COMMENT "Drawing the program icon"
  VERBATIM)
add_custom_target(vek_icon DEPENDS ${VEK_ICON})

function(vek_windows_resources target manifest description)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(VEK_RC_FILE_NAME ${name}.exe)
  set(VEK_RC_INTERNAL_NAME ${name})
  set(VEK_RC_DESCRIPTION "${description}")
  set(VEK_RC_ICON ${VEK_ICON})
  set(VEK_RC_MANIFEST ${CMAKE_BINARY_DIR}/res/${name}.exe.manifest)
  configure_file(${VEK_RES_DIR}/${manifest} ${VEK_RC_MANIFEST} @ONLY)
  set(rc ${CMAKE_BINARY_DIR}/res/${name}.rc)
  configure_file(${VEK_RES_DIR}/version.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${VEK_ICON};${VEK_RC_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} vek_icon)
endfunction()
