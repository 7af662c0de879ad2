add_executable(startup_probe ${CMAKE_CURRENT_LIST_DIR}/startup_probe.cpp)
korvessa_target_options(startup_probe)
target_link_libraries(startup_probe PRIVATE korvessa_core)

korvessa_add_test(tst_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp LABEL gui)
korvessa_test_runs(tst_startup startup_probe KORVESSA_STARTUP_PROBE)
target_compile_definitions(tst_startup PRIVATE KORVESSA_VERSION="${Korvessa_VERSION}")

# The whole program and the core object run once more in an AddressSanitizer build
# (scripts/test.sh), with leak reports on: any report fails them.
set_property(TEST tst_startup tst_mainwindow tst_languageset APPEND PROPERTY LABELS asan)
set_property(TEST tst_startup tst_mainwindow tst_languageset APPEND PROPERTY ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
add_dependencies(korvessa_asan_tests tst_startup startup_probe tst_mainwindow tst_languageset)
