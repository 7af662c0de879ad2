korvessa_add_test(tst_colortable SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_colortable.cpp LABEL unit PURE)
korvessa_add_test(tst_frameassembler SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_frameassembler.cpp LABEL unit PURE)
korvessa_add_test(tst_firfilter SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_firfilter.cpp LABEL unit PURE)
korvessa_add_test(tst_peakfinder SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_peakfinder.cpp LABEL unit PURE)
korvessa_add_test(tst_echoprocessor SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_echoprocessor.cpp LABEL unit PURE)
# Frames are copied, filtered and searched only where their packets wrote: these tests also
# carry the label "asan" (scripts/test.sh runs them again under AddressSanitizer).
set(KORVESSA_FRAME_ASAN_TESTS tst_frameassembler tst_peakfinder tst_echoprocessor)
set_property(TEST ${KORVESSA_FRAME_ASAN_TESTS} APPEND PROPERTY LABELS asan)
add_dependencies(korvessa_asan_tests ${KORVESSA_FRAME_ASAN_TESTS})
