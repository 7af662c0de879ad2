# A link to the sonar that goes down for a while or for good, or that loses much. The cases wait
# for outages of up to a minute and for a silent sonar to be given up (about 70 s each), so the
# program runs long: it is split into runs of some of its functions each, which CTest runs side
# by side, each in a namespace of its own. Every test function belongs to one of the runs. It
# starts the standalone sonar with QProcess, which ThreadSanitizer cannot follow, and stays out
# of the sanitizer runs.
korvessa_add_test(tst_linkoutage SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_linkoutage.cpp LABEL netns TIMEOUT 900
    ARGS outageDuringScanAndRecording operatorLeavesWhileNotAnswering commandTypedInAnOutage)
korvessa_test_runs(tst_linkoutage sonar-sim KORVESSA_SONAR_SIM)
korvessa_add_test_run(tst_linkoutage_cutoff PROGRAM tst_linkoutage LABEL netns TIMEOUT 900
    ARGS cutOffForGood:idle cutOffForGood:scanning)
korvessa_add_test_run(tst_linkoutage_cutoff_typed PROGRAM tst_linkoutage LABEL netns TIMEOUT 900
    ARGS "cutOffForGood:command typed 10 s in, link down"
        "cutOffForGood:command typed 40 s in, nothing passes")
korvessa_add_test_run(tst_linkoutage_loss PROGRAM tst_linkoutage LABEL netns TIMEOUT 900
    ARGS lossyLinkThatWorks)
