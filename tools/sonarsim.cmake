# Standalone simulated sonar (data stream), on the same streamer the tests use.
add_executable(sonar-sim ${CMAKE_CURRENT_LIST_DIR}/sonar-sim.cpp)
korvessa_target_options(sonar-sim)
target_link_libraries(sonar-sim PRIVATE korvessa_testsupport)
