# `kestrin sample` on a copy of the sample game takes the sample folder, and SIGTERM (the
# desktop's close request) sent as soon as start-up names the game folder, early in
# start-up, still ends the game through its leave path with status 0.
set(root "${BINARY_DIR}/tmp/sample_startup")
file(REMOVE_RECURSE "${root}")
file(MAKE_DIRECTORY "${root}")
file(COPY "${SOURCE_DIR}/sample" DESTINATION "${root}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
                        "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
                        bash "${SOURCE_DIR}/tests/scripts/signal-when-ready.sh" TERM "${root}/stderr.txt"
                        "game folder" "${KESTRIN}" sample
                WORKING_DIRECTORY "${root}"
                RESULT_VARIABLE rc ERROR_VARIABLE out TIMEOUT 300)
file(READ "${root}/stderr.txt" err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kestrin sample exited with ${rc}:\n${out}\n${err}")
endif()
if(NOT err MATCHES "game folder ${root}/sample")
  message(FATAL_ERROR "kestrin sample did not take the sample folder:\n${err}")
endif()
if(NOT EXISTS "${root}/sample/save/saveg.dat")
  message(FATAL_ERROR "kestrin sample ended without its leave path:\n${err}")
endif()
file(REMOVE_RECURSE "${root}")
