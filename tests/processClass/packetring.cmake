korvessa_add_test(tst_packetring SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_packetring.cpp LABEL unit PURE)
