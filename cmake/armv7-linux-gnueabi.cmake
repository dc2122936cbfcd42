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

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/arm-linux-gnueabi)
