korvessa_add_test(tst_showimage SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_showimage.cpp LABEL gui)
