# Standalone simulated sonar (data stream), on the same streamer the tests use.
add_executable(sonar-sim ${CMAKE_CURRENT_LIST_DIR}/sonar-sim.cpp)
target_compile_options(sonar-sim PRIVATE ${KORVESSA_WARNINGS})
target_link_libraries(sonar-sim PRIVATE korvessa_testsupport)
