# The header-only libraries reach a cross build through one folder in the build tree that holds only
# them, linked from the host's Debian packages: never the host's whole /usr/include, whose C library
# headers would shadow MinGW's.
set(QB_HOST_INCLUDE_DIR "/usr/include" CACHE PATH "Where the host's header-only libraries are")
set(QB_HEADER_ONLY_DIR "${CMAKE_BINARY_DIR}/header-only")

# Links <host include>/<folder> into the folder and makes an imported target that uses it.
function(qb_header_only_package target folder header package)
  if(TARGET ${target})
    return()
  endif()
  if(NOT EXISTS "${QB_HOST_INCLUDE_DIR}/${folder}/${header}")
    message(FATAL_ERROR "${QB_HOST_INCLUDE_DIR}/${folder}/${header} is missing (install ${package})")
  endif()
  file(MAKE_DIRECTORY "${QB_HEADER_ONLY_DIR}")
  file(CREATE_LINK "${QB_HOST_INCLUDE_DIR}/${folder}" "${QB_HEADER_ONLY_DIR}/${folder}" SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${QB_HEADER_ONLY_DIR}"
                                             INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${QB_HEADER_ONLY_DIR}")
endfunction()
