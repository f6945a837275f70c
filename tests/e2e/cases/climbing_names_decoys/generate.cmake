# The climbing names again, now with a package where each leads, and a name with a colon
# (a stream or drive to Windows): none of them may be read. Windows under Wine reads
# them; the native build must not, so this case runs natively only.
include("${CASE_DIR}/../climbing_names/generate.cmake")
write_package("${INF_DIR}/a:b.inf" "read through a colon")
write_package("${INF_DIR}/../../decoy.inf" "outside: drive_c/decoy.inf")
write_package("${INF_DIR}/../decoy.inf" "outside: drive_c/windows/decoy.inf")
write_package("${INF_DIR}/c/d.inf" "outside: the folder c")
