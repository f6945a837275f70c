# Runs the detector once over one fixture case and compares its standard output with the
# case's expected bytes.
#
#   cmake -DPROGRAM=<executable> -DCASE_DIR=<fixture folder> -DWORK_DIR=<scratch folder>
#         -DCOMPARE_OUTPUT=<compare_output> [-DWINE=<wine> -DWINE_ENV=<wine_env>
#         -DWINE_PREFIX=<prefix>] [-DPREFIX_IN_HOME=ON | -DPREFIX_RELATIVE=ON]
#         [-DCORPUS_DIR=<folder>] [-DNO_INF_FOLDER=ON] [-DTHROUGH_PIPE=ON] -P run_case.cmake
#
# A fixture folder holds:
#   drive_c/        the case's drive C: (its Windows directory, or whatever stands there)
#   expected.out    the exact bytes of standard output
#   stdin           standard input (optional; one empty line, "\r\n", when absent)
#   generate.cmake  adds what is better made at run time than committed (optional); it
#                   sees INF_DIR, STDIN_FILE, CASE_DIR, WORK_DIR and CORPUS_DIR, may
#                   change STDIN_FILE, sets E2E_SKIP_REASON to skip the case, and sets
#                   E2E_OTHER_SPELLING to a staged drive_c/Windows that the Wine prefix
#                   is to hold beside its drive_c/windows during the run.
#
# The case's drive C: is staged under WORK_DIR first, so generated files never land in the
# source tree. Natively, WINEPREFIX points at the staged tree (or, with PREFIX_IN_HOME,
# HOME does and WINEPREFIX is unset, so ~/.wine is used; with PREFIX_RELATIVE, WINEPREFIX
# is a path relative to the starting directory, which the run leaves). Under Wine, the
# staged INF folder replaces the INF folder of the shared prefix, and wine_env gives the
# run the tests' one Wine environment.
#
# Standard output is a file; with THROUGH_PIPE the case runs once more with its output a
# pipe, and both must get the same bytes.
#
# The exit status must be 0 when the expected output reports a package, 1 when it reports
# none, and 2 for cases marked NO_INF_FOLDER, which have no INF folder to scan.
#
# The program runs in a scratch current directory that holds a matching package of its
# own: a run that works in its starting directory instead of the INF directory shows it.

cmake_minimum_required(VERSION 3.20)

foreach(required PROGRAM CASE_DIR WORK_DIR COMPARE_OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "run_case.cmake needs -D${required}=...")
  endif()
endforeach()

# The package left in the current directory as a decoy.
set(DECOY_INF
  "[Version]\r\nProvider=%P%\r\nDriverVer=01/01/2000,0.0.0.1\r\n"
  "[Manufacturer]\r\n%MfgName%=Models\r\n"
  "[Models]\r\n%DeviceDesc%=Install, USB\\VID_0BDB&PID_100E\r\n"
  "[Strings]\r\nP=\"decoy in the current directory\"\r\nDeviceDesc=\"decoy\"\r\n")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/cwd")
file(WRITE "${WORK_DIR}/cwd/decoy.inf" ${DECOY_INF})

if(PREFIX_IN_HOME)
  set(staging "${WORK_DIR}/home/.wine")
else()
  set(staging "${WORK_DIR}/prefix")
endif()
file(MAKE_DIRECTORY "${staging}")
if(EXISTS "${CASE_DIR}/drive_c")
  file(COPY "${CASE_DIR}/drive_c" DESTINATION "${staging}")
endif()
set(INF_DIR "${staging}/drive_c/windows/inf")

if(EXISTS "${CASE_DIR}/stdin")
  set(STDIN_FILE "${CASE_DIR}/stdin")
else()
  set(STDIN_FILE "${WORK_DIR}/stdin")
  file(WRITE "${STDIN_FILE}" "\r\n")
endif()

if(EXISTS "${CASE_DIR}/generate.cmake")
  include("${CASE_DIR}/generate.cmake")
endif()
if(DEFINED E2E_SKIP_REASON)
  # Matched by the test's SKIP_REGULAR_EXPRESSION.
  message("e2e-skip: ${E2E_SKIP_REASON}")
  return()
endif()

