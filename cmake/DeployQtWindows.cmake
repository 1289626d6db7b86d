# Copies beside a Windows program the DLLs it loads from Qt's prefix and from the MinGW runtime, and the
# Qt plugins it needs (into platforms/, styles/ as Qt looks for them beside the program), with the DLLs
# those load in turn. System DLLs (kernel32, user32, ...) are left alone.
#   cmake -DPROGRAM=prog.exe -DQT_PREFIX=dir -DPLUGINS="platforms/qwindows.dll;..." -DOBJDUMP=objdump
#         -DCOMPILER=x86_64-w64-mingw32-g++-posix -P DeployQtWindows.cmake
get_filename_component(destination "${PROGRAM}" DIRECTORY)

set(pending "${PROGRAM}")
foreach(plugin IN LISTS PLUGINS)
  get_filename_component(subdir "${plugin}" DIRECTORY)
  file(MAKE_DIRECTORY "${destination}/${subdir}")
  file(COPY_FILE "${QT_PREFIX}/plugins/${plugin}" "${destination}/${plugin}" ONLY_IF_DIFFERENT)
  list(APPEND pending "${destination}/${plugin}")
endforeach()

# Where a DLL of the given name comes from, or "" for one of the system's.
function(locate name out_var)
  set(${out_var} "" PARENT_SCOPE)
  if(EXISTS "${QT_PREFIX}/bin/${name}")
    set(${out_var} "${QT_PREFIX}/bin/${name}" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND "${COMPILER}" "-print-file-name=${name}" OUTPUT_VARIABLE found
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${found}" AND EXISTS "${found}")
    set(${out_var} "${found}" PARENT_SCOPE)
    return()
  endif()
  # The POSIX thread library lives in the sysroot, not among the compiler's own files.
  foreach(dir /usr/x86_64-w64-mingw32/lib /usr/x86_64-w64-mingw32/bin)
    if(EXISTS "${dir}/${name}")
      set(${out_var} "${dir}/${name}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

set(seen "")
while(pending)
  list(POP_FRONT pending binary)
  execute_process(COMMAND "${OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  foreach(line IN LISTS imports)
    string(REPLACE "DLL Name: " "" name "${line}")
    string(TOLOWER "${name}" key)
    if(key IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${key}")
    locate("${name}" source)
    if(source)
      file(COPY_FILE "${source}" "${destination}/${name}" ONLY_IF_DIFFERENT)
      list(APPEND pending "${source}")
    endif()
  endforeach()
endwhile()
