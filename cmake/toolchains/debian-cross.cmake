# What the cross toolchains share: Debian's cross compiler for the GNU
# triplet LESSONS_CROSS_TRIPLET, its libraries and headers in
# /usr/<triplet>, and qemu-user (LESSONS_CROSS_QEMU) to run what it builds,
# so that ctest runs the tests of the target on this machine.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${LESSONS_CROSS_TRIPLET}-g++)
set(CMAKE_C_COMPILER ${LESSONS_CROSS_TRIPLET}-gcc)

set(CMAKE_FIND_ROOT_PATH /usr/${LESSONS_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the dynamic loader and the shared libraries of the target come from
# the cross sysroot.
find_program(LESSONS_CROSS_QEMU_PROGRAM ${LESSONS_CROSS_QEMU})
if(NOT LESSONS_CROSS_QEMU_PROGRAM)
    message(FATAL_ERROR "${LESSONS_CROSS_QEMU} is missing (Debian: apt-get install qemu-user)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${LESSONS_CROSS_QEMU_PROGRAM} -L /usr/${LESSONS_CROSS_TRIPLET})
