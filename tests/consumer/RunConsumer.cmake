# One consumer test (cmake -P): builds tests/consumer against the vos build
# in VOS_BINARY_DIR the way WAY names, then runs the program.
#   find_package  installs the build into a prefix; find_package(vos CONFIG)
#   pkgconfig     installs the build into a prefix; pkg-config and one g++ line
#   subdirectory  add_subdirectory of the source tree VOS_SOURCE_DIR
# Other inputs: WORK (scratch folder), GENERATOR, CXX, BUILD_TYPE.
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    string(JOIN " " cmd ${ARGN})
    message(FATAL_ERROR "consumer (${WAY}): failed (${rc}): ${cmd}")
  endif()
endfunction()

set(src ${CMAKE_CURRENT_LIST_DIR})
set(work ${WORK}/${WAY})
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

if(WAY STREQUAL "find_package")
  run(${CMAKE_COMMAND} --install ${VOS_BINARY_DIR} --prefix ${prefix})
  run(${CMAKE_COMMAND} -S ${src} -B ${work}/build -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_PREFIX_PATH=${prefix})
  run(${CMAKE_COMMAND} --build ${work}/build)
  run(${work}/build/vos_consumer)
elseif(WAY STREQUAL "pkgconfig")
  run(${CMAKE_COMMAND} --install ${VOS_BINARY_DIR} --prefix ${prefix})
  find_program(PKG_CONFIG pkg-config REQUIRED)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs vos RESULT_VARIABLE rc
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "consumer (pkgconfig): pkg-config does not know vos in ${prefix}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${CXX} -std=c++17 -fno-rtti -o ${work}/vos_consumer ${src}/main.cpp ${flags} -Wl,-rpath,${prefix}/lib)
  run(${work}/vos_consumer)
elseif(WAY STREQUAL "subdirectory")
  run(${CMAKE_COMMAND} -S ${src} -B ${work}/build -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DVOS_SUBDIRECTORY=${VOS_SOURCE_DIR})
  run(${CMAKE_COMMAND} --build ${work}/build)
  run(${work}/build/vos_consumer)
else()
  message(FATAL_ERROR "consumer: unknown way '${WAY}'")
endif()
message(STATUS "consumer (${WAY}): built and ran")
