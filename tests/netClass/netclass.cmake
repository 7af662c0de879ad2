korvessa_add_test(tst_cmdframes SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_cmdframes.cpp LABEL unit)
korvessa_add_test(tst_cmdsocket SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_cmdsocket.cpp LABEL net)
