# The network benchmark fetches from a private nginx and drives the socket
# manager with the test suite's HTTP client.
target_sources(bench_net PRIVATE
  ${PROJECT_SOURCE_DIR}/tests/net/NginxFixture.cpp
  ${PROJECT_SOURCE_DIR}/tests/net/HttpFetch.cpp
  ${PROJECT_SOURCE_DIR}/tests/net/LoopbackPeer.cpp)
target_include_directories(bench_net PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# HttpFetch derives nothing, but it shares headers with classes built without
# run-time type information.
target_compile_options(bench_net PRIVATE -fno-rtti)
