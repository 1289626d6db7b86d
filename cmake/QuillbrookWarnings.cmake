include(WindowsManifest)

# Every target of ours gets the same warning set; third-party headers come in as SYSTEM includes.
function(qb_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(QB_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A library of one module folder. Usage: qb_module(name SOURCES ... DEPENDS ...)
function(qb_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE ${ARG_PRIVATE_DEPENDS})
  qb_target_warnings(${name})
endfunction()

# A GoogleTest program of one module; every test is registered with CTest.
function(qb_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set(dataDir "${PROJECT_SOURCE_DIR}/tests/data")
  if(WIN32 AND CMAKE_CROSSCOMPILING AND NOT dataDir MATCHES "^[A-Za-z]:")
    set(dataDir "Z:${dataDir}") # Wine shows the host's root as drive Z:
  endif()
  target_compile_definitions(${name} PRIVATE QB_TEST_DATA_DIR="${dataDir}")
  qb_target_warnings(${name})
  qb_windows_manifest(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${ARG_PROPERTIES})
endfunction()
