# `kestrin <game folder>` with a system.ini naming a save folder: start-up creates it,
# reports it, and the program exits 0 (ended by SIGTERM should it not end by itself).
set(game "${BINARY_DIR}/tmp/startup_save_folder/My Game")
file(REMOVE_RECURSE "${BINARY_DIR}/tmp/startup_save_folder")
file(MAKE_DIRECTORY "${game}")
file(WRITE "${game}/system.ini" "[SYSTEM]\r\nSAVEPATH = savedata \r\n[WINDOW]\r\nWIDTH=640\r\nHEIGHT=480\r\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
                        "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
                        timeout --preserve-status -s TERM 2 "${KESTRIN}" "${game}" /fsr
                WORKING_DIRECTORY "${BINARY_DIR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kestrin exited with ${rc}:\n${out}\n${err}")
endif()
if(NOT IS_DIRECTORY "${game}/savedata")
  message(FATAL_ERROR "save folder was not created:\n${err}")
endif()
string(FIND "${err}" "save folder ${game}/savedata" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the log does not name the save folder:\n${err}")
endif()
file(REMOVE_RECURSE "${BINARY_DIR}/tmp/startup_save_folder")
