add_executable(bench_showpoint ${CMAKE_CURRENT_LIST_DIR}/bench_showpoint.cpp)
target_compile_options(bench_showpoint PRIVATE ${KORVESSA_WARNINGS})
target_link_libraries(bench_showpoint PRIVATE korvessa_core)
