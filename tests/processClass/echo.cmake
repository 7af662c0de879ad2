korvessa_add_test(tst_colortable SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_colortable.cpp LABEL unit)
korvessa_add_test(tst_frameassembler SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_frameassembler.cpp LABEL unit)
korvessa_add_test(tst_firfilter SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_firfilter.cpp LABEL unit)
korvessa_add_test(tst_peakfinder SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_peakfinder.cpp LABEL unit)
