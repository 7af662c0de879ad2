# The QML front end: its panels, scripts and main window under Qt Quick Test, offscreen, with the
# program's native types and recording stand-ins where a test records calls. The language
# setting goes to the build directory, never to the user's own.
find_package(Qt6 REQUIRED COMPONENTS QuickTest)

korvessa_add_test(tst_frontend_qml
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_frontend_qml.cpp LABEL unit
    ENV "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/frontend-config")
target_link_libraries(tst_frontend_qml PRIVATE Qt6::QuickTest)
target_compile_definitions(tst_frontend_qml PRIVATE
    QUICK_TEST_SOURCE_DIR="${CMAKE_CURRENT_LIST_DIR}")

# Every QML file of the front end passes qmllint. The native types are described to it from
# their own meta-objects (qmllint_types), so their members are checked too. The few lines that
# Qt 6.4's qmllint cannot follow (ids inside delegates, enums a dialog takes from its helper,
# the context properties of start-up) carry an inline "qmllint disable" with the reason.
if(TARGET Qt6::qmllint)
    add_executable(qmllint_types ${CMAKE_CURRENT_LIST_DIR}/qmllint_types.cpp)
    korvessa_target_options(qmllint_types)
    target_link_libraries(qmllint_types PRIVATE korvessa_core)
    set(KORVESSA_QMLLINT_IMPORTS ${CMAKE_CURRENT_BINARY_DIR}/qmllint-imports)
    add_test(NAME qmllint_types COMMAND qmllint_types ${KORVESSA_QMLLINT_IMPORTS})
    set_tests_properties(qmllint_types PROPERTIES LABELS unit FIXTURES_SETUP qmllint_types
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

    file(GLOB_RECURSE KORVESSA_QML_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/qmlsource/*.qml)
    add_test(NAME qmllint_frontend
        COMMAND Qt6::qmllint -I ${KORVESSA_QMLLINT_IMPORTS} ${KORVESSA_QML_FILES})
    set_tests_properties(qmllint_frontend PROPERTIES LABELS unit FIXTURES_REQUIRED qmllint_types)
endif()

# The whole program under Xvfb, driven through its panels against simulated sonars in a network
# namespace of its own; it leaves its pictures of the window in build/screenshots. It closes the
# window as a window manager does, with a message through the X server (xcb, which Qt's own X
# platform uses).
pkg_check_modules(KORVESSA_XCB REQUIRED IMPORTED_TARGET xcb)
add_executable(tst_frontend_program ${CMAKE_CURRENT_LIST_DIR}/tst_frontend_program.cpp)
korvessa_target_options(tst_frontend_program)
target_compile_definitions(tst_frontend_program PRIVATE KORVESSA_BINARY_DIR="${PROJECT_BINARY_DIR}")
target_link_libraries(tst_frontend_program PRIVATE korvessa_core korvessa_testsupport Qt6::Test
    PkgConfig::KORVESSA_XCB)
add_test(NAME tst_frontend_program
    COMMAND unshare -n sh -c "ip link set lo up && exec \"$0\"" $<TARGET_FILE:tst_frontend_program>)
set_tests_properties(tst_frontend_program PROPERTIES LABELS "netns;gui"
    ENVIRONMENT "LANG=C;LC_ALL=C" TIMEOUT 300)
