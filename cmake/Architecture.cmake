# LESSONS_DEBIAN_ARCH: the Debian architecture that the compiler builds for
# (amd64, arm64, armhf, i386), which names the packages and decides the
# floating-point options.  It comes from the target that the compiler itself
# reports (g++ -dumpmachine gives x86_64-linux-gnu, clang++ x86_64-pc-linux-gnu),
# so a cross build gets the target's name, not this machine's.

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                OUTPUT_VARIABLE LESSONS_TARGET_TRIPLET
                OUTPUT_STRIP_TRAILING_WHITESPACE)

if(LESSONS_TARGET_TRIPLET MATCHES "^x86_64-(.*-)?linux-gnu$")
    set(LESSONS_DEBIAN_ARCH amd64)
elseif(LESSONS_TARGET_TRIPLET MATCHES "^aarch64-(.*-)?linux-gnu$")
    set(LESSONS_DEBIAN_ARCH arm64)
elseif(LESSONS_TARGET_TRIPLET MATCHES "^arm-(.*-)?linux-gnueabihf$")
    set(LESSONS_DEBIAN_ARCH armhf)
elseif(LESSONS_TARGET_TRIPLET MATCHES "^i[3-6]86-(.*-)?linux-gnu$")
    set(LESSONS_DEBIAN_ARCH i386)
else()
    # Built and tested are only the four above; elsewhere the packages are
    # named after the processor.
    set(LESSONS_DEBIAN_ARCH ${CMAKE_SYSTEM_PROCESSOR})
    message(STATUS "No Debian architecture known for ${LESSONS_TARGET_TRIPLET}: "
                   "the packages are named ${LESSONS_DEBIAN_ARCH}")
endif()
