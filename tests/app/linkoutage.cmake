# A link to the sonar that goes down for a while or for good. The cases wait for the kernel to
# give up an unanswered connection (about 70 s each), so the test runs long; it starts the
# standalone sonar with QProcess, which ThreadSanitizer cannot follow, and stays out of the
# sanitizer runs.
korvessa_add_test(tst_linkoutage SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_linkoutage.cpp LABEL netns TIMEOUT 900)
korvessa_test_runs(tst_linkoutage sonar-sim KORVESSA_SONAR_SIM)
