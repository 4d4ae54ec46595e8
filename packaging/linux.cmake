# Installation and release packages on Linux (cmake --install; cpack makes a tarball and a .deb,
# best from the native preset: the host build's library carries the sanitizers).
#
# The library target brg40firmup installs itself and the public headers into the export set
# Brg40FirmupTargets; here come what a user of the library needs around it: pkg-config file,
# CMake package, the udev rule for access without root, the Python package's sources, the
# example sources, and the brg40 program.
if(NOT TARGET brg40firmup)
    message(STATUS "packaging: no brg40firmup library target in this tree, no Linux installation")
    return()
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BRG40_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Brg40Firmup)

# pkg-config: the prefix is found from the .pc file's own folder, so the files work from an
# unpacked tarball as well as from /usr.
file(RELATIVE_PATH BRG40_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(brg40firmup.pc.in ${CMAKE_CURRENT_BINARY_DIR}/brg40firmup.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brg40firmup.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)

# find_package(Brg40Firmup): Brg40Firmup::brg40firmup, relocatable like the .pc file.
install(EXPORT Brg40FirmupTargets NAMESPACE Brg40Firmup:: DESTINATION ${BRG40_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(Brg40FirmupConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfig.cmake
                              INSTALL_DESTINATION ${BRG40_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfigVersion.cmake
        DESTINATION ${BRG40_CMAKE_DIR} COMPONENT dev)

# Access for the logged-in user in both modes (see the comments in the rule). udev reads
# /usr/lib/udev/rules.d, the place of rules that come with packages.
install(FILES linux/70-brg40.rules DESTINATION lib/udev/rules.d)

# The program, when this tree builds it for Linux.
if(TARGET brg40)
    install(TARGETS brg40 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Sources for users: the Python package (pip install /usr/share/brg40/python) and the examples.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/ DESTINATION ${CMAKE_INSTALL_DATADIR}/brg40/python
        PATTERN "__pycache__" EXCLUDE PATTERN "*.pyc" EXCLUDE PATTERN "tests" EXCLUDE PATTERN "*.egg-info" EXCLUDE
        PATTERN "build" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/brg40/examples
        FILES_MATCHING PATTERN "*.c" PATTERN "*.cpp" PATTERN "*.py")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/brg40)

set(CPACK_GENERATOR TGZ DEB)
set(CPACK_PACKAGE_NAME brg40)
set(CPACK_PACKAGE_VENDOR "brg40 project")
set(CPACK_PACKAGE_CONTACT "brg40 project <brg40@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NKV-BRG40M converter: device access library, brg40 command line, SDK")
set(CPACK_PACKAGE_FILE_NAME brg40-${PROJECT_VERSION}-linux-x86_64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack's defaults place the files: the tarball unpacks into brg40-<version>-linux-x86_64/ with
# bin, include, lib and share below, the .deb installs under /usr.
include(CPack)
