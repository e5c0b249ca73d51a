# Adds a test program by name: NAME.cpp (plus SOURCES) linked with LIBS.
#   korvath_add_test(function_table_test LIBS korvath_engine)
#   korvath_add_test(main_window_test QT LIBS korvath_gui)
# GoogleTest programs register each test case with CTest; Qt Test programs
# register as one test and run without a display.
function(korvath_add_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${name}.cpp ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} korvath_test_support)
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
