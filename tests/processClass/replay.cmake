korvessa_add_test(tst_replaysweep SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_replaysweep.cpp LABEL unit PURE)
korvessa_add_test(tst_replay SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_replay.cpp LABEL unit)
korvessa_add_test(tst_fileread SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fileread.cpp LABEL unit)
korvessa_add_test(tst_replay_live SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_replay_live.cpp LABEL net TIMEOUT 180)

# Replays of frames far larger than 60 packets must stay inside their buffers: these tests also
# carry the label "asan", and korvessa_asan_tests builds them; scripts/test.sh runs them again
# under AddressSanitizer.
set(KORVESSA_REPLAY_ASAN_TESTS tst_replay tst_fileread tst_recording tst_replaysweep)
set_property(TEST ${KORVESSA_REPLAY_ASAN_TESTS} APPEND PROPERTY LABELS asan)
add_dependencies(korvessa_asan_tests ${KORVESSA_REPLAY_ASAN_TESTS})

# A replay on a machine short of memory, in a process of its own (tst_fileread runs it).
add_executable(replay_memory_probe ${CMAKE_CURRENT_LIST_DIR}/replay_memory_probe.cpp)
korvessa_target_options(replay_memory_probe)
target_link_libraries(replay_memory_probe PRIVATE korvessa_core korvessa_testsupport)
korvessa_test_runs(tst_fileread replay_memory_probe KORVESSA_REPLAY_MEMORY_PROBE)
