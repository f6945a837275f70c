# Names whose listing Windows decides by its own rules, made at run time (a checkout on
# Windows could not hold most of them). Each holds a package that names its own file, so
# the record shows which file a listed name opened:
# - short names that end in .INF (the long name does not match *.inf);
# - names whose path would open a namesake, which are not listed, so that the namesake is
#   reported once: trailing dots and blanks, which a Windows path drops ("k.inf." would
#   open K.INF), and letters the ANSI page lacks ("<A with macron>.inf" would open A.inf);
# - letters that best-fit to ASCII, which the pattern does not match ("y.<dotless i>nf");
# - NTFS order: UTF-16 upper-cased, case variants in ordinal order;
# - device names, listed but never read.
function(write_package name)
  file(WRITE "${INF_DIR}/${name}"
    "[Version]\r\nProvider=%P%\r\nDriverVer=06/21/2013,2.1.0.3\r\n"
    "[Manufacturer]\r\n%MfgName%=Models\r\n"
    "[Models]\r\n%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E\r\n"
    "[Strings]\r\nP=\"${name}\"\r\nDeviceDesc=\"Quellmark USB Flash Device\"\r\n")
endfunction()

set(names
  "b.infx" "e.infoo" "i.INFO" "j.inf_" "f.inf~"
  "k.inf." "k.inf " "K.INF" "Ā.inf" "A.inf"
  "y.ınf" "y.İNF" "x.ｉnf" "y.inf"
  "xé.inf" "xØ.inf" "x_.inf" "AB.inf" "Ab.inf" "aB.inf" "ab.inf"
  "nul .inf" "con .inf" "aux  .inf" "com1 .inf" "conin$.inf" "conout$.inf" "com0.inf")
file(MAKE_DIRECTORY "${INF_DIR}")
# Each file gets a time of its own: Wine's profile reader keeps recent files by their path
# without regard to case and their time, so case variants written in the same instant
# would be answered from the first one's contents.
set(time 1600000000)
foreach(name IN LISTS names)
  write_package("${name}")
  math(EXPR time "${time} + 60")
  execute_process(COMMAND touch -d "@${time}" "${INF_DIR}/${name}")
endforeach()
write_package("r.inf;1")  # one argument: a list would split it at the ";"
# A file system that merges case variants or drops trailing dots has overwritten these.
file(READ "${INF_DIR}/AB.inf" first_variant)
file(READ "${INF_DIR}/K.INF" stripped_name)
if(NOT first_variant MATCHES "P=\"AB.inf\"" OR NOT stripped_name MATCHES "P=\"K.INF\"")
  set(E2E_SKIP_REASON "the file system merges names that differ in case or trailing dots")
endif()
