add_executable(startup_probe ${CMAKE_CURRENT_LIST_DIR}/startup_probe.cpp)
target_compile_options(startup_probe PRIVATE ${KORVESSA_WARNINGS})
target_link_libraries(startup_probe PRIVATE korvessa_core)
set_target_properties(startup_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

korvessa_add_test(tst_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp LABEL gui)
add_dependencies(tst_startup startup_probe)

# The whole program and the core object run once more in an AddressSanitizer build
# (scripts/test.sh), with leak reports on: any report fails them.
set_property(TEST tst_startup tst_mainwindow tst_languageset APPEND PROPERTY LABELS asan)
set_property(TEST tst_startup tst_mainwindow tst_languageset APPEND PROPERTY ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
add_dependencies(korvessa_asan_tests tst_startup startup_probe tst_mainwindow tst_languageset)
