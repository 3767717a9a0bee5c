# The line check of a hundred simulated cameras (a plain program that prints its numbers).
add_executable(bench_line_check ${CMAKE_CURRENT_LIST_DIR}/line_check.cpp)
target_link_libraries(bench_line_check PRIVATE kestrel_check kestrel_cli_lib kestrel_devsim)
kestrel_set_warnings(bench_line_check)
