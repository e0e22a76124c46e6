# Packages made by CPack from the install rules: three Debian packages on Linux
# (cpack -G DEB in build/), a zip delivery kit from the mingw-w64 build
# (cpack -G ZIP in build-windows/). Their version is the project's.
#
# The Debian packages are split the Debian way, one install component each:
#   library      libzentrasetup1     libZentraSetup.so.1 in the multiarch folder,
#                                    its shlibs file and the ldconfig trigger
#   development  libzentrasetup-dev  the header and the libZentraSetup.so link
#   zentra       zentra              the programs, the manual page, the
#                                    examples, the schemas and the documentation
# Each carries the copyright file and changelog.Debian.gz of packaging/debian/.
# The Debian revision (1.1.0-1) is the one of that changelog's latest entry,
# whose upstream part must be the project's version.

set(CPACK_PACKAGE_NAME zentra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvane Systems, Inc.")
set(CPACK_PACKAGE_CONTACT "Zentra team <zentra@norvane.example>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
    # zentra-<version>-windows.zip, its files in a folder of the same name.
    set(CPACK_PACKAGE_FILE_NAME "zentra-${PROJECT_VERSION}-windows")
    include(CPack)
    return()
endif()

set(ZENTRA_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)

# The Debian revision, from the latest entry of the changelog:
# "zentra (1.1.0-1) unstable; urgency=medium".
file(STRINGS ${ZENTRA_DEBIAN_DIR}/changelog ZENTRA_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ZENTRA_CHANGELOG_TOP MATCHES "^zentra \\(([^)-]+)-([^)]+)\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: the first line is not \"zentra (VERSION-REVISION) ...\": "
                        "\"${ZENTRA_CHANGELOG_TOP}\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/debian/changelog: the latest entry is for ${CMAKE_MATCH_1}-${CMAKE_MATCH_2}, "
                        "the project's version is ${PROJECT_VERSION}; add an entry for ${PROJECT_VERSION}-1")
endif()
set(ZENTRA_DEBIAN_REVISION ${CMAKE_MATCH_2})
set(ZENTRA_DEBIAN_VERSION ${PROJECT_VERSION}-${ZENTRA_DEBIAN_REVISION})
set(ZENTRA_LIBRARY_PACKAGE libzentrasetup${PROJECT_VERSION_MAJOR})

# Debian keeps changelogs and manual pages compressed, without a time stamp or a
# name in the gzip header (gzip -9n), so that a rebuild gives the same bytes.
find_program(ZENTRA_GZIP gzip REQUIRED)
set(ZENTRA_DEBIAN_BUILD ${PROJECT_BINARY_DIR}/debian)
add_custom_command(OUTPUT ${ZENTRA_DEBIAN_BUILD}/changelog.Debian.gz
    COMMAND ${ZENTRA_GZIP} -9n -c ${ZENTRA_DEBIAN_DIR}/changelog > ${ZENTRA_DEBIAN_BUILD}/changelog.Debian.gz
    DEPENDS ${ZENTRA_DEBIAN_DIR}/changelog
    COMMENT "Compressing packaging/debian/changelog")

# The manual page zentra-setup(1), made by help2man from the built program's
# --help and --version, with the sections of zentra-setup.h2m added.
find_program(ZENTRA_HELP2MAN help2man)
if(NOT ZENTRA_HELP2MAN)
    message(FATAL_ERROR "help2man is needed for the manual page of zentra-setup: "
                        "install the Debian package help2man (scripts/install-deps does)")
endif()
add_custom_command(OUTPUT ${ZENTRA_DEBIAN_BUILD}/zentra-setup.1.gz
    COMMAND ${ZENTRA_HELP2MAN} --no-info --section=1 --source=Zentra
            "--name=install, upgrade and remove dial plans of the Orvilex configuration database"
            --include=${ZENTRA_DEBIAN_DIR}/zentra-setup.h2m
            --output=${ZENTRA_DEBIAN_BUILD}/zentra-setup.1 $<TARGET_FILE:zentra-setup>
    COMMAND ${ZENTRA_GZIP} -9nf ${ZENTRA_DEBIAN_BUILD}/zentra-setup.1
    DEPENDS zentra-setup ${ZENTRA_DEBIAN_DIR}/zentra-setup.h2m
    COMMENT "Making the manual page zentra-setup(1) with help2man"
    VERBATIM)
add_custom_target(zentra_debian_files ALL
    DEPENDS ${ZENTRA_DEBIAN_BUILD}/changelog.Debian.gz ${ZENTRA_DEBIAN_BUILD}/zentra-setup.1.gz)

install(FILES ${ZENTRA_DEBIAN_BUILD}/zentra-setup.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT zentra)
foreach(package ${ZENTRA_LIBRARY_PACKAGE} libzentrasetup-dev zentra)
    if(package STREQUAL ZENTRA_LIBRARY_PACKAGE)
        set(component library)
    elseif(package STREQUAL libzentrasetup-dev)
        set(component development)
    else()
        set(component zentra)
    endif()
    install(FILES ${ZENTRA_DEBIAN_DIR}/copyright ${ZENTRA_DEBIAN_BUILD}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

# The library package's control files: the shlibs file that tells dpkg-shlibdeps
# which package provides libZentraSetup.so.1, and the trigger that runs
# ldconfig once dpkg is done.
configure_file(${ZENTRA_DEBIAN_DIR}/shlibs.in ${ZENTRA_DEBIAN_BUILD}/library/shlibs @ONLY)
configure_file(${ZENTRA_DEBIAN_DIR}/triggers ${ZENTRA_DEBIAN_BUILD}/library/triggers COPYONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development zentra)
# Each component's description carries its own summary line.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # <package>_<version>-<revision>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZENTRA_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_SOURCE zentra)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${ZENTRA_LIBRARY_PACKAGE})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "Orvilex dial-plan installer library
The shared library ZentraSetup exports the class CZentraSetup, which a setup
program calls to connect to the Orvilex configuration database through ODBC
and to install, upgrade or remove a dial plan there.")
# CPack writes maintainer scripts that call ldconfig for any package whose
# shared libraries it inspects itself, so the library's dependencies come from
# dpkg-shlibdeps run by cmake/DebianLibraryDepends.cmake instead.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${ZENTRA_DEBIAN_BUILD}/library/shlibs ${ZENTRA_DEBIAN_BUILD}/library/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzentrasetup-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${ZENTRA_LIBRARY_PACKAGE} (= ${ZENTRA_DEBIAN_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Orvilex dial-plan installer library (development files)
The header CZentraSetup.h and the link libZentraSetup.so, for building a setup
program that installs, upgrades or removes dial plans of the Orvilex
configuration database with the class CZentraSetup.")

set(CPACK_DEBIAN_ZENTRA_PACKAGE_NAME zentra)
set(CPACK_DEBIAN_ZENTRA_PACKAGE_SECTION database)
# The libraries the programs link (C and C++ run-times, unixODBC's libodbc2)
# come from dpkg-shlibdeps; the driver manager's tools and the SQLite ODBC
# driver of the embedded database are needed besides.
set(CPACK_DEBIAN_ZENTRA_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ZENTRA_PACKAGE_DEPENDS "unixodbc, libsqliteodbc")
# The drivers of a PostgreSQL database and of a real SQL Server.
set(CPACK_DEBIAN_ZENTRA_PACKAGE_SUGGESTS "odbc-postgresql, tdsodbc")
set(CPACK_DEBIAN_ZENTRA_DESCRIPTION "Orvilex dial-plan installer and uninstaller
Zentra installs, upgrades and removes a dial plan in the configuration
database of Orvilex through ODBC. This package holds the program zentra-setup
and the uninstaller uninstall.exe that every installation deploys beside its
dial plan. Examples, the host tables of the SQLite and PostgreSQL stand-in
databases and the documentation are included.")

# Run by cpack, once per generator: the library's Depends from dpkg-shlibdeps.
set(ZENTRA_LIBRARY_FILE $<TARGET_FILE:ZentraSetup>)
file(GENERATE OUTPUT ${ZENTRA_DEBIAN_BUILD}/CPackProjectConfig.cmake CONTENT
"set(ZENTRA_LIBRARY_FILE \"${ZENTRA_LIBRARY_FILE}\")
set(ZENTRA_DEBIAN_WORK \"${ZENTRA_DEBIAN_BUILD}/shlibdeps\")
include(\"${PROJECT_SOURCE_DIR}/cmake/DebianLibraryDepends.cmake\")
")
set(CPACK_PROJECT_CONFIG_FILE ${ZENTRA_DEBIAN_BUILD}/CPackProjectConfig.cmake)

include(CPack)
