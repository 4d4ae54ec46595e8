# Installation and release packages on Linux (cmake --install; cpack makes a tarball and the
# Debian packages, best from the native preset: the host build's library carries the sanitizers).
#
# Two layouts of the same deliverables:
# - cmake --install and the tarball: relocatable, everything below one prefix (bin, include, lib,
#   share). The library target installs itself and the public headers (lib/CMakeLists.txt, export
#   set Brg40FirmupTargets); the rules without EXCLUDE_FROM_ALL below add the rest.
# - The Debian packages, one per component, as Debian splits a library: libbrg40firmup1 (libs),
#   libbrg40firmup-dev (dev), brg40 (cli), python3-brg40 (python), in the places Debian's tools
#   look: the library in the multiarch folder, the Python module where Debian's python3 finds it,
#   the udev rule in udev's own folder, a copyright file and changelog in each package's doc
#   folder. The rules that only they need are EXCLUDE_FROM_ALL, so cmake --install and the
#   tarball leave them out; cpack installs the components listed in CPACK_COMPONENTS_ALL.
if(NOT TARGET brg40firmup)
    message(STATUS "packaging: no brg40firmup library target in this tree, no Linux installation")
    return()
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BRG40_DEB_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/deb)
set(BRG40_DEB_BINARY ${CMAKE_CURRENT_BINARY_DIR}/deb)

# The Debian packages' revision, maintainer and date come from the newest entry of their changelog,
# which should be for this version of the project (the package suite checks that it is).
file(STRINGS ${BRG40_DEB_SOURCE}/changelog BRG40_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT BRG40_CHANGELOG_HEAD MATCHES "^brg40 \\(([0-9][^ )-]*)-([A-Za-z0-9.+~]+)\\) ")
    message(FATAL_ERROR "packaging/deb/changelog: the first line is not \"brg40 (VERSION-REVISION) ...\"")
endif()
set(BRG40_DEB_REVISION ${CMAKE_MATCH_2})
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(WARNING "packaging/deb/changelog: the newest entry is for ${CMAKE_MATCH_1}, the project is "
                    "${PROJECT_VERSION}: add an entry before making packages")
