# Puts together what the Windows installer and the portable zip hold, then makes both:
#   cmake -DSTAGE=dir -DPACKAGE_DIR=dir -DVERSION=x.y.z -DGUI=quillbrook.exe -DCLI=quillbrook-cli.exe
#         -DDATA="file;..." -DLICENSE=file -DNSI=quillbrook.nsi -DMAKENSIS=makensis -DQT_PREFIX=dir
#         -DPLUGINS="platforms/qwindows.dll;..." -DOBJDUMP=objdump -DSTRIP=strip -DCOMPILER=g++
#         -DDEPLOY=DeployQtWindows.cmake -DICON=quillbrook.ico -DPICTURE=icon.png -DIMAGEMAGICK=convert
#         -DRUNNING_MUTEX=name -P StageWindowsPackage.cmake
# The stage is made afresh each time, so that nothing from an older build ends up in the package.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}" "${PACKAGE_DIR}")
file(COPY "${GUI}" "${CLI}" ${DATA} DESTINATION "${STAGE}")
# The licence with Windows line ends: the installer's licence page and Notepad show it as written.
file(READ "${LICENSE}" licenseText)
string(REPLACE "\r\n" "\n" licenseText "${licenseText}")
string(REPLACE "\n" "\r\n" licenseText "${licenseText}")
file(WRITE "${STAGE}/LICENSE.txt" "${licenseText}")
# The DLLs and plugins the two programs load, found as for the build tree.
foreach(program "${STAGE}/quillbrook.exe" "${STAGE}/quillbrook-cli.exe")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DPROGRAM=${program}" "-DQT_PREFIX=${QT_PREFIX}" "-DPLUGINS=${PLUGINS}"
            "-DOBJDUMP=${OBJDUMP}" "-DCOMPILER=${COMPILER}" -P "${DEPLOY}"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Collecting the DLLs of ${program} failed")
  endif()
endforeach()

# Qt's DLLs and MinGW's runtime come with their debugging sections (libstdc++ alone is over 20 MB of
# them), and the programs with their symbol tables, which no user's machine needs. Only the staged copies are stripped: the build tree and Qt's cache
# keep theirs for debugging.
file(GLOB_RECURSE binaries "${STAGE}/*.dll" "${STAGE}/*.exe")
foreach(binary IN LISTS binaries)
  execute_process(COMMAND "${STRIP}" --strip-unneeded "${binary}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${STRIP} failed on ${binary}")
  endif()
endforeach()

# The installer's file lists: every staged file installed, and deleted again by the uninstaller, folders
# deepest first (RMDir only removes an empty folder); and the programs and DLLs, which a running program
# holds open, to be checked before anything is touched.
file(GLOB_RECURSE files RELATIVE "${STAGE}" "${STAGE}/*")
list(SORT files)
set(install "")
set(uninstall "")
set(inUse "")
set(folders "")
set(sizeBytes 0)
foreach(f IN LISTS files)
  get_filename_component(dir "${f}" DIRECTORY)
  string(REPLACE "/" "\\" winFile "${f}")
  string(REPLACE "/" "\\" winDir "${dir}")
  if(dir)
    string(APPEND install "SetOutPath \"$INSTDIR\\${winDir}\"\n")
    list(APPEND folders "${winDir}")
  else()
    string(APPEND install "SetOutPath \"$INSTDIR\"\n")
  endif()
  string(APPEND install "File \"${STAGE}/${f}\"\n")
  string(APPEND uninstall "Delete \"$INSTDIR\\${winFile}\"\n")
  if(f MATCHES "\\.(exe|dll)$")
    string(APPEND inUse "!insertmacro QB_IN_USE \"${winFile}\"\n")
  endif()
  file(SIZE "${STAGE}/${f}" size)
  math(EXPR sizeBytes "${sizeBytes} + ${size}")
endforeach()
string(APPEND install "SetOutPath \"$INSTDIR\"\n")
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
foreach(dir IN LISTS folders)
  string(APPEND uninstall "RMDir \"$INSTDIR\\${dir}\"\n")
endforeach()
math(EXPR sizeKb "(${sizeBytes} + 1023) / 1024")
set(nsisDir "${PACKAGE_DIR}/nsis")
file(MAKE_DIRECTORY "${nsisDir}")
file(WRITE "${nsisDir}/files.nsh" "${install}")
file(WRITE "${nsisDir}/uninstall.nsh" "${uninstall}")
file(WRITE "${nsisDir}/in_use.nsh" "${inUse}")

# The finish page's picture: the icon on white, where NSIS would show its own.
set(sidePicture "${nsisDir}/side.bmp")
execute_process(
  COMMAND "${IMAGEMAGICK}" -size 164x314 xc:white "(" "${PICTURE}" -resize 128x128 ")" -gravity north
          -geometry +0+40 -composite -type TrueColor "BMP3:${sidePicture}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Making the installer's picture failed")
endif()

set(setup "${PACKAGE_DIR}/Quillbrook-${VERSION}-setup.exe")
set(zip "${PACKAGE_DIR}/Quillbrook-${VERSION}-win64.zip")
file(REMOVE "${setup}" "${zip}")
execute_process(
  COMMAND "${MAKENSIS}" -V2 -NOCD "-DVERSION=${VERSION}" "-DSTAGE=${STAGE}" "-DOUTFILE=${setup}"
          "-DLICENSE=${STAGE}/LICENSE.txt" "-DSIZE_KB=${sizeKb}" "-DICON=${ICON}" "-DSIDE_PICTURE=${sidePicture}"
          "-DRUNNING_MUTEX=${RUNNING_MUTEX}" "-X!addincludedir ${nsisDir}" "${NSI}"
  WORKING_DIRECTORY "${nsisDir}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS "${setup}")
  message(FATAL_ERROR "makensis failed")
endif()

# The zip unpacks into one folder named like it, ready to run from there.
set(zipRoot "${PACKAGE_DIR}/zip/Quillbrook-${VERSION}")
file(REMOVE_RECURSE "${PACKAGE_DIR}/zip")
file(MAKE_DIRECTORY "${zipRoot}")
file(COPY "${STAGE}/" DESTINATION "${zipRoot}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip "Quillbrook-${VERSION}"
  WORKING_DIRECTORY "${PACKAGE_DIR}/zip"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Making ${zip} failed")
endif()
file(REMOVE_RECURSE "${PACKAGE_DIR}/zip")
message(STATUS "Made ${setup} and ${zip}")
