# A line of 1 MiB at the prompt, then more input that is left unread.
string(REPEAT "x" 1048576 long_line)
set(STDIN_FILE "${WORK_DIR}/stdin")
file(WRITE "${STDIN_FILE}" "${long_line}\r\nsecond line\r\n")
