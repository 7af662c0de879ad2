korvessa_add_test(tst_udpreceiver SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_udpreceiver.cpp LABEL net)
korvessa_add_test(tst_udpreceiver_ports SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_udpreceiver_ports.cpp LABEL netns)
