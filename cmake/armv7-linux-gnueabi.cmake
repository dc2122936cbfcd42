# 32-bit ARM with the Android armeabi-v7a ABI's code generation (ARMv7-A,
# Thumb-2, soft-float calling convention with VFPv3-D16), cross-compiled with
# Debian's arm-linux-gnueabi toolchain; executables run under qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7-a)

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(_vos_arm_flags "-march=armv7-a -mthumb -mfloat-abi=softfp -mfpu=vfpv3-d16")
set(CMAKE_C_FLAGS_INIT "${_vos_arm_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_vos_arm_flags}")

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The executables run on the cross toolchain's C and C++ run-time, whose
# loader qemu takes from the -L prefix. That loader's default folders
# (/lib/arm-linux-gnueabi, ...) fall through the prefix to the host, where
# Debian's armel packages (those the Android log library depends on) put a C
# library of another build that the loader cannot work with (threads crash):
# the library path puts the toolchain's own first.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/arm-linux-gnueabi -E LD_LIBRARY_PATH=/usr/arm-linux-gnueabi/lib)
