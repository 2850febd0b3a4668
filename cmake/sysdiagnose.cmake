# host_library(NAME DIR DEPS...): a shared library of the host made of every source in DIR,
# installed in the private library directory.
function(host_library name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/${dir}/*.cpp)
  if(NOT srcs)  # a library whose sources have not been written yet
    set(srcs ${CMAKE_BINARY_DIR}/empty_${name}.cpp)
    file(WRITE ${srcs} "")
  endif()
  add_library(${name} SHARED ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/host)
  target_link_libraries(${name} PUBLIC ${ARGN} Threads::Threads)
  install(TARGETS ${name} LIBRARY DESTINATION ${SYSDIAGNOSE_LIBDIR})
endfunction()

# sysdiagnose_test(DIR): one GoogleTest executable for every test source in tests/DIR.
function(sysdiagnose_test dir)
  string(REPLACE "/" "_" name "test_${dir}")
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*_test.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE plugin_core test_support GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "SYSDIAGNOSE_APP_DIR=${CMAKE_BINARY_DIR}/bin;SYSDIAGNOSE_DATA_DIR=${CMAKE_BINARY_DIR}/testdata/${name};SYSDIAGNOSE_MACHINE=${CMAKE_SOURCE_DIR}/resources/machines/empty.json"
    TIMEOUT 300)
  add_dependencies(${name} resources)
endfunction()
