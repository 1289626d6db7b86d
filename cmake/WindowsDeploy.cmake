# Puts beside a Windows program of ours what it needs at run time, in the build tree, so that it runs from
# there (under Wine here) exactly as it will from its installed folder:
#   qb_windows_deploy_qt(<target>)    Qt's DLLs, the platform and style plugins, the MinGW runtime DLLs
#   qb_windows_deploy_data(<target>)  the data files the desktop tool reads from its own folder
# scripts/package-windows takes the same files from beside quillbrook.exe.
# Included from several folders: everything here is set in the including folder's scope.
include(HelpChm)

set(QB_DEPLOY_QT_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/DeployQtWindows.cmake")
set(QB_DATA_DIR "${CMAKE_CURRENT_LIST_DIR}/../data")
cmake_path(NORMAL_PATH QB_DATA_DIR)

# The plugins a Qt Widgets program of ours loads in the build tree: the windows platform (the desktop),
# offscreen (the tests, without a display), and the native Windows style. The package leaves offscreen out:
# no user needs it.
set(QB_QT_PLUGINS platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll)
set(QB_QT_SHIPPED_PLUGINS platforms/qwindows.dll styles/qwindowsvistastyle.dll)

function(qb_windows_deploy_qt target)
  if(NOT (WIN32 AND TARGET Qt6::Core))
    return()
  endif()
  set_target_properties(${target} PROPERTIES QB_SHARED_RUNTIME ON)
  get_target_property(qtCore Qt6::Core IMPORTED_LOCATION_RELEASE)
  if(NOT qtCore)
    get_target_property(qtCore Qt6::Core LOCATION)
  endif()
  get_filename_component(qtBin "${qtCore}" DIRECTORY)
  get_filename_component(qtPrefix "${qtBin}" DIRECTORY)
  find_program(QB_MINGW_OBJDUMP NAMES ${QB_MINGW_TRIPLE}-objdump objdump REQUIRED)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_COMMAND}" "-DPROGRAM=$<TARGET_FILE:${target}>" "-DQT_PREFIX=${qtPrefix}"
            "-DPLUGINS=${QB_QT_PLUGINS}" "-DOBJDUMP=${QB_MINGW_OBJDUMP}" "-DCOMPILER=${CMAKE_CXX_COMPILER}"
            -P "${QB_DEPLOY_QT_SCRIPT}"
    COMMENT "Putting Qt's and MinGW's DLLs beside ${target}"
    VERBATIM)
endfunction()

function(qb_windows_deploy_data target)
  if(NOT WIN32)
    return()
  endif()
  set(files "")
  foreach(name st.dat sn.dat fn.dat sp.dat infotpl.dat mess.htm)
    list(APPEND files "${QB_DATA_DIR}/${name}")
  endforeach()
  if(NOT TARGET quillbrook_help_windows)
    qb_add_help_chm(quillbrook_help_windows "${CMAKE_BINARY_DIR}/shipped/help")
  endif()
  if(TARGET quillbrook_help_windows)
    get_target_property(chm quillbrook_help_windows QB_CHM_FILE)
    list(APPEND files "${chm}")
    add_dependencies(${target} quillbrook_help_windows)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different ${files} "$<TARGET_FILE_DIR:${target}>"
    COMMENT "Putting the data files beside ${target}"
    VERBATIM)
endfunction()

# The installer and the portable zip under <build>/package/ (scripts/package-windows), made with every
# build once makensis (Debian's nsis) is there: the two programs, their DLLs and plugins (stripped of their
# debugging sections), the data files and the licence; the installer in the programs' icon.
function(qb_windows_package)
  if(NOT (WIN32 AND TARGET quillbrook AND TARGET quillbrook-cli))
    return()
  endif()
  find_program(QB_MAKENSIS makensis DOC "NSIS, which makes the Windows installer")
  if(NOT QB_MAKENSIS)
    message(STATUS "makensis not found: no Windows installer (install nsis)")
    return()
  endif()
  get_target_property(qtCore Qt6::Core IMPORTED_LOCATION_RELEASE)
  if(NOT qtCore)
    get_target_property(qtCore Qt6::Core LOCATION)
  endif()
  get_filename_component(qtBin "${qtCore}" DIRECTORY)
  get_filename_component(qtPrefix "${qtBin}" DIRECTORY)
  set(data "")
  foreach(name st.dat sn.dat fn.dat sp.dat infotpl.dat mess.htm)
    list(APPEND data "${QB_DATA_DIR}/${name}")
  endforeach()
  set(depends quillbrook quillbrook-cli)
  if(TARGET quillbrook_help_windows)
    get_target_property(chm quillbrook_help_windows QB_CHM_FILE)
    list(APPEND data "${chm}")
    list(APPEND depends quillbrook_help_windows)
  endif()
  set(packageDir "${CMAKE_BINARY_DIR}/package")
  set(setup "${packageDir}/Quillbrook-${PROJECT_VERSION}-setup.exe")
  set(zip "${packageDir}/Quillbrook-${PROJECT_VERSION}-win64.zip")
  set(nsi "${PROJECT_SOURCE_DIR}/packaging/windows/quillbrook.nsi")
  set(license "${PROJECT_SOURCE_DIR}/LICENSE")
  qb_windows_icon(icon)
  add_custom_command(
    OUTPUT "${setup}" "${zip}"
    COMMAND "${CMAKE_COMMAND}" "-DSTAGE=${packageDir}/stage" "-DPACKAGE_DIR=${packageDir}"
            "-DVERSION=${PROJECT_VERSION}" "-DGUI=$<TARGET_FILE:quillbrook>" "-DCLI=$<TARGET_FILE:quillbrook-cli>"
            "-DDATA=${data}" "-DLICENSE=${license}" "-DNSI=${nsi}" "-DMAKENSIS=${QB_MAKENSIS}"
            "-DQT_PREFIX=${qtPrefix}" "-DPLUGINS=${QB_QT_SHIPPED_PLUGINS}" "-DOBJDUMP=${QB_MINGW_OBJDUMP}"
            "-DSTRIP=${CMAKE_STRIP}" "-DCOMPILER=${CMAKE_CXX_COMPILER}" "-DDEPLOY=${QB_DEPLOY_QT_SCRIPT}"
            "-DICON=${icon}" "-DPICTURE=${QB_WINDOWS_ICON_PICTURE}" "-DIMAGEMAGICK=${QB_IMAGEMAGICK}"
            "-DRUNNING_MUTEX=${QB_RUNNING_MUTEX}"
            -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/StageWindowsPackage.cmake"
    DEPENDS ${depends} ${data} "${license}" "${nsi}" "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/StageWindowsPackage.cmake"
            "${QB_DEPLOY_QT_SCRIPT}" "${icon}" "${QB_WINDOWS_ICON_PICTURE}"
    COMMENT "Making the Windows installer and zip"
    VERBATIM)
  add_custom_target(qb_windows_package ALL DEPENDS "${setup}" "${zip}")
  set(QB_WINDOWS_SETUP "${setup}" PARENT_SCOPE)
endfunction()
