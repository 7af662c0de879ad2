# The whole program idle and under a 1000 frames/s stream (run under xvfb-run; not a test).
add_executable(bench_program ${CMAKE_CURRENT_LIST_DIR}/bench_program.cpp)
korvessa_target_options(bench_program)
target_link_libraries(bench_program PRIVATE korvessa_core korvessa_testsupport)
