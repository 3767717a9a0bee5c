# The stream client on a simulated 1080p30 camera (a plain program that prints its numbers).
add_executable(bench_stream_client ${CMAKE_CURRENT_LIST_DIR}/stream_client.cpp)
target_link_libraries(bench_stream_client PRIVATE kestrel_media kestrel_devsim)
kestrel_set_warnings(bench_stream_client)
