# GoogleTest from the system's sources, built with the project's own compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# What every test program links: the helpers, a main that refuses to run
# without the UTF-8 code page, and (on Windows) the programs' manifest.
function(tidewell_test_program name)
  target_link_libraries(${name} PRIVATE tests_support tests_main)
  if(WIN32)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/TestProgram.rc)
  endif()
endfunction()

# One CTest entry per test program; under Wine each start costs time.
function(tidewell_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tidewell_test_program(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(WIN32)
    target_precompile_headers(${name} REUSE_FROM tests_support)
  endif()
  add_dependencies(${name} delivered_database)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
