korvessa_add_test(tst_whilethread SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_whilethread.cpp LABEL unit)
korvessa_add_test(tst_packageinfo SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_packageinfo.cpp LABEL unit PURE)
