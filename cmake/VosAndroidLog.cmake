# The Android log (__android_log_write, __android_log_print) as the target
# vos_android_log. On Android it is the NDK's liblog. Elsewhere it is the
# platform's own library as Debian builds it for Linux (android-liblog-dev):
# the host's architecture, or the armel one when cross-compiling for 32-bit
# ARM. Outside a device it writes each entry to standard error as one line
#   TAG P MM-DD HH:MM:SS PID TID TEXT
# and drops entries below INFO unless the process lowers the threshold with
# __android_log_set_minimum_priority.
#
# Debian keeps the library outside the linker's default folders, so whatever
# links it carries that folder as its run-time path, the installed libvos.so
# included; qemu-arm finds the armel one there too (its -L prefix is tried
# first, then the path as it stands).
#
# vos_link_android_log(target) links it and, off Android, makes the target's
# installed copy find it again.
function(vos_link_android_log target)
  target_link_libraries(${target} PRIVATE vos_android_log)
  if(VOS_ANDROID_LOG_DIR)
    set_property(TARGET ${target} APPEND PROPERTY INSTALL_RPATH ${VOS_ANDROID_LOG_DIR})
  endif()
endfunction()

if(TARGET vos_android_log)
  return()
endif()
add_library(vos_android_log INTERFACE IMPORTED)

if(ANDROID)
  target_link_libraries(vos_android_log INTERFACE log)
  return()
endif()

# Debian's multiarch triplet of the target, as the compiler reports it
# (x86_64-linux-gnu, arm-linux-gnueabi).
set(_vos_log_triplet ${CMAKE_LIBRARY_ARCHITECTURE})
set(_vos_log_hint "apt-get install android-liblog-dev")
if(_vos_log_triplet MATCHES "^arm-linux-gnueabi$")
  set(_vos_log_hint "dpkg --add-architecture armel && apt-get update && apt-get install android-liblog-dev:armel")
endif()

find_path(VOS_ANDROID_LOG_INCLUDE_DIR android/log.h
  PATHS /usr/include/android NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_library(VOS_ANDROID_LOG_LIBRARY log
  PATHS /usr/lib/${_vos_log_triplet}/android NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VOS_ANDROID_LOG_INCLUDE_DIR OR NOT VOS_ANDROID_LOG_LIBRARY)
  message(FATAL_ERROR "The Android log library for ${_vos_log_triplet} was not found: ${_vos_log_hint} (scripts/test does this)")
endif()
get_filename_component(VOS_ANDROID_LOG_DIR ${VOS_ANDROID_LOG_LIBRARY} DIRECTORY)

target_include_directories(vos_android_log SYSTEM INTERFACE ${VOS_ANDROID_LOG_INCLUDE_DIR})
target_link_libraries(vos_android_log INTERFACE ${VOS_ANDROID_LOG_LIBRARY})
