# Host names a POSIX file system holds but Windows cannot, made at run time (a checkout on
# Windows could not hold them). Read as Windows reads a path, each leads out of the INF
# folder: "..\..\decoy.inf" to C:\decoy.inf, "..\decoy.inf" to C:\windows\decoy.inf,
# "c\d.inf" into a folder c. Each holds a matching package and nothing stands where they
# lead, so the one record on either build is the INF folder's own package.
function(write_package path provider)
  file(WRITE "${path}"
    "[Version]\r\nProvider=%P%\r\nDriverVer=06/21/2013,2.1.0.3\r\n"
    "[Manufacturer]\r\n%MfgName%=Models\r\n"
    "[Models]\r\n%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E\r\n"
    "[Strings]\r\nP=\"${provider}\"\r\nDeviceDesc=\"Quellmark USB Flash Device\"\r\n")
endfunction()

write_package("${INF_DIR}/oem1.inf" "in the INF folder")
foreach(name "..\\..\\decoy.inf" "..\\decoy.inf" "c\\d.inf")
  write_package("${INF_DIR}/${name}" "read through a name that leaves the folder")
endforeach()
