korvessa_add_test(tst_processing SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_processing.cpp LABEL unit)
korvessa_add_test(tst_processing_live SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_processing_live.cpp LABEL net TIMEOUT 120)
korvessa_add_test(tst_processing_live_de SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_processing_live.cpp LABEL net TIMEOUT 120
    ENV LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
korvessa_add_test(tst_processing_flood SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_processing_flood.cpp LABEL unit TIMEOUT 120)
# The live loop's frame buffers and their drawing in pieces: under AddressSanitizer too.
set_property(TEST tst_processing APPEND PROPERTY LABELS asan)
add_dependencies(korvessa_asan_tests tst_processing)
