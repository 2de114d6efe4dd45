# With SDL's dummy video driver the sample game runs the same paced loop headless, and
# SIGINT or SIGTERM close it through the normal leave path with status 0.
find_program(TIMEOUT timeout)
if(NOT TIMEOUT)
  message("headless_sample: skipped (timeout is not installed)")
  return()
endif()
set(work ${BINARY_DIR}/headless_sample)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${SOURCE_DIR}/sample DESTINATION ${work})
foreach(signal INT TERM)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
            "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
            ${TIMEOUT} --preserve-status -s ${signal} 1 ${KESTRIN} ${work}/sample
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output
    TIMEOUT 30)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "headless_sample: SIG${signal} gave status ${result}\n${output}")
  endif()
endforeach()
message("headless_sample: closed cleanly on SIGINT and SIGTERM")
