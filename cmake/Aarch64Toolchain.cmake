# Cross build for 64-bit ARM Linux with Debian's cross compiler; programs built for the target
# (generators of the build, test discovery, the tests) run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Debian's multiarch folders hold the arm64 libraries (zlib1g-dev:arm64).
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# The cross C library is the sysroot of the emulated programs; others come from the multiarch
# folders it falls back to.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
