include("${CMAKE_CURRENT_LIST_DIR}/HeaderOnly.cmake")
qb_header_only_package(nlohmann_json::nlohmann_json nlohmann json.hpp nlohmann-json3-dev)
set(nlohmann_json_FOUND TRUE)
