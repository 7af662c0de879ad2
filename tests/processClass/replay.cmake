korvessa_add_test(tst_replaysweep SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_replaysweep.cpp LABEL unit)
korvessa_add_test(tst_replay SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_replay.cpp LABEL unit)
korvessa_add_test(tst_fileread SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fileread.cpp LABEL unit)
korvessa_add_test(tst_replay_live SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_replay_live.cpp LABEL net TIMEOUT 180)
