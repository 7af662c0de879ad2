korvessa_add_test(tst_mainwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mainwindow.cpp LABEL netns)
korvessa_test_runs(tst_mainwindow sonar-sim KORVESSA_SONAR_SIM)

# The core object with its workers also runs in the ThreadSanitizer build (scripts/test.sh).
set_property(TEST tst_mainwindow APPEND PROPERTY LABELS core)
add_custom_target(korvessa_core_tests DEPENDS tst_mainwindow)
