# Installs the documents beside the programs and describes the two packages
# that cpack makes from an install under /usr: a .deb and a .tar.gz.

set(LESSONS_PACKAGE console-lessons)
set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${LESSONS_PACKAGE})

# Debian keeps the licence as copyright and the history as changelog.gz.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
# The engines a course grades with (README, "Grading a course"): a starting
# point to copy from, the scripts executable, as lintian allows in examples/.
install(PROGRAMS examples/gradescope/setup.sh examples/gradescope/run_autograder
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/gradescope)
install(FILES examples/github-classroom/lessons-check.yml
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/github-classroom)
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
# Named for the architecture the programs are built for (cmake/Architecture.cmake),
# stripped by the target's strip (CMAKE_STRIP, found beside the cross compiler).
set(CPACK_PACKAGE_FILE_NAME ${LESSONS_PACKAGE}_${PROJECT_VERSION}_${LESSONS_DEBIAN_ARCH})
# Both packages hold usr/bin, usr/share/man and usr/share/doc, so that the
# archive unpacked at / installs exactly what the .deb does.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${LESSONS_DEBIAN_ARCH})
# The package depends on the first versions of the libraries that have the
# newest symbol versions the programs need, as dpkg-shlibdeps derives it for
# a native build: libc6 2.34 has GLIBC_2.34, libstdc++6 11 has CXXABI_1.3.13
# and GLIBCXX_3.4.29, libgcc-s1 3.0 has GCC_3.0 (_Unwind_Resume); on armhf
# the unwinder that exceptions need is __aeabi_unwind_cpp_pr0 and pr1, of
# GCC_3.5; on i386 a 64-bit division with its remainder is __divmoddi4, of
# GCC_7.0.0.  It is stated, not derived: dpkg-shlibdeps reads this machine's
# libraries, not a cross target's, and cpack's own call of it runs file(1)
# on every file of the package, the cases too.  package.depends checks that
# the programs need no newer version, and package.shlibdeps (native builds)
# that dpkg-shlibdeps derives the same line.
set(newest GLIBC_2.34 GLIBCXX_3.4.29 CXXABI_1.3.13 GCC_3.0)
set(libgcc_version 3.0)
if(LESSONS_DEBIAN_ARCH STREQUAL "armhf")
    set(newest GLIBC_2.34 GLIBCXX_3.4.29 CXXABI_1.3.13 GCC_3.5)
    set(libgcc_version 3.5)
elseif(LESSONS_DEBIAN_ARCH STREQUAL "i386")
    set(newest GLIBC_2.34 GLIBCXX_3.4.29 CXXABI_1.3.13 GCC_7.0.0)
    set(libgcc_version 7)
endif()
# lessons-check renders a terminal's screen with libvterm, whose every
# function it calls is there since 0.1 (libvterm0's symbols file), and
# watches a version's runs with libseccomp's notifications, there since
# 2.5.0; it is built only where both are installed (check/CMakeLists.txt).
# In the order dpkg-shlibdeps gives them.
set(seccomp "")
set(vterm "")
if(TARGET lessons-check)
    set(seccomp ", libseccomp2 (>= 2.5.0)")
    set(vterm ", libvterm0 (>= 0.1)")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libgcc-s1 (>= ${libgcc_version})${seccomp}, libstdc++6 (>= 11)${vterm}")
# A sanitized build is never packaged, and its programs carry clang's
# sanitizer runtimes, which need _Unwind_Backtrace of GCC_3.3 for their
# reports; so only the other builds check the Depends.
if(BUILD_TESTING AND NOT LESSONS_SANITIZE)
    list(JOIN newest "," newest)
    add_test(NAME package.depends
             COMMAND ${CMAKE_COMMAND} -DREADELF=${CMAKE_READELF}
                     -DPROGRAMS=${CMAKE_RUNTIME_OUTPUT_DIRECTORY} -DNEWEST=${newest}
                     -P ${PROJECT_SOURCE_DIR}/cmake/CheckSymbolVersions.cmake)
    set_tests_properties(package.depends PROPERTIES LABELS package)
    find_program(LESSONS_DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(NOT CMAKE_CROSSCOMPILING AND LESSONS_DPKG_SHLIBDEPS)
        add_test(NAME package.shlibdeps
                 COMMAND ${CMAKE_COMMAND} -DSHLIBDEPS=${LESSONS_DPKG_SHLIBDEPS}
                         -DPROGRAMS=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                         "-DDEPENDS=${CPACK_DEBIAN_PACKAGE_DEPENDS}"
                         -P ${PROJECT_SOURCE_DIR}/cmake/CheckShlibdeps.cmake)
        set_tests_properties(package.shlibdeps PROPERTIES LABELS package)
    endif()
endif()
# lessons-check confines what it checks with bubblewrap, and checks the card
# game with its clock stopped by libfaketime; without either it still runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bubblewrap, faketime")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
