# Every Windows program of ours carries the same application manifest (cmake/windows/quillbrook.manifest):
# UTF-8 as its ANSI code page, the Windows versions it knows, and no elevation or virtualisation.
set(QB_WINDOWS_MANIFEST "${CMAKE_CURRENT_LIST_DIR}/windows/quillbrook.manifest")

# Embeds the manifest in an executable target; does nothing off Windows.
function(qb_windows_manifest target)
  if(NOT WIN32)
    return()
  endif()
  if(MSVC)
    target_link_options(${target} PRIVATE "/MANIFEST:EMBED" "/MANIFESTINPUT:${QB_WINDOWS_MANIFEST}")
    return()
  endif()
  if(NOT CMAKE_RC_COMPILER)
    find_program(CMAKE_RC_COMPILER NAMES windres REQUIRED)
  endif()
  # A resource script of one line (resource 1 of type RT_MANIFEST, 24), compiled by windres into an
  # object the linker takes like any other.
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc")
  set(object "${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.o")
  file(CONFIGURE OUTPUT "${rc}" CONTENT "1 24 \"${QB_WINDOWS_MANIFEST}\"\n")
  add_custom_command(
    OUTPUT "${object}"
    COMMAND "${CMAKE_RC_COMPILER}" -O coff -i "${rc}" -o "${object}"
    DEPENDS "${rc}" "${QB_WINDOWS_MANIFEST}"
    COMMENT "Embedding the application manifest in ${target}"
    VERBATIM)
  set_source_files_properties("${object}" PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE "${object}")
endfunction()
