# One driver package under names with characters past ASCII, made at run time so that no
# checkout has to hold them. Each name is in UTF-8, as a POSIX file system holds it. The
# Windows ANSI functions give a name in code page 1252: the names whose characters all
# have a byte there are listed with those bytes and read; the others are listed with
# best-fit letters or "?" and lead to no file, so they give no record.
set(package
  "[Version]\r\nProvider=%Prov%\r\nDriverVer=06/21/2013,2.1.0.3\r\n"
  "[Manufacturer]\r\n%MfgName%=Models,NTamd64\r\n"
  "[Models]\r\n%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E\r\n"
  "[Strings]\r\nProv=\"Quellmark Mobile\"\r\nDeviceDesc=\"Quellmark USB Flash Device\"\r\n")
set(names
  "xz" "xZa" "x_"            # ASCII, for the order around them
  "x " "xé" "xÉ" "xŠ" "x“" "café" "euro€"
  "ef"                 # a byte code page 1252 leaves undefined: kept as it is
  "aĀb"                      # best fit: "aAb"
  "cd"                 # no byte in the page: "?"
  "iａj"                     # fullwidth letter, best fit: "iaj"
  "k😀l")                    # outside the basic plane: "??"
file(MAKE_DIRECTORY "${INF_DIR}")
foreach(name IN LISTS names)
  file(WRITE "${INF_DIR}/${name}.inf" ${package})
endforeach()
