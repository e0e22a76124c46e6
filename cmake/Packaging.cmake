# Packages made by CPack from the install rules: a Debian package on Linux
# (cpack -G DEB in build/), a zip delivery kit from the mingw-w64 build
# (cpack -G ZIP in build-windows/). Their version is the project's.

set(CPACK_PACKAGE_NAME zentra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvane Systems, Inc.")
set(CPACK_PACKAGE_CONTACT "Zentra team <zentra@norvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Zentra installs, upgrades and removes a dial plan in the configuration database of
Orvilex through ODBC: the program zentra-setup, the uninstaller uninstall.exe that
every installation deploys beside its dial plan, and the shared library ZentraSetup
(class CZentraSetup) for other setup programs. Examples, the host tables of the
SQLite and PostgreSQL stand-in databases, and the README are included.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    # zentra-<version>-windows.zip, its files in a folder of the same name.
    set(CPACK_PACKAGE_FILE_NAME "zentra-${PROJECT_VERSION}-windows")
else()
    set(CPACK_GENERATOR DEB)
    # zentra_<version>_<architecture>.deb
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION database)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The libraries the programs and ZentraSetup link (C and C++ run-times,
    # unixODBC's libodbc2) come from dpkg-shlibdeps; the driver manager's tools
    # and the SQLite ODBC driver of the embedded database are needed besides.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, libsqliteodbc")
    # The drivers of a PostgreSQL database and of a real SQL Server.
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql, tdsodbc")
    # A shlibs file for libZentraSetup.so.1, and the ldconfig trigger.
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
