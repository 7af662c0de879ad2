korvessa_add_test(tst_languageset SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_languageset.cpp LABEL unit)
target_compile_definitions(tst_languageset PRIVATE
    KORVESSA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KORVESSA_LUPDATE="$<TARGET_FILE:Qt6::lupdate>")
