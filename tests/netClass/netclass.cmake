korvessa_add_test(tst_cmdframes SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_cmdframes.cpp LABEL unit)
korvessa_add_test(tst_cmdsocket SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_cmdsocket.cpp LABEL net)
korvessa_add_test(tst_cmddialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_cmddialog.cpp LABEL net)
korvessa_add_test(tst_udpserchdev SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_udpserchdev.cpp LABEL netns)
