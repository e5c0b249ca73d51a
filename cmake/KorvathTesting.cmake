# Adds a test program by name: NAME.cpp (plus SOURCES) linked with LIBS.
#   korvath_add_test(function_table_test LIBS korvath_engine)
#   korvath_add_test(main_window_test QT LIBS korvath_gui LABELS slow)
#   korvath_add_test(call_tree_test LIBS korvath_engine SLOW_CASES Suite.Case)
# GoogleTest programs register each test case with CTest; Qt Test programs
# register as one test and run without a display. Every test is labelled
# with its layer, the first folder under tests/ (ctest -L engine), plus
# LABELS (slow: takes seconds; ctest -LE slow leaves those out). SLOW_CASES
# labels single GoogleTest cases slow.
function(korvath_add_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;LABELS;SLOW_CASES" ${ARGN})
  add_executable(${name} ${name}.cpp ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} korvath_test_support)
  file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}")
  string(REGEX REPLACE "/.*" "" layer "${folder}")
  set(labels ${layer} ${ARG_LABELS})
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                                            LABELS "${labels}")
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_cases)
    # Labels go on the cases once they are discovered: CTest reads this
    # after the discovery's own script, which names them in ${name}_cases.
    # (PROPERTIES of gtest_discover_tests would split a list of labels.)
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
    file(WRITE "${script}" "foreach(test_case IN LISTS ${name}_cases)\n"
         "  set_tests_properties(\"\${test_case}\" PROPERTIES LABELS \"${labels}\")\n"
         "endforeach()\n")
    list(APPEND labels slow)
    foreach(test_case IN LISTS ARG_SLOW_CASES)
      file(APPEND "${script}" "set_tests_properties([==[${test_case}]==] PROPERTIES LABELS \"${labels}\")\n")
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
  endif()
endfunction()
