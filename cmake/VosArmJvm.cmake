# A 32-bit ARM Java VM for the JVM-hosting tests of the armv7 build: Debian's
# armel openjdk-17-jre-headless, an interpreter-only VM that runs under
# qemu-arm. The packages are fetched with apt-get download (apt must know the
# armel architecture: scripts/test adds it) and unpacked with dpkg -x under
# the build folder, so nothing is installed system-wide and the host's JDK is
# left alone. The companion classes are the host JDK's bytecode.
#
# Sets VOS_LIBJVM to the unpacked lib/server/libjvm.so.
set(VOS_ARM_JVM_PACKAGES openjdk-17-jre-headless:armel zlib1g:armel)
set(_vos_arm_root ${CMAKE_BINARY_DIR}/armel-jvm)
set(_vos_arm_home ${_vos_arm_root}/usr/lib/jvm/java-17-openjdk-armel)
set(_vos_arm_stamp ${_vos_arm_root}/unpacked.stamp)

if(NOT EXISTS ${_vos_arm_stamp})
  message(STATUS "Fetching the armel Java VM: ${VOS_ARM_JVM_PACKAGES}")
  set(_debs ${CMAKE_BINARY_DIR}/armel-debs)
  file(REMOVE_RECURSE ${_vos_arm_root} ${_debs})
  file(MAKE_DIRECTORY ${_debs})
  execute_process(COMMAND apt-get download ${VOS_ARM_JVM_PACKAGES}
    WORKING_DIRECTORY ${_debs} RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_VARIABLE _err)
  file(GLOB _deb_files ${_debs}/*.deb)
  list(LENGTH _deb_files _deb_count)
  list(LENGTH VOS_ARM_JVM_PACKAGES _want)
  if(NOT _rc EQUAL 0 OR NOT _deb_count EQUAL _want)
    message(FATAL_ERROR "apt-get download ${VOS_ARM_JVM_PACKAGES} failed: ${_err}\n"
      "apt must know Debian's armel packages: dpkg --add-architecture armel && apt-get update "
      "(scripts/test does this), or configure with -DVOS_JVM_TESTS=OFF.")
  endif()
  foreach(_deb ${_deb_files})
    execute_process(COMMAND dpkg -x ${_deb} ${_vos_arm_root} RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "dpkg -x ${_deb} failed")
    endif()
  endforeach()
  file(REMOVE_RECURSE ${_debs})

  # The package's configuration files are links to /etc, which holds the
  # host JDK's (or nothing): point them at the unpacked /etc instead.
  file(GLOB_RECURSE _links LIST_DIRECTORIES false ${_vos_arm_home}/*)
  foreach(_link ${_links})
    if(IS_SYMLINK ${_link})
      file(READ_SYMLINK ${_link} _to)
      if(_to MATCHES "^/etc/")
        file(REMOVE ${_link})
        file(CREATE_LINK ${_vos_arm_root}${_to} ${_link} SYMBOLIC)
      endif()
    endif()
  endforeach()
  # The VM's libraries look for their neighbours in their own folder
  # ($ORIGIN): libzip.so needs zlib there.
  file(CREATE_LINK ${_vos_arm_root}/lib/arm-linux-gnueabi/libz.so.1 ${_vos_arm_home}/lib/libz.so.1 SYMBOLIC)
  file(TOUCH ${_vos_arm_stamp})
endif()

set(VOS_LIBJVM ${_vos_arm_home}/lib/server/libjvm.so)
if(NOT EXISTS ${VOS_LIBJVM})
  message(FATAL_ERROR "The armel Java VM under ${_vos_arm_root} lacks lib/server/libjvm.so: delete that folder and configure again")
endif()
