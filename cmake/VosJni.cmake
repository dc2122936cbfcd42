# Locates the JNI headers the library compiles against. The library itself
# links no JVM: it reaches Java only through the JavaVM its host hands in.
# On Android the headers come from the NDK's sysroot; on a Linux host (and for
# the cross-compiled ARM build) from the JDK named by JAVA_HOME.
set(VOS_JNI_INCLUDE_DIRS "")
if(ANDROID)
  return()
endif()
set(_vos_java_home "$ENV{JAVA_HOME}")
if(NOT _vos_java_home)
  set(_vos_java_home /usr/lib/jvm/java-17-openjdk-amd64)
endif()
find_path(VOS_JNI_H jni.h PATHS ${_vos_java_home}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_path(VOS_JNI_MD_H jni_md.h PATHS ${_vos_java_home}/include/linux NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VOS_JNI_H OR NOT VOS_JNI_MD_H)
  message(FATAL_ERROR "JNI headers not found: set JAVA_HOME to a JDK (openjdk-17-jdk-headless)")
endif()
set(VOS_JNI_INCLUDE_DIRS ${VOS_JNI_H} ${VOS_JNI_MD_H})

# The JVM itself, for the test executables and examples that host one: the
# JDK's on the host, an armel one fetched for the 32-bit ARM build's tests
# (jni.h and jni_md.h are the same for both: jlong is long long there).
if(NOT CMAKE_CROSSCOMPILING)
  find_library(VOS_LIBJVM jvm PATHS ${_vos_java_home}/lib/server NO_DEFAULT_PATH)
elseif(VOS_JVM_TESTS AND CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  include(${CMAKE_CURRENT_LIST_DIR}/VosArmJvm.cmake)
endif()
