korvessa_add_test(tst_pointcloudcache SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_pointcloudcache.cpp LABEL unit PURE)
# The point store is shared by the core object's threads: it runs in the ThreadSanitizer build
# with the core object's test (scripts/test.sh).
set_property(TEST tst_pointcloudcache APPEND PROPERTY LABELS core)
add_dependencies(korvessa_core_tests tst_pointcloudcache)
