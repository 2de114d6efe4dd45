# SIGTERM to a game whose "unison" tag downloads from a trickling server on 127.0.0.1:
# the sync gives way, the game leaves with its autosave and exits with status 0.
set(work "${BINARY_DIR}/tmp/unison_close_signal")
execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
                        "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
                        bash "${SOURCE_DIR}/tests/network/unison-close-signal.sh" "${KESTRIN}" "${work}" "${SOURCE_DIR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
message(STATUS "${out}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "unison_close_signal failed (${rc}):\n${out}\n${err}")
endif()
file(REMOVE_RECURSE "${work}")
