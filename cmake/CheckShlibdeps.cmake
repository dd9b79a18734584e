# cmake -DSHLIBDEPS=<dpkg-shlibdeps> -DPROGRAMS=<folder> -DDEPENDS=<line> -P CheckShlibdeps.cmake
#
# Fails unless dpkg-shlibdeps derives exactly the Depends line the package
# states (cmake/Packaging.cmake) for the programs in <folder>.

file(GLOB programs "${PROGRAMS}/*")
if(NOT programs)
    message(FATAL_ERROR "no programs in ${PROGRAMS}")
endif()
# dpkg-shlibdeps wants to be run where debian/control is.
string(RANDOM LENGTH 8 tag)
set(work "${CMAKE_CURRENT_BINARY_DIR}/shlibdeps-${tag}")
file(WRITE "${work}/debian/control" "")
execute_process(COMMAND ${SHLIBDEPS} -O ${programs}
                WORKING_DIRECTORY "${work}"
                OUTPUT_VARIABLE derived OUTPUT_STRIP_TRAILING_WHITESPACE
                # It warns that the programs are not in a package's folder.
                ERROR_VARIABLE warnings
                RESULT_VARIABLE status)
file(REMOVE_RECURSE "${work}")
if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-shlibdeps failed on ${PROGRAMS}:\n${warnings}")
endif()
if(NOT derived STREQUAL "shlibs:Depends=${DEPENDS}")
    message(FATAL_ERROR "dpkg-shlibdeps derives\n  ${derived}\nbut the package states\n  "
                        "Depends: ${DEPENDS}")
endif()
message(STATUS "dpkg-shlibdeps derives the stated Depends: ${DEPENDS}")
