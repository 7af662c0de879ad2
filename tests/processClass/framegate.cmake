korvessa_add_test(tst_framegate SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_framegate.cpp LABEL unit PURE)
