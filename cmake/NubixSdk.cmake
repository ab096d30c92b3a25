# The SDK for host developers, as `cmake --install` and `cpack -G ZIP` lay it out,
# with ARCH x86 and x64 (each tree installs its own; the x86 tree, given the x64
# tree in NUBIX_X64_BUILD_DIR, installs both into one SDK):
#
#   bin/ARCH/NubixVSClient.dll
#   lib/ARCH/libNubixVSClient.dll.a             import library for MinGW hosts
#   lib/ARCH/NubixVSClient.lib                  import library for MSVC hosts
#   lib/cmake/NubixVSClient/                    find_package(NubixVSClient): the
#                                               build of the project's own bitness
#   include/NubixVSClient.h                     one header for both
#   include/NubixVSClientSession.hpp            nubix::Session, header-only C++17
#   tools/ARCH/                                 a ready host directory: vsclient.exe,
#                                               NubixVSClient.dll, Quil.exe (the viewer
#                                               simulator), ocx/brindle/VANTO.ocx
#   README.md, CHANGELOG.md, docs/
#
# Included at the end of the top-level CMakeLists.txt, after the targets exist.
include(CMakePackageConfigHelpers)

set(NUBIX_INSTALL_BINDIR bin/${NUBIX_ARCH})
set(NUBIX_INSTALL_LIBDIR lib/${NUBIX_ARCH})
set(NUBIX_INSTALL_TOOLSDIR tools/${NUBIX_ARCH})
set(NUBIX_INSTALL_INCLUDEDIR include)
set(NUBIX_INSTALL_CMAKEDIR lib/cmake/NubixVSClient)

# The MSVC import library, in the short-import format of MSVC's own import
# libraries (GNU dlltool writes the long format), made from the same .def file as
# the DLL's exports.
find_program(NUBIX_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 llvm-dlltool-15 llvm-dlltool-16)
if(NOT NUBIX_LLVM_DLLTOOL)
  message(FATAL_ERROR "llvm-dlltool not found: it makes NubixVSClient.lib for MSVC hosts "
                      "(Debian package llvm; scripts/install-deps.sh llvm installs it)")
endif()
if(NUBIX_ARCH STREQUAL "x64")
  set(NUBIX_DLLTOOL_MACHINE i386:x86-64)
else()
  set(NUBIX_DLLTOOL_MACHINE i386)
endif()
set(NUBIX_MSVC_IMPLIB ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/NubixVSClient.lib)
add_custom_command(
  OUTPUT ${NUBIX_MSVC_IMPLIB}
  COMMAND ${NUBIX_LLVM_DLLTOOL} -m ${NUBIX_DLLTOOL_MACHINE}
          -d ${PROJECT_SOURCE_DIR}/src/api/NubixVSClient.def -l ${NUBIX_MSVC_IMPLIB}
  DEPENDS ${PROJECT_SOURCE_DIR}/src/api/NubixVSClient.def
  COMMENT "Making the MSVC import library NubixVSClient.lib (${NUBIX_ARCH})"
  VERBATIM)
add_custom_target(NubixVSClient_msvc_implib ALL DEPENDS ${NUBIX_MSVC_IMPLIB})

install(TARGETS NubixVSClient
  RUNTIME DESTINATION ${NUBIX_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${NUBIX_INSTALL_LIBDIR})
install(FILES ${NUBIX_MSVC_IMPLIB} DESTINATION ${NUBIX_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/NubixVSClient.h ${PROJECT_SOURCE_DIR}/include/NubixVSClientSession.hpp
  DESTINATION ${NUBIX_INSTALL_INCLUDEDIR})

# The package is the same from either tree: it finds the build of the consumer's
# bitness, so the version file leaves the pointer size to it.
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/NubixVSClientConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfig.cmake
  INSTALL_DESTINATION ${NUBIX_INSTALL_CMAKEDIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion
  ARCH_INDEPENDENT)
install(FILES
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfig.cmake
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfigVersion.cmake
  DESTINATION ${NUBIX_INSTALL_CMAKEDIR})

# tools/ARCH is a host directory of its own, so that vsclient.exe runs from there and
# a host developer can copy it as it stands: hence the second copy of the DLL.
install(PROGRAMS $<TARGET_FILE:vsclient> $<TARGET_FILE:Quil> $<TARGET_FILE:NubixVSClient>
  DESTINATION ${NUBIX_INSTALL_TOOLSDIR})
install(PROGRAMS $<TARGET_FILE:vanto> DESTINATION ${NUBIX_INSTALL_TOOLSDIR}/ocx/brindle)

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION docs FILES_MATCHING PATTERN "*.md")

# One SDK for both: the x86 tree's install (and so its ZIP) runs the x64 tree's too.
if("x64" IN_LIST NUBIX_SDK_ARCHES AND NUBIX_ARCH STREQUAL "x86")
  install(CODE "
    if(NOT EXISTS \"${NUBIX_X64_BUILD_DIR}/cmake_install.cmake\")
      message(FATAL_ERROR \"The SDK holds both builds: build the x64 tree ${NUBIX_X64_BUILD_DIR} first (scripts/build.sh)\")
    endif()
    include(\"${NUBIX_X64_BUILD_DIR}/cmake_install.cmake\")")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME NubixVSClient)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NubixVSClient: client DLL for the video server, for 32-bit and 64-bit Windows hosts")
string(REPLACE ";" "-" nubix_arch_suffix "${NUBIX_SDK_ARCHES}")
set(CPACK_PACKAGE_FILE_NAME NubixVSClient-${PROJECT_VERSION}-${nubix_arch_suffix})
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
