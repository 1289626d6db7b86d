# Cross-builds the Windows programs with MinGW-w64 from Debian (g++-mingw-w64-x86-64-posix).
# The POSIX thread model is the one to use: the win32 model has no std::mutex, and GoogleTest does not
# build with it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QB_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QB_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only, never from the host's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${QB_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs link the MinGW runtime statically (cmake/WindowsManifest.cmake), except those that link Qt's
# DLLs: they share Qt's runtime DLLs, so that one C++ runtime serves both sides.

# Qt for Windows, as scripts/build-qt-windows leaves it in the cache folder, or wherever
# QB_QT_WINDOWS_PREFIX names. With it the desktop tool is built too; without it only the command line.
# Qt's moc, rcc and uic come from the host's Qt of the same version.
set(QB_QT_WINDOWS_PREFIX "" CACHE PATH "Qt built for Windows (default: the one scripts/build-qt-windows made)")
set(qbQtPrefix "${QB_QT_WINDOWS_PREFIX}")
if(NOT qbQtPrefix)
  if(DEFINED ENV{QB_QT_WINDOWS_CACHE})
    set(qbQtCache "$ENV{QB_QT_WINDOWS_CACHE}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(qbQtCache "$ENV{XDG_CACHE_HOME}/quillbrook")
  else()
    set(qbQtCache "$ENV{HOME}/.cache/quillbrook")
  endif()
  # Only a finished build counts; of several, the newest Qt version.
  file(GLOB qbQtStamps "${qbQtCache}/qt-*-mingw-w64-gcc*-posix/quillbrook-build.done")
  list(SORT qbQtStamps COMPARE NATURAL ORDER DESCENDING)
  if(qbQtStamps)
    list(GET qbQtStamps 0 qbQtStamp)
    get_filename_component(qbQtPrefix "${qbQtStamp}" DIRECTORY)
  endif()
endif()
if(qbQtPrefix)
  set(QB_QT_WINDOWS_FOUND_PREFIX "${qbQtPrefix}")
  # What Qt's own qt.toolchain.cmake does on top of the MinGW toolchain.
  list(PREPEND CMAKE_FIND_ROOT_PATH "${qbQtPrefix}")
  list(PREPEND CMAKE_PREFIX_PATH "${qbQtPrefix}/lib/cmake")
  set(QT_HOST_PATH "/usr" CACHE PATH "The host's Qt, whose tools serve the cross build")
  set(QT_HOST_PATH_CMAKE_DIR "/usr/lib/x86_64-linux-gnu/cmake" CACHE PATH "The host Qt's CMake packages")
endif()

# The few packages a cross build takes from the host: GoogleTest built from its Debian sources, and the
# header-only JSON and command-line libraries through a folder that holds only them.
set(GTest_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-packages" CACHE PATH "GoogleTest for the MinGW build")
set(nlohmann_json_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-packages" CACHE PATH "nlohmann-json for the MinGW build")
set(CLI11_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-packages" CACHE PATH "CLI11 for the MinGW build")

# -O2, as the Linux builds use: at -O3 GCC 12 warns falsely (-Wrestrict) inside libstdc++'s string code.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a Release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a Release build")
