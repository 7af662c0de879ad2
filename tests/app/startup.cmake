add_executable(startup_probe ${CMAKE_CURRENT_LIST_DIR}/startup_probe.cpp)
target_compile_options(startup_probe PRIVATE ${KORVESSA_WARNINGS})
target_link_libraries(startup_probe PRIVATE korvessa_core)
set_target_properties(startup_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

korvessa_add_test(tst_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp LABEL gui)
add_dependencies(tst_startup startup_probe)

# The whole program and the core object run once more in an AddressSanitizer build
# (scripts/test.sh); korvessa_asan_tests builds what they need.
set_property(TEST tst_startup tst_mainwindow tst_languageset APPEND PROPERTY LABELS asan)
add_custom_target(korvessa_asan_tests DEPENDS tst_startup startup_probe tst_mainwindow tst_languageset)
