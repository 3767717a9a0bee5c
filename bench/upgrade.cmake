# A hundred simulated devices upgraded at once: the station against a plain TCP sender
# (a plain program printing its numbers and their ratio).
add_executable(bench_upgrade_fleet ${CMAKE_CURRENT_LIST_DIR}/upgrade_fleet.cpp)
target_link_libraries(bench_upgrade_fleet PRIVATE kestrel_upgrade kestrel_devsim)
kestrel_set_warnings(bench_upgrade_fleet)
