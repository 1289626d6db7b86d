# Compiles the help pages of data/help into the HTML Help file "Quillbrook.chm" that the Help button opens
# from the tool's folder on Windows. The compiler is chmcmd (Debian: fp-utils), which runs anywhere, so the
# CHM is built on Linux as well; where chmcmd is missing the help simply is not compiled.
#
#   include(HelpChm)
#   qb_add_help_chm(<target_name> <output_dir>)
#
# When chmcmd is found, adds the target <target_name> (part of ALL) that builds
# <output_dir>/Quillbrook.chm; a relative <output_dir> is taken from the current binary directory. The
# target's property QB_CHM_FILE holds the CHM's full path, for install() or for copying beside a program.
# Without chmcmd the function only says so and defines nothing, so callers test if(TARGET <target_name>).
include_guard(GLOBAL)

set(QB_HELP_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/../data/help")
set(QB_HELP_LOGO "${CMAKE_CURRENT_LIST_DIR}/../data/pictures/logo-large.jpg")
cmake_path(NORMAL_PATH QB_HELP_SOURCE_DIR)
cmake_path(NORMAL_PATH QB_HELP_LOGO)

find_program(QB_CHMCMD NAMES chmcmd DOC "Free Pascal's HTML Help compiler, for Quillbrook.chm")

function(qb_add_help_chm target_name output_dir)
  if(NOT QB_CHMCMD)
    message(STATUS "chmcmd not found: Quillbrook.chm will not be built (install fp-utils to build it)")
    return()
  endif()

  cmake_path(ABSOLUTE_PATH output_dir BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE
             OUTPUT_VARIABLE outputDir)
  set(chm "${outputDir}/Quillbrook.chm")
  set(stage "${CMAKE_CURRENT_BINARY_DIR}/${target_name}-pages")

  file(GLOB pages CONFIGURE_DEPENDS
       "${QB_HELP_SOURCE_DIR}/*.htm" "${QB_HELP_SOURCE_DIR}/*.css" "${QB_HELP_SOURCE_DIR}/*.jpg"
       "${QB_HELP_SOURCE_DIR}/*.png" "${QB_HELP_SOURCE_DIR}/*.gif" "${QB_HELP_SOURCE_DIR}/*.hhc"
       "${QB_HELP_SOURCE_DIR}/*.hhk" "${QB_HELP_SOURCE_DIR}/Quillbrook.hhp")
  # The pages show the logo from beside them; the one picture file lives with the other pictures.
  list(APPEND pages "${QB_HELP_LOGO}")

  # chmcmd reads the files it lists from beside the project file and writes the CHM into the current
  # folder; a missing file ends it with an exception and a non-zero status. So the project is compiled
  # in a fresh folder of its own holding everything it lists, and only a finished CHM is copied to its
  # place: a failed run never leaves a stale or half-written Quillbrook.chm there.
  add_custom_command(
    OUTPUT "${chm}"
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${stage}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${stage}" "${outputDir}"
    COMMAND "${CMAKE_COMMAND}" -E copy ${pages} "${stage}"
    COMMAND "${CMAKE_COMMAND}" -E chdir "${stage}" "${QB_CHMCMD}" Quillbrook.hhp
    COMMAND "${CMAKE_COMMAND}" -E copy "${stage}/Quillbrook.chm" "${chm}"
    WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
    DEPENDS ${pages}
    COMMENT "Compiling the help into ${chm}"
    VERBATIM)
  add_custom_target(${target_name} ALL DEPENDS "${chm}")
  set_target_properties(${target_name} PROPERTIES QB_CHM_FILE "${chm}")
endfunction()
