# Names this long are made at run time: a checkout on Windows could not hold them.
# "C:\windows\inf\" is 15 bytes, so a 244-byte name gives the longest path that fits
# 259 bytes; the two others do not fit and must be skipped, not cut. The 248-byte name,
# cut to 259 bytes of path, would read as the 244-byte one.
string(REPEAT "n" 240 stem)
foreach(name "${stem}.inf" "${stem}.inf.inf" "${stem}n.inf")
  configure_file("${CASE_DIR}/template.inf" "${INF_DIR}/${name}" COPYONLY)
endforeach()
