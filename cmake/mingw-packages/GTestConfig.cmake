# GoogleTest for a cross build: Debian's googletest package ships the sources in /usr/src/googletest,
# built here for the target like any other code. The targets are those of GoogleTest's own package.
if(TARGET GTest::gtest)
  return()
endif()
set(QB_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS "${QB_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
  set(GTest_FOUND FALSE)
  set(GTest_NOT_FOUND_MESSAGE "No GoogleTest sources in ${QB_GOOGLETEST_SOURCE_DIR} (install googletest)")
  return()
endif()
# MinGW's GoogleTest runs single-threaded; its pthread support does not build there.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory("${QB_GOOGLETEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest's own build names its targets GTest::... too, from version 1.11 on.
foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
set(GTest_FOUND TRUE)
