# One search on a bench of 1,000 simulated devices, through the station core.
kestrel_add_bench(bench_fleet_search ${CMAKE_CURRENT_SOURCE_DIR}/fleet_search.cpp)
target_link_libraries(bench_fleet_search PRIVATE kestrel_protocol kestrel_devsim)
