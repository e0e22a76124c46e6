# Included by cpack (CPACK_PROJECT_CONFIG_FILE, written by Packaging.cmake)
# before it makes the packages. For the Debian packages it sets the Depends of
# the library package from dpkg-shlibdeps run on the built library, as CPack
# runs it for the programs. CPack is not left to do it itself, since it then
# adds maintainer scripts that call ldconfig, where the library package has
# the ldconfig trigger instead.
#
# Set by the includer: ZENTRA_LIBRARY_FILE, the built library;
# ZENTRA_DEBIAN_WORK, a folder of its own.

if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()

find_program(ZENTRA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT ZENTRA_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps is needed for the Debian packages: install the Debian package dpkg-dev")
endif()
# dpkg-shlibdeps reads debian/control of its working folder; an empty one does.
file(REMOVE_RECURSE "${ZENTRA_DEBIAN_WORK}")
file(WRITE "${ZENTRA_DEBIAN_WORK}/debian/control" "")
execute_process(COMMAND ${ZENTRA_DPKG_SHLIBDEPS} -O "-e${ZENTRA_LIBRARY_FILE}"
    WORKING_DIRECTORY "${ZENTRA_DEBIAN_WORK}"
    RESULT_VARIABLE zentra_result
    OUTPUT_VARIABLE zentra_output
    ERROR_VARIABLE zentra_errors
    OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT zentra_result EQUAL 0 OR NOT zentra_output MATCHES "^shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps -O -e${ZENTRA_LIBRARY_FILE} failed (${zentra_result}):\n"
                        "${zentra_errors}${zentra_output}")
endif()
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
message(STATUS "Depends of the library package, from dpkg-shlibdeps: ${CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS}")
