# A screen-saver game started with the preview switch "p" ends at once with 0, before
# the save folder is made; without "s" the settings box (headless: logged) ends it too.
set(root "${BINARY_DIR}/tmp/startup_screensaver_preview")
set(game "${root}/saver")
file(REMOVE_RECURSE "${root}")
file(MAKE_DIRECTORY "${game}")
file(WRITE "${game}/system.ini" "[SYSTEM]\nSAVEPATH=sv\n[WINDOW]\nSCREEN_SAVER=1\nSCREEN_SAVER_TITLE=Saver settings\n")

execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy "${KESTRIN}" "${game}" /p 1234
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kestrin /p exited with ${rc}:\n${err}")
endif()
if(EXISTS "${game}/sv" OR err MATCHES "Saver settings")
  message(FATAL_ERROR "kestrin /p went on past the screen-saver check:\n${err}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy "${KESTRIN}" "${game}" /c:77
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 0 OR NOT err MATCHES "Saver settings" OR EXISTS "${game}/sv")
  message(FATAL_ERROR "kestrin /c:77 should show the settings box and end (rc ${rc}):\n${err}")
endif()
file(REMOVE_RECURSE "${root}")
