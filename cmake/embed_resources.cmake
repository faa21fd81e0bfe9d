# Writes the library's resource script and its identifier header into a C++
# source file as byte arrays, for the build that has no resource compiler.
function(to_array file out_var)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()
to_array(${RC} rc_bytes)
to_array(${HEADER} header_bytes)
file(WRITE ${OUT} "// Generated from resources/qvmr7.rc and resources/resource.h.\n"
  "extern const char qvmr7_resource_script[] = {${rc_bytes} 0};\n"
  "extern const char qvmr7_resource_header[] = {${header_bytes} 0};\n")
