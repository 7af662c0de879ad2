korvessa_add_test(tst_pointcloudcache SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_pointcloudcache.cpp LABEL unit)
