# ebook_add_test(NAME [QT_MAIN] SOURCES file... LIBS lib... [LABELS label...] [TIMEOUT seconds])
# One GoogleTest executable, built only with BUILD_TESTING, each test registered with CTest.
# QT_MAIN: the suite needs a Qt application (widgets, the engine); it gets the one shared entry
# that makes it (browserhost/tests/QtTestMain.cpp) instead of GoogleTest's own, and moc.
if(BUILD_TESTING)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(ebook_add_test name)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "QT_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_QT_MAIN)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${T_LIBS} qt_test_main GTest::gtest Threads::Threads)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  endif()
  ebook_warnings(${name})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
endfunction()
