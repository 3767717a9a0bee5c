# The device history: 10,000 device-jobs recorded and one device's history looked up
# among 1,000,000 records, in SQLite and in a throw-away PostgreSQL server (a plain
# program printing its numbers and their ratios).
if(TARGET kestrel_test_pg)
  add_executable(bench_history ${CMAKE_CURRENT_LIST_DIR}/history.cpp)
  target_link_libraries(bench_history PRIVATE kestrel_history kestrel_test_pg)
  kestrel_set_warnings(bench_history)
endif()
