# 64-bit ARM, as on a Raspberry Pi 3 or later with a 64-bit system
# (Debian: apt-get install g++-aarch64-linux-gnu qemu-user).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(LESSONS_CROSS_TRIPLET aarch64-linux-gnu)
set(LESSONS_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
