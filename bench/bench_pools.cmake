# The second allocator is loaded at run time with dlopen.
target_link_libraries(bench_pools PRIVATE ${CMAKE_DL_LIBS})
