korvessa_add_test(tst_recording SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recording.cpp LABEL unit PURE)
korvessa_add_test(tst_filesave SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_filesave.cpp LABEL unit)
