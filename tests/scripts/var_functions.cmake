# Runs the var-function game (tests/data/harness/varfunctions, made by tools/gen_var_cases.py)
# through the harness with a fixed wall clock and time zone, and compares the "r." variables
# and the refusal trace lines with the expectations taken from outside references.
include(${CMAKE_CURRENT_LIST_DIR}/HarnessChecks.cmake)
set(source ${SOURCE_DIR}/tests/data/harness/varfunctions)
set(out ${BINARY_DIR}/tmp/var_functions)
set(game ${out}/game)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
file(COPY ${source}/ DESTINATION ${game})

# What the generator leaves to the run (tools/gen_var_cases.py: BIG_PATTERN, BIG_REPEAT).
string(REPEAT "0123456789abcdef" 163840 big)
file(WRITE ${game}/files/big.bin "${big}")
file(WRITE ${game}/files/delete_me.txt "delete me")
file(MAKE_DIRECTORY ${game}/files/emptydir)
file(WRITE ${out}/outside.txt "outside")

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "TZ=EST5EDT,M3.2.0,M11.1.0"
          ${harness} ${game} --frames 5 --unix-time 1720000000
          --trace ${out}/trace.txt --dump-vars ${out}/vars.txt
  RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kestrin-harness failed (${status}):\n${errors}")
endif()

set(failed "")
check_result_variables(${out}/vars.txt ${source}/expected.txt)
check_trace_lines(${out}/trace.txt ${source}/expected_trace.txt)

if(EXISTS ${game}/files/delete_me.txt OR NOT EXISTS ${game}/files/hello.txt)
  string(APPEND failed "\n--- the file tag did not delete files/delete_me.txt, or deleted files/hello.txt")
endif()
if(NOT EXISTS ${game}/files/emptydir OR NOT EXISTS ${out}/outside.txt)
  string(APPEND failed "\n--- the file tag deleted a folder or a file outside the game folder")
endif()
if(failed)
  message(FATAL_ERROR "var functions differ:${failed}")
endif()
