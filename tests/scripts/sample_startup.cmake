# `kestrin sample` on a copy of the sample game runs through start-up and exits 0
# (ended by SIGTERM, the desktop's close request, should the game not end by itself).
set(root "${BINARY_DIR}/tmp/sample_startup")
file(REMOVE_RECURSE "${root}")
file(MAKE_DIRECTORY "${root}")
file(COPY "${SOURCE_DIR}/sample" DESTINATION "${root}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
                        "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
                        timeout --preserve-status -s TERM 2 "${KESTRIN}" sample
                WORKING_DIRECTORY "${root}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kestrin sample exited with ${rc}:\n${out}\n${err}")
endif()
if(NOT err MATCHES "game folder ${root}/sample")
  message(FATAL_ERROR "kestrin sample did not take the sample folder:\n${err}")
endif()
file(REMOVE_RECURSE "${root}")
