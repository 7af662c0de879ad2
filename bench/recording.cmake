# The recorder end to end and the replay (not run by the test suite).
add_executable(bench_recording ${CMAKE_CURRENT_LIST_DIR}/bench_recording.cpp)
korvessa_target_options(bench_recording)
target_link_libraries(bench_recording PRIVATE korvessa_core korvessa_testsupport)
add_executable(bench_replay ${CMAKE_CURRENT_LIST_DIR}/bench_replay.cpp)
korvessa_target_options(bench_replay)
target_link_libraries(bench_replay PRIVATE korvessa_core korvessa_testsupport)
