# The 3D view. Its maths, volume and item rules run headless; its drawing runs on the X
# display with real OpenGL, under both of Qt Quick's render loops and on a core profile.
korvessa_add_test(tst_showpoint SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_showpoint.cpp LABEL unit)

add_executable(tst_showpoint_gl ${CMAKE_CURRENT_LIST_DIR}/tst_showpoint_gl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShowPointWindow.cpp ${CMAKE_CURRENT_LIST_DIR}/ShowPointWindow.h)
korvessa_target_options(tst_showpoint_gl)
target_link_libraries(tst_showpoint_gl PRIVATE korvessa_core korvessa_testsupport Qt6::Test)
foreach(variant threaded basic core)
    set(env "LANG=C" "LC_ALL=C")
    if(variant STREQUAL "core")
        list(APPEND env "QSG_RENDER_LOOP=threaded" "KORVESSA_TEST_CORE_PROFILE=1")
    else()
        list(APPEND env "QSG_RENDER_LOOP=${variant}")
    endif()
    add_test(NAME tst_showpoint_gl_${variant} COMMAND tst_showpoint_gl)
    set_tests_properties(tst_showpoint_gl_${variant} PROPERTIES LABELS gui ENVIRONMENT "${env}" TIMEOUT 300)
endforeach()
set_property(TEST tst_showpoint_gl_threaded APPEND PROPERTY LABELS asan)

# Moving the item between windows. scripts/test.sh runs the tests labelled "asan" again in an
# AddressSanitizer build; the target korvessa_asan_tests builds only what they need.
add_executable(tst_showpoint_reparent ${CMAKE_CURRENT_LIST_DIR}/tst_showpoint_reparent.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShowPointWindow.cpp ${CMAKE_CURRENT_LIST_DIR}/ShowPointWindow.h)
korvessa_target_options(tst_showpoint_reparent)
target_link_libraries(tst_showpoint_reparent PRIVATE korvessa_core korvessa_testsupport Qt6::Test)
foreach(variant threaded basic)
    add_test(NAME tst_showpoint_reparent_${variant} COMMAND tst_showpoint_reparent)
    set_tests_properties(tst_showpoint_reparent_${variant} PROPERTIES LABELS "gui;asan"
        ENVIRONMENT "LANG=C;LC_ALL=C;QSG_RENDER_LOOP=${variant}" TIMEOUT 300)
endforeach()
add_dependencies(korvessa_asan_tests tst_showpoint_reparent tst_showpoint_gl)
