# The QML front end: its panels and scripts under Qt Quick Test, offscreen, with the real state
# hub and recording stand-ins for the other back-end objects.
find_package(Qt6 REQUIRED COMPONENTS QuickTest)

korvessa_add_test(tst_frontend_qml
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_frontend_qml.cpp LABEL unit)
target_link_libraries(tst_frontend_qml PRIVATE Qt6::QuickTest)
target_compile_definitions(tst_frontend_qml PRIVATE
    QUICK_TEST_SOURCE_DIR="${CMAKE_CURRENT_LIST_DIR}")

# Every QML file of the front end passes qmllint. The few lines that Qt 6.4's qmllint cannot
# follow (ids inside delegates, enums a dialog takes from its helper) carry an inline
# "qmllint disable" with the reason beside them.
if(TARGET Qt6::qmllint)
    file(GLOB_RECURSE KORVESSA_QML_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/qmlsource/*.qml)
    add_test(NAME qmllint_frontend COMMAND Qt6::qmllint ${KORVESSA_QML_FILES})
    set_tests_properties(qmllint_frontend PROPERTIES LABELS unit)
endif()
