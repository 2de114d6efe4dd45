# `kestrin <game folder>` with a system.ini naming a save folder: start-up creates it,
# reports it, and SIGTERM sent once it is reported ends the program with status 0.
set(game "${BINARY_DIR}/tmp/startup_save_folder/My Game")
file(REMOVE_RECURSE "${BINARY_DIR}/tmp/startup_save_folder")
file(MAKE_DIRECTORY "${game}")
file(WRITE "${game}/system.ini" "[SYSTEM]\r\nSAVEPATH = savedata \r\n[WINDOW]\r\nWIDTH=640\r\nHEIGHT=480\r\n")
# A game that waits: without a boot script the start fails (status 1).
file(WRITE "${game}/main.iet" "[stop]\n")
set(log "${BINARY_DIR}/tmp/startup_save_folder/stderr.txt")
execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
                        "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
                        bash "${SOURCE_DIR}/tests/scripts/signal-when-ready.sh" TERM "${log}"
                        "save folder ${game}/savedata" "${KESTRIN}" "${game}" /fsr
                WORKING_DIRECTORY "${BINARY_DIR}"
                RESULT_VARIABLE rc ERROR_VARIABLE out TIMEOUT 300)
file(READ "${log}" err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kestrin exited with ${rc}:\n${out}\n${err}")
endif()
if(NOT IS_DIRECTORY "${game}/savedata")
  message(FATAL_ERROR "save folder was not created:\n${err}")
endif()
file(REMOVE_RECURSE "${BINARY_DIR}/tmp/startup_save_folder")
