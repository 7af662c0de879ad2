korvessa_add_test(tst_processing SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_processing.cpp LABEL unit)
