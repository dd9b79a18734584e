# Helpers that register a program, its transcript cases and its unit tests.
#
#   add_program(<name> <own file> <sources>...)
#       Builds the program into bin/ from its own file (the lesson, with
#       main), the other sources it uses and the failure reports of
#       console/, and installs it.  Its cases are the files in
#       tests/<name>/ beside the calling CMakeLists.txt, in the form that
#       check/cases/Lesson.h describes: <case>.in (exact stdin) with <case>.out
#       (exact stdout) or <case>.match (stdout with placeholders), a waits
#       file for a program that reads input, a clock file for one that seeds
#       from the clock.  They are installed for lessons-check, linked into
#       the build tree's share/ for the lessons-check built there, and each
#       is registered as a test (transcript.<name>.<case>), and typed at a
#       terminal (session.<name>.<case>) where there is a waits file.  The
#       program also gets a stdin-abuse check built from the same cases, and
#       a check that output it cannot write is reported (outputs.<name>).
#       With a clock file the cases run with the clock stopped at that time
#       (UTC), twice over: against <name>_stopped, a test build of the same
#       sources whose calls of time() are linked to tests/support/
#       stoppedClock.cpp (in every build), and against the program itself
#       with libfaketime preloaded (only without the sanitizers, which
#       deadlock with it, and only where libfaketime is installed).
#
#   add_unit_test(<name> <sources>...)
#       Builds a GoogleTest executable from the *_test.cpp files and the
#       sources they test, and registers its tests.
#
# Without BUILD_TESTING only the programs and lessons-check are built, and
# without libvterm neither lessons-check nor the tests of the cases.  A
# cross build (see cmake/toolchains/) registers the transcripts (the card
# game's against its stopped-clock build only), the unit tests and the
# ciphers' long-line check, each program run under the emulator; the
# terminal sessions, lessons-check's own tests and the abuse and output
# checks are left to a native build.

# The same object goes into every program, so it is compiled once.
add_library(console_support OBJECT ${PROJECT_SOURCE_DIR}/console/console.cpp)
set(LESSONS_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests)
# The runner of the cases (tests/harness): the target case_runner, or in a
# cross build one built for this machine (tests/CMakeLists.txt).
if(CMAKE_CROSSCOMPILING)
    set(LESSONS_CASE_RUNNER ${LESSONS_TEST_BIN_DIR}/case_runner)
else()
    set(LESSONS_CASE_RUNNER case_runner)
endif()

# How fast a test runs hardly matters, how long it takes to compile does:
# -Og takes about 60% of the time -O2 takes.
function(lessons_compile_as_tests target)
    if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
        target_compile_options(${target} PRIVATE -Og)
    endif()
endfunction()

