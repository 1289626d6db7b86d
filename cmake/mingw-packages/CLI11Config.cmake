include("${CMAKE_CURRENT_LIST_DIR}/HeaderOnly.cmake")
qb_header_only_package(CLI11::CLI11 CLI CLI.hpp libcli11-dev)
set(CLI11_FOUND TRUE)
