# 32-bit x86 (Debian: apt-get install g++-i686-linux-gnu qemu-user).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LESSONS_CROSS_TRIPLET i686-linux-gnu)
set(LESSONS_CROSS_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