if(BUILD_TESTING)
    if(CMAKE_CROSSCOMPILING)
        # This machine's libgtest is built for it, not for the target: the
        # target's is built here from GoogleTest's sources, and only the
        # parts the tests link.
        set(LESSONS_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
            "GoogleTest's sources, built for the target in a cross build")
        if(EXISTS ${LESSONS_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
            set(BUILD_GMOCK OFF CACHE BOOL "No Google Mock in a cross build")
            set(INSTALL_GTEST OFF CACHE BOOL "GoogleTest is not installed with the programs")
            add_subdirectory(${LESSONS_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest
                             EXCLUDE_FROM_ALL)
            # Its own code is not held to this project's warnings, and is
            # compiled as the tests are.
            set_target_properties(gtest gtest_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
            lessons_compile_as_tests(gtest)
            set(GTest_FOUND TRUE)
        endif()
        set(LESSONS_GTEST_PACKAGE googletest)
    else()
        find_package(GTest)
        set(LESSONS_GTEST_PACKAGE libgtest-dev)
    endif()
    if(GTest_FOUND)
        include(GoogleTest)
    elseif(LESSONS_CI)
        message(FATAL_ERROR "GoogleTest is missing (Debian: apt-get install ${LESSONS_GTEST_PACKAGE})")
    else()
        message(WARNING "GoogleTest is missing, so the unit tests are not built "
                        "(Debian: apt-get install ${LESSONS_GTEST_PACKAGE})")
    endif()

    # AddressSanitizer's allocator reads the clock under its lock, and
    # libfaketime, not yet set up, allocates in there: a preloaded
    # libfaketime hangs a sanitized program.  The stopped-clock test builds
    # need no libfaketime at all, and neither does a cross build, which runs
    # only them.
    if(NOT LESSONS_SANITIZE AND NOT CMAKE_CROSSCOMPILING)
        find_file(LESSONS_FAKETIME_LIBRARY libfaketime.so.1
                  PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/faketime /usr/lib/faketime
                        /usr/lib64/faketime)
        if(NOT LESSONS_FAKETIME_LIBRARY)
            if(LESSONS_CI)
                message(FATAL_ERROR "libfaketime is missing (Debian: apt-get install faketime)")
            endif()
            message(STATUS "libfaketime is missing, so the card game's cases run only against "
                           "its stopped-clock test build (Debian: apt-get install faketime)")
        endif()
    endif()
endif()

set(LESSONS_CASES_DIR ${CMAKE_INSTALL_DATADIR}/console-lessons/cases)

function(add_program name main)
    set(case_dir ${CMAKE_CURRENT_SOURCE_DIR}/tests/${name})
    set(clock "")
    if(EXISTS ${case_dir}/clock)
        file(STRINGS ${case_dir}/clock clock LIMIT_COUNT 1)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${case_dir}/clock)
    endif()
    # A program with a stopped-clock test build shares its objects with it:
    # only the link differs.
    if(clock AND BUILD_TESTING)
        add_library(${name}_main OBJECT ${main})
        add_executable(${name} $<TARGET_OBJECTS:${name}_main> $<TARGET_OBJECTS:console_support>)
    else()
        add_executable(${name} ${main} $<TARGET_OBJECTS:console_support>)
    endif()
    lessons_link_folder_sources(${name} ${ARGN})
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set_property(GLOBAL APPEND PROPERTY LESSONS_PROGRAMS "${name}\t${folder}\t${clock}")
    lessons_share_cases(${name} ${case_dir})
    # The cases are run through lessons-check's checks, which are built only
    # where libvterm is found (check/CMakeLists.txt).
    if(NOT BUILD_TESTING OR NOT TARGET lesson_checks)
        return()
    endif()
    if(NOT clock)
        lessons_add_cases(${name} ${case_dir} transcript)
    else()
        lessons_add_stopped_build(${name} "${clock}")
        lessons_add_cases(${name}_stopped ${case_dir} transcript)
        if(LESSONS_FAKETIME_LIBRARY)
            lessons_add_cases(${name} ${case_dir} "transcript;faketime"
                              --clock "${clock}" --clock-library "${LESSONS_FAKETIME_LIBRARY}")
        endif()
    endif()
    if(NOT CMAKE_CROSSCOMPILING)
        lessons_add_robustness_tests(${name} ${case_dir})
    endif()
endfunction()

# The cases go where lessons-check looks for them: share/console-lessons/
# cases/<name> beside its bin/, installed and in the build tree (a link to
# the folder in the sources, so a case added there is seen at once).
function(lessons_share_cases name case_dir)
    if(NOT IS_DIRECTORY ${case_dir})
        message(FATAL_ERROR "${name} has no cases in ${case_dir}")
    endif()
    install(DIRECTORY ${case_dir}/ DESTINATION ${LESSONS_CASES_DIR}/${name}
            FILES_MATCHING PATTERN "*.in" PATTERN "*.out" PATTERN "*.match" PATTERN "waits"
                           PATTERN "clock")
    set(shared ${CMAKE_BINARY_DIR}/${LESSONS_CASES_DIR})
    file(MAKE_DIRECTORY ${shared})
    file(CREATE_LINK ${case_dir} ${shared}/${name} SYMBOLIC)
endfunction()

# <name>_stopped: the program's own objects, with its calls of time() seeing
# the clock stopped at <clock> (tests/support/stoppedClock.cpp).
function(lessons_add_stopped_build name clock)
    set(stopped ${name}_stopped)
    add_executable(${stopped} $<TARGET_OBJECTS:${name}_main> $<TARGET_OBJECTS:console_support>
                              ${PROJECT_SOURCE_DIR}/tests/support/stoppedClock.cpp)
    get_target_property(folder_libraries ${name} LINK_LIBRARIES)
    if(folder_libraries)
        target_link_libraries(${stopped} PRIVATE ${folder_libraries})
    endif()
    target_compile_definitions(${stopped} PRIVATE LESSONS_STOPPED_CLOCK="${clock}")
    target_link_options(${stopped} PRIVATE -Wl,--wrap=time)
    set_target_properties(${stopped} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LESSONS_TEST_BIN_DIR})
endfunction()

# The classes and functions of a folder (every source but a program's own
# file) are compiled once per build, into a static library of the folder's,
# lessons_<folder>, which each program and test of theirs links: the linker
# takes from it the objects that one uses, as if it had listed them.  So
# halfturn and shiftcrypt compile their four common sources once, and the
# tests check the very objects the programs are made of.
function(lessons_link_folder_sources target)
    foreach(source IN LISTS ARGN)
        get_filename_component(path ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
        get_filename_component(folder ${path} DIRECTORY)
        file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${folder})
        string(MAKE_C_IDENTIFIER "lessons_${folder}" library)
        if(NOT TARGET ${library})
            add_library(${library} STATIC)
        endif()
        get_target_property(listed ${library} SOURCES)
        if(NOT path IN_LIST listed)
            target_sources(${library} PRIVATE ${path})
        endif()
        target_link_libraries(${target} PRIVATE ${library})
    endforeach()
endfunction()

# transcript.<target>.<case> for every case in <case_dir>, and
# session.<target>.<case> where the folder has a waits file; the remaining
# arguments go to case_runner.
function(lessons_add_cases target case_dir labels)
    set(clock_options ${ARGN})
    # In a cross build the runner starts the program under the emulator.
    set(wrapper "")
    if(CMAKE_CROSSCOMPILING)
        list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
        set(wrapper --wrapper ${emulator})
    endif()
    # Under the sanitizers a megabyte line takes seconds per run, and ending a
    # session's input at each of its waits types it over and over; the
    # shorter inputs and the abuse check's prefixes of every case reach the
    # same code.
    set(quick "")
    if(LESSONS_SANITIZE)
        set(quick --quick)
    endif()

    file(GLOB inputs CONFIGURE_DEPENDS ${case_dir}/*.in)
    foreach(input IN LISTS inputs)
        get_filename_component(case ${input} NAME_WLE)
        if(EXISTS ${case_dir}/${case}.out)
            set(expected ${case_dir}/${case}.out)
        elseif(EXISTS ${case_dir}/${case}.match)
            set(expected ${case_dir}/${case}.match)
        else()
            message(FATAL_ERROR "${input} has no ${case}.out or ${case}.match beside it")
        endif()
        add_test(NAME transcript.${target}.${case}
                 COMMAND ${LESSONS_CASE_RUNNER} transcript ${wrapper} ${clock_options}
                         $<TARGET_FILE:${target}> ${input} ${expected})
        set_tests_properties(transcript.${target}.${case} PROPERTIES
                             LABELS "${labels}" TIMEOUT 300 SKIP_RETURN_CODE 77)
        # A program that waits for input is also typed at on a terminal,
        # where its input can be typed.
        lessons_typable(${input} typable)
        if(EXISTS ${case_dir}/waits AND typable AND NOT CMAKE_CROSSCOMPILING)
            add_test(NAME session.${target}.${case}
                     COMMAND case_runner session ${quick} --waits ${case_dir}/waits
                             ${clock_options} $<TARGET_FILE:${target}> ${input} ${expected})
            set_tests_properties(session.${target}.${case} PROPERTIES
                                 LABELS session TIMEOUT 300 SKIP_RETURN_CODE 77)
        endif()
    endforeach()
endfunction()

# Whether <input> can be typed at a terminal as it is.  A terminal acts on
# 12 of the control bytes other than the tab and the newline (Ctrl-C, Ctrl-D
# and Ctrl-U among them) instead of passing them on, shows the others as
# ^X when it echoes them, and holds at most 4095 bytes of a line before its
# newline.  Every one of those 31 control bytes, and a line of 4096 bytes or
# more, is left to the pipe, as lessons-check does (typedLines in
# check/verdict/TerminalCheck.cpp).
function(lessons_typable input result)
    # Runs of printable bytes and tabs: one of 4096 is a line too long (and
    # spares reading a case of long lines byte by byte below).
    file(STRINGS ${input} long LENGTH_MINIMUM 4096 LIMIT_COUNT 1)
    if(long)
        set(${result} FALSE PARENT_SCOPE)
        return()
    endif()
    file(READ ${input} hex HEX)
    string(REGEX MATCHALL ".." bytes "${hex}")
    list(FILTER bytes INCLUDE REGEX "^(0[0-8]|0[b-f]|1[0-9a-f]|7f)$")
    if(bytes)
        set(${result} FALSE PARENT_SCOPE)
    else()
        set(${result} TRUE PARENT_SCOPE)
    endif()
endfunction()

# The program's ends on failing output and on abusive input.
function(lessons_add_robustness_tests name case_dir)
    set(quick "")
    if(LESSONS_SANITIZE)
        set(quick --quick)
    endif()
    add_test(NAME outputs.${name} COMMAND case_runner outputs $<TARGET_FILE:${name}> ${case_dir})
    set_tests_properties(outputs.${name} PROPERTIES LABELS outputs TIMEOUT 120)

    add_test(NAME abuse.${name}
             COMMAND case_runner abuse ${quick} --timeout 2 $<TARGET_FILE:${name}> ${case_dir})
    set_tests_properties(abuse.${name} PROPERTIES LABELS abuse TIMEOUT 900)
    # LeakSanitizer's check at each exit doubles the cost of the thousands
    # of sanitized abuse runs; the transcripts and sessions are checked for
    # leaks, under the sanitizers and under valgrind.
    if(LESSONS_SANITIZE)
        set_tests_properties(abuse.${name} PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
    endif()
endfunction()

function(add_unit_test name)
    if(NOT GTest_FOUND)
        return()
    endif()
    set(tests ${ARGN})
    list(FILTER tests INCLUDE REGEX "_test\\.cpp$")
    set(under_test ${ARGN})
    list(FILTER under_test EXCLUDE REGEX "_test\\.cpp$")
    add_executable(${name} ${tests})
    # The test files are compiled together, so that GoogleTest's header and
    # what they share are compiled once for the executable.
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON)
    # The code under test comes from the programs' own objects.
    lessons_compile_as_tests(${name})
    lessons_link_folder_sources(${name} ${under_test})
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/check
                                               ${PROJECT_SOURCE_DIR}/tests/support)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LESSONS_TEST_BIN_DIR})
    # Under an emulator or the sanitizers every process start is costly (about a
    # tenth of a second under qemu, the sanitizers' shadow memory): there each
    # executable runs all its tests in one process, elsewhere each test runs
    # in one of its own.
    if(CMAKE_CROSSCOMPILING OR LESSONS_SANITIZE)
        add_test(NAME unit.${name} COMMAND ${name})
        set_tests_properties(unit.${name} PROPERTIES LABELS unit TIMEOUT 300)
    else()
        gtest_discover_tests(${name} PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# The README and manual page tests read this list, one program a line:
# its name, its folder and the time its clock is stopped at (if it is),
# separated by tabs.
function(lessons_write_program_list)
    get_property(programs GLOBAL PROPERTY LESSONS_PROGRAMS)
    list(JOIN programs "\n" text)
    file(WRITE ${CMAKE_BINARY_DIR}/programs.txt "${text}\n")
endfunction()

# Installs a document compressed as Debian wants it (gzip -9n: no name and no
# time stamp inside, so the same sources give the same bytes), or plain where
# gzip is not found.  Sets <out_var> to the compressed file, which the caller
# builds with a target of its own, or to nothing.
find_program(LESSONS_GZIP gzip)
function(lessons_install_compressed file destination out_var)
    if(NOT LESSONS_GZIP)
        install(FILES ${file} DESTINATION ${destination})
        set(${out_var} "" PARENT_SCOPE)
        return()
    endif()
    get_filename_component(name ${file} NAME)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
                       COMMAND ${LESSONS_GZIP} -9nc ${file} > ${compressed}
                       DEPENDS ${file}
                       COMMENT "Compressing ${name}"
                       VERBATIM)
    install(FILES ${compressed} DESTINATION ${destination})
    set(${out_var} ${compressed} PARENT_SCOPE)
endfunction()
