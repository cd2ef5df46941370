# Cross build for 64-bit ARM Linux with Debian's cross compiler; programs built for the target
# (generators of the build, test discovery, the tests) run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Debian's multiarch folders hold the arm64 libraries (zlib1g-dev:arm64).
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# The programs run on the multiarch arm64 C and C++ libraries (libc6:arm64, libstdc++6:arm64):
# under qemu 7.2, threads never start with the cross compiler's own libc.so (-L its folder).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
