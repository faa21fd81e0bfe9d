# Writes the library's resource script and its identifier header into a C++
# source file as byte arrays, for the build that has no resource compiler. The
# bitmap files the script names are embedded too and handed to the Win32 layer
# when the library is loaded.
function(to_array file out_var)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()
to_array(${RC} rc_bytes)
to_array(${HEADER} header_bytes)
get_filename_component(rc_dir ${RC} DIRECTORY)
file(STRINGS ${RC} bitmap_lines REGEX "^[A-Za-z0-9_]+[ \t]+BITMAP[ \t]+\"[^\"]+\"")
set(files "")
set(registrations "")
set(index 0)
foreach(line IN LISTS bitmap_lines)
  string(REGEX REPLACE "^[A-Za-z0-9_]+[ \t]+BITMAP[ \t]+\"([^\"]+)\".*" "\\1" path "${line}")
  to_array(${rc_dir}/${path} file_bytes)
  file(SIZE ${rc_dir}/${path} file_size)
  string(APPEND files "const unsigned char file_${index}[] = {${file_bytes}};\n")
  string(APPEND registrations "    qvmr_register_resource_file(\"${path}\", file_${index}, ${file_size});\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUT} "// Generated from resources/qvmr7.rc, resources/resource.h and the bitmaps the script names.\n"
  "#include <cstddef>\n"
  "extern \"C\" void qvmr_register_resource_file(const char* path, const unsigned char* bytes, size_t size);\n"
  "extern const char qvmr7_resource_script[] = {${rc_bytes} 0};\n"
  "extern const char qvmr7_resource_header[] = {${header_bytes} 0};\n"
  "namespace {\n${files}"
  "struct RegisterFiles {\n  RegisterFiles() {\n${registrations}  }\n} register_files;\n}  // namespace\n")
