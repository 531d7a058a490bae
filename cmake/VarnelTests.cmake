# varnel_add_test_suite(NAME SOURCES ... LIBS ...): one GoogleTest executable per
# source folder, every test registered with CTest.
function(varnel_add_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Listing the tests is quick; the limit is for a busy machine's sanitizer build.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 300
    PROPERTIES ENVIRONMENT "VARNEL_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# varnel_test_sources(VAR FOLDER...): the *_test.cpp files of the given
# folders (relative to the calling CMakeLists.txt), one room each.
function(varnel_test_sources var)
  set(sources)
  foreach(folder ${ARGN})
    file(GLOB folder_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
    list(APPEND sources ${folder_sources})
  endforeach()
  set(${var} ${sources} PARENT_SCOPE)
endfunction()
