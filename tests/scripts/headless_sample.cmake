# With SDL's dummy video driver the sample game runs the same paced loop headless, and
# SIGINT or SIGTERM close it through the normal leave path (which writes the global save
# data) with status 0. The signal is sent once start-up has reported the save folder,
# whatever the speed of the machine.
set(work ${BINARY_DIR}/headless_sample)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${SOURCE_DIR}/sample DESTINATION ${work})
foreach(signal INT TERM)
  file(REMOVE ${work}/sample/save/saveg.dat)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
            "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
            bash ${SOURCE_DIR}/tests/scripts/signal-when-ready.sh ${signal} ${work}/stderr.txt
            "save folder ${work}/sample/save" ${KESTRIN} ${work}/sample
    RESULT_VARIABLE result
    ERROR_VARIABLE output
    TIMEOUT 300)
  file(READ ${work}/stderr.txt log)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "headless_sample: SIG${signal} gave status ${result}\n${output}\n${log}")
  endif()
  if(NOT EXISTS ${work}/sample/save/saveg.dat)
    message(FATAL_ERROR "headless_sample: SIG${signal} ended the game without its leave path\n${log}")
  endif()
endforeach()
message("headless_sample: closed cleanly on SIGINT and SIGTERM")
