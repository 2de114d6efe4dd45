# Whole programs, headless: `kestrin --help` prints the usage with status 0; a folder without
# a game ends with status 1 and a line that says what is missing; kestrin-harness refuses a
# window far larger than the desktop as the program does (status 1) instead of aborting.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(work ${BINARY_DIR}/tmp/startup_failures)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/empty ${work}/tall)
file(WRITE ${work}/tall/system.ini "[WINDOW]\nWIDTH=640\nHEIGHT=99999999\n")
file(WRITE ${work}/tall/main.iet "[stop]\n")

function(expect what status wanted output pattern)
  if(NOT status EQUAL wanted OR NOT output MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: status ${status} (wanted ${wanted}), output:\n${output}")
  endif()
endfunction()

execute_process(COMMAND ${KESTRIN} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
expect("kestrin --help" "${rc}" 0 "${out}" "^usage: kestrin \\[GAME\\]")

execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy ${KESTRIN} ${work}/empty
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
expect("kestrin on an empty folder" "${rc}" 1 "${err}"
       "Kestrin: cannot start: no system.ini and no boot script \"main.iet\" in the game folder ${work}/empty\n")

execute_process(COMMAND ${harness} ${work}/tall --frames 10 RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 300)
expect("kestrin-harness on HEIGHT=99999999" "${rc}" 1 "${err}" "kestrin-harness: start-up failed")
file(REMOVE_RECURSE ${work})
