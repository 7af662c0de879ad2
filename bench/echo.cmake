add_executable(bench_echo ${CMAKE_CURRENT_LIST_DIR}/bench_echo.cpp)
target_compile_options(bench_echo PRIVATE ${KORVESSA_WARNINGS})
target_link_libraries(bench_echo PRIVATE korvessa_core korvessa_testsupport)
