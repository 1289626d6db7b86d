# Every Windows program of ours carries an application manifest and version information, the shipped ones
# the tool's icon too, and links the MinGW runtime statically unless it uses Qt's DLLs. The command line and the tests carry
# cmake/windows/quillbrook.manifest: UTF-8 as the ANSI code page, the Windows versions it knows, no
# elevation or virtualisation. The desktop tool carries cmake/windows/quillbrook-gui.manifest, the same
# plus elevation where the user can have it and per-monitor DPI awareness.
set(QB_WINDOWS_MANIFEST "${CMAKE_CURRENT_LIST_DIR}/windows/quillbrook.manifest")
set(QB_WINDOWS_GUI_MANIFEST "${CMAKE_CURRENT_LIST_DIR}/windows/quillbrook-gui.manifest")
set(QB_WINDOWS_VERSION_RC "${CMAKE_CURRENT_LIST_DIR}/windows/version.rc.in")
set(QB_WINDOWS_ICON_PICTURE "${CMAKE_CURRENT_LIST_DIR}/../data/pictures/icon.png")
cmake_path(NORMAL_PATH QB_WINDOWS_ICON_PICTURE)

if(WIN32 AND NOT MSVC)
  # A program of ours runs on its own, no libgcc, libstdc++ or winpthread DLL beside it; one that links
  # Qt (target property QB_SHARED_RUNTIME) shares the runtime DLLs Qt's own DLLs use instead, so that one
  # C++ runtime serves both sides of every call (exceptions, allocations, threads).
  add_link_options(
    "$<$<AND:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>,$<NOT:$<BOOL:$<TARGET_PROPERTY:QB_SHARED_RUNTIME>>>>:-static;-static-libgcc;-static-libstdc++>")
endif()

# The programs' icon, quillbrook.ico in the build folder (its path in out_var): made at build time by
# ImageMagick (Debian's imagemagick) from the picture tools/make_pictures.cpp draws, in every size Windows
# shows, from the 16 pixels of a title bar and the Start menu to Explorer's 256.
#   qb_windows_icon(<out_var> [TARGET <target>])   TARGET: a target that needs the file made first
function(qb_windows_icon out_var)
  cmake_parse_arguments(ARG "" "TARGET" "" ${ARGN})
  set(ico "${CMAKE_BINARY_DIR}/windows-icon/quillbrook.ico")
  if(NOT TARGET qb_windows_icon)
    find_program(QB_IMAGEMAGICK NAMES convert-im6.q16 convert magick
                 DOC "ImageMagick's convert, which makes the Windows programs' icon")
    if(NOT QB_IMAGEMAGICK)
      message(FATAL_ERROR "ImageMagick is missing: the Windows programs' icon cannot be made (install imagemagick)")
    endif()
    add_custom_command(
      OUTPUT "${ico}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/windows-icon"
      COMMAND "${QB_IMAGEMAGICK}" "${QB_WINDOWS_ICON_PICTURE}" -define icon:auto-resize=256,64,48,32,24,16 "${ico}"
      DEPENDS "${QB_WINDOWS_ICON_PICTURE}"
      COMMENT "Making the Windows icon"
      VERBATIM)
    add_custom_target(qb_windows_icon DEPENDS "${ico}")
  endif()
  if(ARG_TARGET)
    add_dependencies(${ARG_TARGET} qb_windows_icon)
  endif()
  set(${out_var} "${ico}" PARENT_SCOPE)
endfunction()

# Embeds the manifest and the version information in an executable target; does nothing off Windows.
#   qb_windows_manifest(<target> [MANIFEST <file>] [DESCRIPTION <text>] [ICON])
# The version is the CMake project's; the description is what Explorer shows as the file's description
# (default: the target's name). ICON gives the program the tool's icon, for the programs we ship.
function(qb_windows_manifest target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "ICON" "MANIFEST;DESCRIPTION" "" ${ARGN})
  if(NOT ARG_MANIFEST)
    set(ARG_MANIFEST "${QB_WINDOWS_MANIFEST}")
  endif()
  if(NOT ARG_DESCRIPTION)
    set(ARG_DESCRIPTION "${target}")
  endif()
  if(MSVC)
    target_link_options(${target} PRIVATE "/MANIFEST:EMBED" "/MANIFESTINPUT:${ARG_MANIFEST}")
    return()
  endif()
  if(NOT CMAKE_RC_COMPILER)
    find_program(CMAKE_RC_COMPILER NAMES windres REQUIRED)
  endif()
  # A resource script (the manifest is resource 1 of type RT_MANIFEST, 24; then VERSIONINFO; and the icon,
  # named IDI_ICON1: Explorer shows a program's first icon, and Qt gives its windows the one of that name),
  # compiled by windres into an object the linker takes like any other.
  set(QB_RC_MANIFEST "${ARG_MANIFEST}")
  set(QB_RC_ICON "")
  set(icon "")
  if(ARG_ICON)
    qb_windows_icon(icon TARGET ${target})
    string(REPLACE "\"" "\"\"" quotedIcon "${icon}")
    set(QB_RC_ICON "IDI_ICON1 ICON \"${quotedIcon}\"")
  endif()
  set(QB_RC_DESCRIPTION "${ARG_DESCRIPTION}")
  set(QB_RC_FILE_NAME "${target}.exe")
  set(QB_RC_VERSION_TEXT "${PROJECT_VERSION}")
  set(QB_RC_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  if(NOT PROJECT_VERSION_MINOR)
    set(QB_RC_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},0,0,0")
  elseif(NOT PROJECT_VERSION_PATCH)
    set(QB_RC_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
  endif()
  foreach(var QB_RC_MANIFEST QB_RC_DESCRIPTION QB_RC_FILE_NAME)
    string(REPLACE "\"" "\"\"" ${var} "${${var}}") # a quotation mark inside an RC string is doubled
  endforeach()
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc")
  set(object "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.o")
  configure_file("${QB_WINDOWS_VERSION_RC}" "${rc}" @ONLY)
  add_custom_command(
    OUTPUT "${object}"
    COMMAND "${CMAKE_RC_COMPILER}" -O coff -i "${rc}" -o "${object}"
    DEPENDS "${rc}" "${ARG_MANIFEST}" ${icon}
    COMMENT "Embedding the manifest and version information in ${target}"
    VERBATIM)
  set_source_files_properties("${object}" PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE "${object}")
endfunction()
