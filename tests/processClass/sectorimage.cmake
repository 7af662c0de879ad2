korvessa_add_test(tst_gamma SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gamma.cpp LABEL unit PURE)
korvessa_add_test(tst_polarimage SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_polarimage.cpp LABEL unit PURE)
korvessa_add_test(tst_sweeprenderer SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_sweeprenderer.cpp LABEL unit PURE)
# Frames kept in pieces are read through chunk tables: under AddressSanitizer too.
set_property(TEST tst_polarimage APPEND PROPERTY LABELS asan)
add_dependencies(korvessa_asan_tests tst_polarimage)
