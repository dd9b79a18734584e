# 32-bit ARM with hardware floating point, ARMv7 or later, as a Raspberry Pi 2
# or later runs it with a 32-bit system
# (Debian: apt-get install g++-arm-linux-gnueabihf qemu-user).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(LESSONS_CROSS_TRIPLET arm-linux-gnueabihf)
set(LESSONS_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
