korvessa_add_test(tst_colortable SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_colortable.cpp LABEL unit)
