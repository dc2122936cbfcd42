# The idle count reads the threads' context switches with the test suite's
# /proc readers.
target_sources(bench_wake PRIVATE ${PROJECT_SOURCE_DIR}/tests/net/LoopbackPeer.cpp)
target_include_directories(bench_wake PRIVATE ${PROJECT_SOURCE_DIR}/tests)
