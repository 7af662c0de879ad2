# CPU time of idle workers (not run by the test suite).
add_executable(bench_idle ${CMAKE_CURRENT_LIST_DIR}/bench_idle.cpp)
korvessa_target_options(bench_idle)
target_link_libraries(bench_idle PRIVATE korvessa_core)
