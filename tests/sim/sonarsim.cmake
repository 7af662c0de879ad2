korvessa_add_test(tst_sonarsim SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_sonarsim.cpp LABEL net)
