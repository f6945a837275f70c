# Both drive_c/windows and drive_c/Windows: Windows opens C:\windows as written, so only
# the first is scanned. The second is made at run time, and only where the file system
# tells the two spellings apart; E2E_OTHER_SPELLING hands it to the Wine prefix too.
set(other "${INF_DIR}/../../Windows")
file(WRITE "${other}/inf/oem2.inf"
  "[Version]\r\nProvider=%P%\r\nDriverVer=06/21/2013,2.1.0.3\r\n"
  "[Manufacturer]\r\n%MfgName%=Models\r\n"
  "[Models]\r\n%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E\r\n"
  "[Strings]\r\nP=\"the other spelling\"\r\nDeviceDesc=\"Quellmark USB Flash Device\"\r\n")
if(EXISTS "${INF_DIR}/oem2.inf")
  set(E2E_SKIP_REASON "the file system does not tell windows and Windows apart")
else()
  get_filename_component(E2E_OTHER_SPELLING "${other}" ABSOLUTE)
endif()
