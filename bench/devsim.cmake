# Start-up of a thousand simulated devices (a plain program that prints its numbers).
add_executable(bench_devsim ${CMAKE_CURRENT_LIST_DIR}/devsim_startup.cpp)
target_link_libraries(bench_devsim PRIVATE kestrel_devsim)
kestrel_set_warnings(bench_devsim)