# The environment is set here rather than through `cmake -E env`, which would turn a
# crash into a plain exit status.
set(command "${PROGRAM}")
if(DEFINED WINE)
  # The staged INF folder (or none) replaces the shared prefix's.
  file(REMOVE_RECURSE "${WINE_PREFIX}/drive_c/windows/inf")
  if(EXISTS "${INF_DIR}")
    file(COPY "${INF_DIR}" DESTINATION "${WINE_PREFIX}/drive_c/windows")
  endif()
  if(DEFINED E2E_OTHER_SPELLING)
    file(COPY "${E2E_OTHER_SPELLING}" DESTINATION "${WINE_PREFIX}/drive_c")
  endif()
  set(command "${WINE_ENV}" "${WINE_PREFIX}" "${WINE}" "${PROGRAM}")
elseif(PREFIX_IN_HOME)
  unset(ENV{WINEPREFIX})
  set(ENV{HOME} "${WORK_DIR}/home")
elseif(PREFIX_RELATIVE)
  set(ENV{WINEPREFIX} "../prefix")
else()
  set(ENV{WINEPREFIX} "${staging}")
endif()

# Checks one run's exit status, standard error (<output_file>.stderr) and output bytes.
function(check_run result output_file)
  if(NOT result MATCHES "^-?[0-9]+$")
    message(FATAL_ERROR "the program did not exit normally: ${result}")
  endif()
  file(READ "${CASE_DIR}/expected.out" expected_text)
  string(FIND "${expected_text}" "\nfound 0 drivers" none_found)
  if(NO_INF_FOLDER)
    set(expected_status 2)
  elseif(NOT none_found EQUAL -1)
    set(expected_status 1)
  else()
    set(expected_status 0)
  endif()
  if(NOT result EQUAL expected_status)
    message(FATAL_ERROR "exit status ${result}, expected ${expected_status}")
  endif()
  # Standard error holds one line when there was no INF folder, naming where it was looked
  # for, and nothing otherwise. Wine may write there too, so its runs look for the line.
  file(READ "${output_file}.stderr" error_text)  # for messages; a text read drops CR
  file(READ "${output_file}.stderr" error_hex HEX)
  set(expected_error "")
  if(NO_INF_FOLDER AND DEFINED WINE)
    set(expected_error "usb-flash-detect: could not list the INF folder C:\\windows\\inf\r\n")
  elseif(NO_INF_FOLDER)
    set(expected_error "usb-flash-detect: could not list the INF folder ${staging}/drive_c/windows/inf")
    if(PREFIX_IN_HOME)
      string(APPEND expected_error " (WINEPREFIX is not set)")
    endif()
    string(APPEND expected_error "\r\n")
  endif()
  string(HEX "${expected_error}" expected_hex)
  if(DEFINED WINE)
    string(FIND "${error_hex}" "${expected_hex}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "standard error lacks \"${expected_error}\":\n${error_text}")
    endif()
  elseif(NOT error_hex STREQUAL expected_hex)
    message(FATAL_ERROR "standard error is not \"${expected_error}\" but:\n${error_text}")
  endif()
  execute_process(COMMAND "${COMPARE_OUTPUT}" "${CASE_DIR}/expected.out" "${output_file}"
    RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    message(FATAL_ERROR "standard output is not the expected bytes")
  endif()
endfunction()

# Runs the program with its standard output a file, or a pipe into one (output_name
# "pipe"), into the file WORK_DIR/<output_name>; sets <output_name>_result to its status.
function(run_program output_name)
  set(pipe "")
  if(output_name STREQUAL "pipe")
    set(pipe COMMAND cat)
  endif()
  execute_process(
    COMMAND ${command} ${pipe}
    WORKING_DIRECTORY "${WORK_DIR}/cwd"
    INPUT_FILE "${STDIN_FILE}"
    OUTPUT_FILE "${WORK_DIR}/${output_name}"
    ERROR_FILE "${WORK_DIR}/${output_name}.stderr"
    RESULTS_VARIABLE results
    TIMEOUT 120)
  list(GET results 0 result)
  set(${output_name}_result "${result}" PARENT_SCOPE)
endfunction()

set(outputs stdout)
if(THROUGH_PIPE)
  list(APPEND outputs pipe)
endif()
foreach(output IN LISTS outputs)
  run_program(${output})
endforeach()

if(DEFINED WINE AND DEFINED E2E_OTHER_SPELLING)
  file(REMOVE_RECURSE "${WINE_PREFIX}/drive_c/Windows")
endif()

foreach(output IN LISTS outputs)
  check_run("${${output}_result}" "${WORK_DIR}/${output}")
endforeach()
