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

# Every .exe runs on its own: no libgcc, libstdc++ or winpthread DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The few packages a cross build takes from the host: GoogleTest built from its Debian sources, and the
# header-only JSON and command-line libraries through a folder that holds only them.
set(GTest_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-packages" CACHE PATH "GoogleTest for the MinGW build")
set(nlohmann_json_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-packages" CACHE PATH "nlohmann-json for the MinGW build")
set(CLI11_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-packages" CACHE PATH "CLI11 for the MinGW build")

# -O2, as the Linux builds use: at -O3 GCC 12 warns falsely (-Wrestrict) inside libstdc++'s string code.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a Release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a Release build")
