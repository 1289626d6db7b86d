# Writes a C++ source that holds files as byte arrays, so that the programs carry their data with them.
# Called as: cmake -DOUTPUT=out.cpp -DBASE=dir -DFILES="a;b" -DEXTRA="name=/full/path;..." -DFUNCTION=Name
#            -DNAMESPACE=ns -P EmbedFiles.cmake
# EXTRA names files from elsewhere (built ones) under the name they get among the others.
# Files that start with "#!" are marked executable: in the sandbox they are the host's programs.
set(body "")
set(table "")
set(index 0)
set(entries "")
foreach(relative IN LISTS FILES)
  list(APPEND entries "${relative}=${BASE}/${relative}")
endforeach()
list(APPEND entries ${EXTRA})
foreach(entry IN LISTS entries)
  string(FIND "${entry}" "=" cut)
  string(SUBSTRING "${entry}" 0 ${cut} relative)
  math(EXPR start "${cut} + 1")
  string(SUBSTRING "${entry}" ${start} -1 source)
  file(READ "${source}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const unsigned char file${index}[] = {${bytes}0x00};\n")
  if(hex MATCHES "^2321")
    set(executable true)
  else()
    set(executable false)
  endif()
  string(APPEND table "    {\"${relative}\", {reinterpret_cast<const char*>(file${index}), ${size}}, ${executable}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Generated at build time from the files it names; do not edit.
#include \"platform/sandbox/embedded_files.h\"

namespace ${NAMESPACE} {
namespace {
${body}
const EmbeddedFile kFiles[] = {
${table}};
} // namespace

std::span<const EmbeddedFile> ${FUNCTION}() { return kFiles; }
} // namespace ${NAMESPACE}
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
