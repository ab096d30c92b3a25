# The SDK for host developers, as `cmake --install` and `cpack -G ZIP` lay it out:
#
#   bin/NubixVSClient.dll
#   lib/libNubixVSClient.dll.a                  import library for MinGW hosts
#   lib/NubixVSClient.lib                       import library for MSVC hosts
#   lib/cmake/NubixVSClient/                    find_package(NubixVSClient)
#   include/NubixVSClient.h
#   include/NubixVSClientSession.hpp            nubix::Session, header-only C++17
#   tools/                                      a ready host directory: vsclient.exe,
#                                               NubixVSClient.dll, Quil.exe (the viewer
#                                               simulator), ocx/brindle/VANTO.ocx
#   README.md, CHANGELOG.md, docs/
#
# Included at the end of the top-level CMakeLists.txt, after the targets exist.
include(CMakePackageConfigHelpers)

set(NUBIX_INSTALL_BINDIR bin)
set(NUBIX_INSTALL_LIBDIR lib)
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
set(NUBIX_MSVC_IMPLIB ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/NubixVSClient.lib)
add_custom_command(
  OUTPUT ${NUBIX_MSVC_IMPLIB}
  COMMAND ${NUBIX_LLVM_DLLTOOL} -m i386 -d ${PROJECT_SOURCE_DIR}/src/api/NubixVSClient.def
          -l ${NUBIX_MSVC_IMPLIB}
  DEPENDS ${PROJECT_SOURCE_DIR}/src/api/NubixVSClient.def
  COMMENT "Making the MSVC import library NubixVSClient.lib"
  VERBATIM)
add_custom_target(NubixVSClient_msvc_implib ALL DEPENDS ${NUBIX_MSVC_IMPLIB})

install(TARGETS NubixVSClient
  RUNTIME DESTINATION ${NUBIX_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${NUBIX_INSTALL_LIBDIR})
install(FILES ${NUBIX_MSVC_IMPLIB} DESTINATION ${NUBIX_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/NubixVSClient.h ${PROJECT_SOURCE_DIR}/include/NubixVSClientSession.hpp
  DESTINATION ${NUBIX_INSTALL_INCLUDEDIR})

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/NubixVSClientConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfig.cmake
  INSTALL_DESTINATION ${NUBIX_INSTALL_CMAKEDIR}
  PATH_VARS NUBIX_INSTALL_BINDIR NUBIX_INSTALL_LIBDIR NUBIX_INSTALL_INCLUDEDIR)
# The version file also turns away 64-bit projects: the DLL is 32-bit.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfig.cmake
  ${PROJECT_BINARY_DIR}/package/NubixVSClientConfigVersion.cmake
  DESTINATION ${NUBIX_INSTALL_CMAKEDIR})

# tools/ is a host directory of its own, so that vsclient.exe runs from there and a
# host developer can copy it as it stands: hence the second copy of the DLL.
install(PROGRAMS $<TARGET_FILE:vsclient> $<TARGET_FILE:Quil> $<TARGET_FILE:NubixVSClient>
  DESTINATION tools)
install(PROGRAMS $<TARGET_FILE:vanto> DESTINATION tools/ocx/brindle)

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION docs FILES_MATCHING PATTERN "*.md")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME NubixVSClient)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NubixVSClient: client DLL for the video server, for 32-bit Windows hosts")
set(CPACK_PACKAGE_FILE_NAME NubixVSClient-${PROJECT_VERSION}-win32)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
