# bench_msg hosts a Java VM: it links the JDK's VM and finds the companion
# jar, its own peer class and libvos.so through paths compiled in.
find_package(Java 17 REQUIRED COMPONENTS Development)
include(UseJava)
add_jar(vos_bench_java
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/java/vosbench/BareRoundTrip.java ${CMAKE_CURRENT_SOURCE_DIR}/java/vosbench/HandOff.java
  OUTPUT_NAME vos_bench)
add_dependencies(bench_msg vos_java vos_bench_java)
target_link_libraries(bench_msg PRIVATE ${VOS_LIBJVM})
# The VM starts the way the examples start theirs.
target_sources(bench_msg PRIVATE ${PROJECT_SOURCE_DIR}/examples/common/ExampleVm.cpp)
target_include_directories(bench_msg PRIVATE ${PROJECT_SOURCE_DIR}/examples/common)
get_filename_component(_vos_jvmdir ${VOS_LIBJVM} DIRECTORY)
set_target_properties(bench_msg PROPERTIES BUILD_RPATH "${_vos_jvmdir};$<TARGET_FILE_DIR:vos>")
target_compile_definitions(bench_msg PRIVATE
  "VOS_BENCH_CLASSPATH=\"$<TARGET_PROPERTY:vos_java,JAR_FILE>:$<TARGET_PROPERTY:vos_bench_java,JAR_FILE>\""
  "VOS_BENCH_LIBPATH=\"$<TARGET_FILE_DIR:vos>\"")
