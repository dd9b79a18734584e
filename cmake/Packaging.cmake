# Installs the documents beside the programs and describes the two packages
# that cpack makes from an install under /usr: a .deb and a .tar.gz.

set(LESSONS_PACKAGE console-lessons)
set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${LESSONS_PACKAGE})

# Debian keeps the licence as copyright and the history as changelog.gz.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
lessons_install_compressed(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR} changelog)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME ${LESSONS_PACKAGE})
add_custom_target(changelog ALL DEPENDS ${changelog})

set(CPACK_PACKAGE_NAME ${LESSONS_PACKAGE})
set(CPACK_PACKAGE_VENDOR "The Console Lessons developers")
set(CPACK_PACKAGE_CONTACT "The Console Lessons developers <lessons@console-lessons.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small console programs that each teach one C++ topic")
set(CPACK_PACKAGE_DESCRIPTION
    "Twenty-nine independent console programs, each a self-contained lesson:
plane geometry with value classes, letter-shift ciphers, a card game of
twenty-one, pointers and a hand-built linked list, temperature tables, and
demonstrations of operators, branches, switch and scope.  Every program
talks over standard input and output only, and each has a manual page.
lessons-check holds a learner's own version of a lesson to the lesson's
cases, through a pipe and typed at a terminal.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME ${LESSONS_PACKAGE}_${PROJECT_VERSION}_amd64)
# Both packages hold usr/bin, usr/share/man and usr/share/doc, so that the
# archive unpacked at / installs exactly what the .deb does.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
