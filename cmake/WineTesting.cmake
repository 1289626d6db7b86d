# Cross-built Windows tests run under Wine: CTest and gtest_discover_tests start every test program
# through cmake/wine-run, headless, in a Wine prefix inside the build folder (made on first use), so
# that runs never touch the developer's own ~/.wine and a fresh build folder means a fresh machine.
if(NOT (CMAKE_CROSSCOMPILING AND WIN32))
  return()
endif()
set(QB_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine-prefix" CACHE PATH "The Wine prefix the Windows tests run in")
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(QB_WINE wine)
  if(NOT QB_WINE)
    message(WARNING "Wine is missing: the Windows tests are built but cannot run (install wine64)")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/cmake/wine-run;${QB_WINE_PREFIX}")
endif()
set(QB_WINE_RUN "${PROJECT_SOURCE_DIR}/cmake/wine-run" "${QB_WINE_PREFIX}")
