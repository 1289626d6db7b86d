include(WindowsManifest)

# Every target of ours gets the same warning set; third-party headers come in as SYSTEM includes.
function(qb_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  # GCC 12's optimiser warns about overlapping copies inside std::string's own operator+ (GCC bug 105329),
  # in optimised builds only, where no copy of ours overlaps anything.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
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

# Every CTest test carries one label, so that a run can pick its share (ctest -L, the quick test preset):
#   quick      the unit tests; the whole set runs in under a minute (ctest --preset quick)
#   gui        the real windows on Qt's offscreen platform, and the GUI program's own start
#   hardening  crash safety, concurrency and hostile input, with real processes and many rounds
#   wine       the Windows programs, run under Wine
#   slow       single tests that take tens of seconds or more, wherever they live
# The default is quick for a native test program and wine for a cross-built one.
function(qb_default_test_label out)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(${out} wine PARENT_SCOPE)
  else()
    set(${out} quick PARENT_SCOPE)
  endif()
endfunction()

# Registers the tests of a GoogleTest program with its label. SLOW names tests (gtest filter patterns,
# Suite.Name or Suite.*) that are labelled slow instead.
#   qb_discover_tests(target [LABEL label] [SLOW pattern...] [DISCOVERY_TIMEOUT s] [PROPERTIES ...])
function(qb_discover_tests target)
  cmake_parse_arguments(ARG "" "LABEL;DISCOVERY_TIMEOUT" "SLOW;PROPERTIES" ${ARGN})
  if(NOT ARG_LABEL)
    qb_default_test_label(ARG_LABEL)
  endif()
  if(NOT ARG_DISCOVERY_TIMEOUT)
    set(ARG_DISCOVERY_TIMEOUT 60)
  endif()
  if(NOT ARG_SLOW)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT ${ARG_DISCOVERY_TIMEOUT}
      PROPERTIES LABELS ${ARG_LABEL} ${ARG_PROPERTIES})
    return()
  endif()
  list(JOIN ARG_SLOW ":" slowFilter)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT ${ARG_DISCOVERY_TIMEOUT} TEST_FILTER "-${slowFilter}"
    PROPERTIES LABELS ${ARG_LABEL} ${ARG_PROPERTIES})
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT ${ARG_DISCOVERY_TIMEOUT} TEST_FILTER "${slowFilter}"
    PROPERTIES LABELS slow ${ARG_PROPERTIES})
endfunction()

# A GoogleTest program of one module; every test is registered with CTest under the program's label
# (qb_discover_tests above).
#   qb_test(name SOURCES ... DEPENDS ... [LABEL label] [SLOW pattern...] [PROPERTIES ...])
function(qb_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPENDS;PROPERTIES;SLOW" ${ARGN})
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
  qb_discover_tests(${name} LABEL "${ARG_LABEL}" SLOW ${ARG_SLOW} PROPERTIES ${ARG_PROPERTIES})
endfunction()
