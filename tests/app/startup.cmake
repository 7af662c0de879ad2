add_executable(startup_probe ${CMAKE_CURRENT_LIST_DIR}/startup_probe.cpp)
korvessa_target_options(startup_probe)
target_link_libraries(startup_probe PRIVATE korvessa_core)

korvessa_add_test(tst_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp LABEL gui)
korvessa_test_runs(tst_startup startup_probe KORVESSA_STARTUP_PROBE)
