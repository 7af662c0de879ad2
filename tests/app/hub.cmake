# The state hub and the discovery record. Every test here also carries the label "hub", and
# korvessa_hub_tests builds them all: scripts/test.sh runs them again under ThreadSanitizer.
set(KORVESSA_HUB_TEST_SUPPORT ${CMAKE_CURRENT_LIST_DIR}/HubTestSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/HubTestSupport.h)

korvessa_add_test(tst_informationcenter
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_informationcenter.cpp ${KORVESSA_HUB_TEST_SUPPORT} LABEL unit)
korvessa_add_test(tst_informationcenter_threads
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_informationcenter_threads.cpp LABEL unit)
korvessa_add_test(tst_informationcenter_qml
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_informationcenter_qml.cpp LABEL unit)
korvessa_add_test(tst_deviceinfo
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_deviceinfo.cpp ${KORVESSA_HUB_TEST_SUPPORT} LABEL unit PURE)
korvessa_add_test(tst_hostaddrs
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_hostaddrs.cpp LABEL netns)

set(KORVESSA_HUB_TESTS tst_informationcenter tst_informationcenter_threads tst_informationcenter_qml tst_deviceinfo tst_hostaddrs)
set_property(TEST ${KORVESSA_HUB_TESTS} APPEND PROPERTY LABELS hub)
add_custom_target(korvessa_hub_tests DEPENDS ${KORVESSA_HUB_TESTS})
