# Shared by the tests that run the game under a virtual X server (tests/scripts/*_xvfb.cmake).
# Leak checks are off there: the X libraries SDL loads and unloads keep allocations that
# cannot be told apart; the unit tests and the headless runs keep them on.
find_program(XVFB_RUN xvfb-run)

# The lines that end a test's shell script once the game ($pid) was asked to end: its status
# becomes the script's, with its log shown.
set(KESTRIN_XVFB_FINISH [=[
status=0
wait $pid || status=$?
echo "exit status $status"
cat "$WORK/kestrin.log"
exit $status
]=])

# Runs the shell script under xvfb-run with KESTRIN set and the given VAR=value pairs; a status
# other than 0 fails the test.
function(kestrin_run_under_xvfb name script timeout)
  if(NOT XVFB_RUN)
    message(FATAL_ERROR "${name}: xvfb-run is needed (tools/setup.sh installs it)")
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "LSAN_OPTIONS=detect_leaks=0" KESTRIN=${KESTRIN} ${ARGN}
            ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" sh -c "${script}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output
    TIMEOUT ${timeout})
  message("${output}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name}: failed (${result})")
  endif()
endfunction()
