korvessa_add_test(tst_replaysweep SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_replaysweep.cpp LABEL unit)