endif()
file(STRINGS ${BRG40_DEB_SOURCE}/changelog BRG40_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
if(NOT BRG40_CHANGELOG_TRAILER MATCHES "^ -- ([^<]+<[^>]+>)  [A-Z][a-z][a-z], ([0-9]+ [A-Z][a-z][a-z] [0-9]+) ")
    message(FATAL_ERROR "packaging/deb/changelog: no maintainer line under the newest entry")
endif()
set(BRG40_DEB_MAINTAINER ${CMAKE_MATCH_1})
set(BRG40_MAN_DATE ${CMAKE_MATCH_2})

# The Debian packages' folders: the multiarch library folder, and udev's own folder as udev.pc
# names it (absolute: /lib/udev on Debian 12, /usr/lib/udev later), else lib/udev below /usr.
set(BRG40_DEB_LIBDIR lib)
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(BRG40_DEB_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
    pkg_get_variable(BRG40_UDEV_DIR udev udevdir)
endif()
if(NOT BRG40_UDEV_DIR)
    set(BRG40_UDEV_DIR lib/udev)
endif()
set(BRG40_UDEV_RULES_DEST ${BRG40_UDEV_DIR}/rules.d)
if(IS_ABSOLUTE ${BRG40_UDEV_DIR})
    set(BRG40_UDEV_RULES_DIR ${BRG40_UDEV_RULES_DEST})
else()
    set(BRG40_UDEV_RULES_DIR /usr/${BRG40_UDEV_RULES_DEST})
endif()
message(STATUS "packaging: the Debian packages put the library in /usr/${BRG40_DEB_LIBDIR}, the udev rule in "
               "${BRG40_UDEV_RULES_DIR}")

# pkg-config file and CMake package for each layout: the prefix is found from the file's own folder,
# so the files work from an unpacked tarball as well as from /usr.
function(brg40_library_files LIBDIR OUT_DIR)  # the .pc and the Config.cmake for a library folder
    set(BRG40_PC_LIBDIR ${LIBDIR})
    file(RELATIVE_PATH BRG40_PC_TO_PREFIX /prefix/${LIBDIR}/pkgconfig /prefix)
    configure_file(brg40firmup.pc.in ${OUT_DIR}/brg40firmup.pc @ONLY)
    configure_package_config_file(Brg40FirmupConfig.cmake.in ${OUT_DIR}/Brg40FirmupConfig.cmake
                                  INSTALL_DESTINATION ${LIBDIR}/cmake/Brg40Firmup)
endfunction()
brg40_library_files(${CMAKE_INSTALL_LIBDIR} ${CMAKE_CURRENT_BINARY_DIR})
brg40_library_files(${BRG40_DEB_LIBDIR} ${BRG40_DEB_BINARY})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)

# Built files of the packages: the manual page of brg40 and the Debian changelog, compressed as
# Debian wants them (gzip -9, no name or time stamp).
configure_file(linux/brg40.1.in ${CMAKE_CURRENT_BINARY_DIR}/brg40.1 @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/brg40.1.gz ${BRG40_DEB_BINARY}/changelog.Debian.gz
    COMMAND gzip -9nkf ${CMAKE_CURRENT_BINARY_DIR}/brg40.1
    COMMAND ${CMAKE_COMMAND} -E copy ${BRG40_DEB_SOURCE}/changelog ${BRG40_DEB_BINARY}/changelog.Debian
    COMMAND gzip -9nf ${BRG40_DEB_BINARY}/changelog.Debian
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/brg40.1 ${BRG40_DEB_SOURCE}/changelog
    COMMENT "Compressing the manual page of brg40 and the Debian changelog"
    VERBATIM)
add_custom_target(brg40_package_docs ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/brg40.1.gz
                                                 ${BRG40_DEB_BINARY}/changelog.Debian.gz)

# Debian's hardening flags (dpkg-buildflags with every hardening feature: fortified libc calls,
# stack protector, read-only relocations bound at start) for what the packages ship: the library and
# brg40 with the libraries they are made of. Not in a sanitizer build, and not without optimisation,
# which fortification needs.
find_program(BRG40_DPKG_BUILDFLAGS dpkg-buildflags)
if(BRG40_DPKG_BUILDFLAGS AND NOT BRG40_SANITIZE AND NOT CMAKE_BUILD_TYPE MATCHES "^(Debug|)$")
    foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                                ${BRG40_DPKG_BUILDFLAGS} --get ${kind}
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
        separate_arguments(BRG40_HARDENING_${kind} UNIX_COMMAND "${flags}")
    endforeach()
    set(shipped brg40firmup)
    if(TARGET brg40)
        list(APPEND shipped brg40)
    endif()
    set(pending ${shipped})
    set(built "")
    while(pending)
        list(POP_FRONT pending target)
        if(NOT TARGET ${target} OR target IN_LIST built)
            continue()
        endif()
        get_target_property(imported ${target} IMPORTED)
        get_target_property(type ${target} TYPE)
        if(imported OR type STREQUAL "INTERFACE_LIBRARY")
            continue()
        endif()
        list(APPEND built ${target})
        get_target_property(links ${target} LINK_LIBRARIES)
        if(links)
            list(APPEND pending ${links})
        endif()
    endwhile()
    foreach(target IN LISTS built)
        target_compile_options(${target} PRIVATE ${BRG40_HARDENING_CPPFLAGS}
                                                 "$<$<COMPILE_LANGUAGE:C>:${BRG40_HARDENING_CFLAGS}>"
                                                 "$<$<COMPILE_LANGUAGE:CXX>:${BRG40_HARDENING_CXXFLAGS}>")
    endforeach()
    foreach(target IN LISTS shipped)
        target_link_options(${target} PRIVATE ${BRG40_HARDENING_LDFLAGS})
    endforeach()
    list(JOIN built " " built)
    message(STATUS "packaging: hardening flags from dpkg-buildflags for ${built}")
endif()

# --- Both layouts --------------------------------------------------------------------------------
if(TARGET brg40)
    install(TARGETS brg40 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brg40.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
# Access for the group plugdev instead of the user at the seat: not active as installed (README).
install(FILES linux/71-brg40-plugdev.rules DESTINATION ${CMAKE_INSTALL_DATADIR}/brg40 COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT cli)

# --- cmake --install and the tarball -------------------------------------------------------------
set(BRG40_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Brg40Firmup)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brg40firmup.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(EXPORT Brg40FirmupTargets NAMESPACE Brg40Firmup:: DESTINATION ${BRG40_CMAKE_DIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfigVersion.cmake DESTINATION ${BRG40_CMAKE_DIR})
# Access for the logged-in user in both modes (see the comments in the rule); udev reads it only
# below /usr/lib/udev or /etc/udev, so install with --prefix /usr or copy it there.
install(FILES linux/70-brg40.rules DESTINATION lib/udev/rules.d)
# Sources for users: the Python package (pip install <prefix>/share/brg40/python) and the examples.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/ DESTINATION ${CMAKE_INSTALL_DATADIR}/brg40/python
        PATTERN "__pycache__" EXCLUDE PATTERN "*.pyc" EXCLUDE PATTERN "tests" EXCLUDE PATTERN "*.egg-info" EXCLUDE
        PATTERN "build" EXCLUDE PATTERN ".gitignore" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/brg40/examples
        FILES_MATCHING PATTERN "*.c" PATTERN "*.cpp" PATTERN "*.py")

# --- The Debian packages -------------------------------------------------------------------------
# Each package: its copyright file and changelog, and the lintian tags that do not apply to it
# (each with its reason).
foreach(component_package libs:libbrg40firmup1 dev:libbrg40firmup-dev cli:brg40 python:python3-brg40)
    string(REPLACE ":" ";" component_package ${component_package})
    list(GET component_package 0 component)
    list(GET component_package 1 package)
    install(FILES ${BRG40_DEB_SOURCE}/copyright ${BRG40_DEB_BINARY}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
    install(FILES ${BRG40_DEB_SOURCE}/${package}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME ${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

# libbrg40firmup1: the library; libbrg40firmup-dev: its link, headers, .pc, CMake package, the C
# and C++ examples.
# The target names its headers relative to lib/, where its own rule installs them; with full paths
# this rule, in another folder, finds them too.
get_target_property(BRG40_PUBLIC_HEADERS brg40firmup PUBLIC_HEADER)
get_target_property(BRG40_LIBRARY_SOURCE_DIR brg40firmup SOURCE_DIR)
list(TRANSFORM BRG40_PUBLIC_HEADERS PREPEND ${BRG40_LIBRARY_SOURCE_DIR}/ REGEX "^[^/]")
set_property(TARGET brg40firmup PROPERTY PUBLIC_HEADER ${BRG40_PUBLIC_HEADERS})
install(TARGETS brg40firmup EXPORT Brg40FirmupDebianTargets
        LIBRARY DESTINATION ${BRG40_DEB_LIBDIR} COMPONENT libs NAMELINK_COMPONENT dev EXCLUDE_FROM_ALL
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev EXCLUDE_FROM_ALL)
install(FILES ${BRG40_DEB_BINARY}/brg40firmup.pc DESTINATION ${BRG40_DEB_LIBDIR}/pkgconfig COMPONENT dev
        EXCLUDE_FROM_ALL)
install(EXPORT Brg40FirmupDebianTargets FILE Brg40FirmupTargets.cmake NAMESPACE Brg40Firmup::
        DESTINATION ${BRG40_DEB_LIBDIR}/cmake/Brg40Firmup COMPONENT dev EXCLUDE_FROM_ALL)
install(FILES ${BRG40_DEB_BINARY}/Brg40FirmupConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/Brg40FirmupConfigVersion.cmake
        DESTINATION ${BRG40_DEB_LIBDIR}/cmake/Brg40Firmup COMPONENT dev EXCLUDE_FROM_ALL)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libbrg40firmup-dev/examples
        COMPONENT dev EXCLUDE_FROM_ALL FILES_MATCHING PATTERN "*.c" PATTERN "*.cpp" PATTERN "python" EXCLUDE)

# brg40: the program (above), the udev rule where udev reads the rules of packages, and the
# converter's USB ID for software centres (AppStream).
install(FILES linux/70-brg40.rules DESTINATION ${BRG40_UDEV_RULES_DEST} COMPONENT cli EXCLUDE_FROM_ALL)
install(FILES linux/com.example.brg40.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT cli
        EXCLUDE_FROM_ALL)

# python3-brg40: the module where Debian's python3 finds it; it loads libbrg40firmup.so.1 by its
# soname, which libbrg40firmup1 puts on the dynamic linker's path.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/brg40/ DESTINATION lib/python3/dist-packages/brg40
        COMPONENT python EXCLUDE_FROM_ALL PATTERN "__pycache__" EXCLUDE PATTERN "*.pyc" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/python/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/python3-brg40/examples
        COMPONENT python EXCLUDE_FROM_ALL FILES_MATCHING PATTERN "*.py")

# --- CPack ---------------------------------------------------------------------------------------
set(CPACK_GENERATOR TGZ DEB)
set(CPACK_PACKAGE_NAME brg40)
set(CPACK_PACKAGE_VENDOR "brg40 project")
set(CPACK_PACKAGE_CONTACT ${BRG40_DEB_MAINTAINER})
set(CPACK_PACKAGE_FILE_NAME brg40-${PROJECT_VERSION}-linux-x86_64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
# The tarball is one piece: the relocatable layout, as cmake --install makes it.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# One .deb per component, named <package>_<version>-<revision>_<architecture>.deb.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL libs dev cli python)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${BRG40_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_SOURCE brg40)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Dependencies on the system's libraries from dpkg-shlibdeps. It finds libbrg40firmup.so.1 in the
# build tree; brg40's dependency on libbrg40firmup1 comes from the component's DEPENDS.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_target_property(BRG40_LIBRARY_BUILD_DIR brg40firmup BINARY_DIR)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${BRG40_LIBRARY_BUILD_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cpack_options.cmake)

set(CPACK_DEBIAN_LIBS_PACKAGE_NAME libbrg40firmup1)
set(CPACK_DEBIAN_LIBS_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBS_PACKAGE_CONTROL_EXTRA ${BRG40_DEB_SOURCE}/libbrg40firmup1/symbols
                                            ${BRG40_DEB_SOURCE}/libbrg40firmup1/triggers)
set(CPACK_DEBIAN_LIBS_DESCRIPTION "NKV-BRG40M converter: device access library
libbrg40firmup drives the NKV-BRG40M USB to SPI/I2C converter through the
SCSI generic driver: version and hardware information, operating mode, power,
LED, outputs, I2C and SPI master and slave, EEPROM.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libbrg40firmup-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS libs)
set(CPACK_DEBIAN_DEV_DESCRIPTION "NKV-BRG40M converter: device access library (development files)
libbrg40firmup drives the NKV-BRG40M USB to SPI/I2C converter through the
SCSI generic driver.
.
This package holds what programs that use the library are built with: the C
header, the status texts and the C++17 wrapper (both header-only), the
pkg-config file, the CMake package Brg40Firmup and example programs in C and
C++.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME brg40)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_CLI_DEPENDS libs)
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${BRG40_DEB_SOURCE}/brg40/postinst)
set(CPACK_DEBIAN_CLI_DESCRIPTION "NKV-BRG40M converter: command line and firmware update
brg40 lists the NKV-BRG40M USB to SPI/I2C converters present and drives one
from a shell or a script: I2C and SPI master and slave, EEPROM, outputs, a
25-series SPI flash on the SPI master, and the update of the converter's
firmware in its USB update mode (libusb), several converters at once if need
be.
.
Its udev rule gives the user at the seat access to the converter in both
modes; a rule for the group plugdev is included for headless use.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-brg40)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
# Not (=): a package for all architectures must not pin one build of an architecture's package.
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3:any (>= 3.11~), libbrg40firmup1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA ${BRG40_DEB_SOURCE}/python3-brg40/postinst
                                              ${BRG40_DEB_SOURCE}/python3-brg40/prerm)
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "NKV-BRG40M converter: Python 3 module
The module brg40 drives the NKV-BRG40M USB to SPI/I2C converter through
libbrg40firmup (ctypes): converters as context managers, I2C, SPI, EEPROM,
outputs and slave reception, and classes in the manner of smbus2 and spidev.")
include(CPack)
