# Installation: the shared object, the public headers, the companion-classes
# jar, a CMake package (find_package(vos CONFIG) -> vos::vos) and vos.pc.
#   cmake --install build/release --prefix /opt/vos
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VOS_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/vos)
set(VOS_INSTALL_JAVADIR ${CMAKE_INSTALL_DATADIR}/java)

install(TARGETS vos EXPORT vosTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/inc/vos
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
if(TARGET vos_java)
  install(FILES $<TARGET_PROPERTY:vos_java,JAR_FILE> DESTINATION ${VOS_INSTALL_JAVADIR})
endif()

install(EXPORT vosTargets NAMESPACE vos:: DESTINATION ${VOS_INSTALL_CMAKEDIR})
# The public headers include <jni.h>. The package finds it again on the
# consumer's machine (Android: the NDK's sysroot has it); the JDK the library
# was built with is only the last place it looks.
set(VOS_BUILD_JNI_INCLUDE_DIRS "${VOS_JNI_INCLUDE_DIRS}")
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vosConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vosConfig.cmake
  INSTALL_DESTINATION ${VOS_INSTALL_CMAKEDIR}
  PATH_VARS VOS_INSTALL_JAVADIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vosConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vosConfig.cmake ${PROJECT_BINARY_DIR}/vosConfigVersion.cmake
  DESTINATION ${VOS_INSTALL_CMAKEDIR})

# pkg-config: paths relative to the .pc file, so the installed tree can move.
# pkg-config cannot search for a JDK, so the JNI include flags are the ones of
# this build's JDK (none on Android).
set(VOS_PC_JNI_CFLAGS "")
foreach(_dir ${VOS_JNI_INCLUDE_DIRS})
  string(APPEND VOS_PC_JNI_CFLAGS " -I${_dir}")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vos.pc.in ${PROJECT_BINARY_DIR}/vos.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vos.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
