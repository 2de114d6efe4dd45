# Runs the Lua test games through the headless harness and compares their Lua trace
# lines (host "debug" output and "[Lua]" errors) with tests/data/lua/<game>/expected.txt.
# Then the program itself runs a game whose Lua allocates for ever, and gets SIGTERM once
# the call has started: the call stops at once, and the game leaves with status 0.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(failed "")
foreach(game handlers syntax memory runaway)
  set(dir ${SOURCE_DIR}/tests/data/lua/${game})
  set(out ${BINARY_DIR}/tmp/lua_${game})
  file(REMOVE_RECURSE ${out})
  file(MAKE_DIRECTORY ${out})
  set(input "")
  if(EXISTS ${dir}/input.txt)
    set(input --input ${dir}/input.txt)
  endif()
  execute_process(
    COMMAND ${harness} ${dir} --frames 120 ${input} --trace ${out}/trace.txt
    RESULT_VARIABLE status
    ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kestrin-harness failed on ${game} (${status}):\n${errors}")
  endif()
  # Brackets and semicolons would confuse CMake's lists: masked while splitting lines.
  file(READ ${out}/trace.txt text)
  string(REPLACE "[" "<LB>" text "${text}")
  string(REPLACE "]" "<RB>" text "${text}")
  string(REPLACE ";" "<SC>" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(actual "")
  foreach(line IN LISTS lines)
    if(line MATCHES "<LB>Lua<RB>" OR line MATCHES "^ *Lua: ")
      string(REGEX REPLACE "^ +" "" line "${line}")
      string(APPEND actual "${line}\n")
    endif()
  endforeach()
  string(REPLACE "<LB>" "[" actual "${actual}")
  string(REPLACE "<RB>" "]" actual "${actual}")
  string(REPLACE "<SC>" ";" actual "${actual}")
  file(READ ${dir}/expected.txt wanted)
  if(NOT actual STREQUAL wanted)
    file(WRITE ${out}/actual.txt "${actual}")
    string(APPEND failed "\n--- ${game}: expected ${dir}/expected.txt, got ${out}/actual.txt:\n${actual}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "Lua game output differs:${failed}")
endif()

set(game ${BINARY_DIR}/tmp/lua_closing)
file(REMOVE_RECURSE ${game})
file(COPY ${SOURCE_DIR}/tests/data/lua/closing/ DESTINATION ${game})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KESTRIN_LOG_WINDOW=0
          "LSAN_OPTIONS=suppressions=${SOURCE_DIR}/tests/scripts/lsan.supp:print_suppressions=0"
          bash ${SOURCE_DIR}/tests/scripts/signal-when-ready.sh TERM ${game}/stderr.txt "Lua: growing" ${KESTRIN} ${game}
  RESULT_VARIABLE status
  ERROR_VARIABLE output
  TIMEOUT 300)
file(READ ${game}/stderr.txt log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lua_games: SIGTERM during a Lua call gave status ${status}\n${output}\n${log}")
endif()
# Stopped by the request, not by the run limit (five seconds) or the memory cap.
if(NOT log MATCHES "main.iet\\([0-9]+\\): \\[Lua\\] 終了が要求されたため、中断しました。")
  message(FATAL_ERROR "lua_games: the Lua call was not stopped by SIGTERM\n${log}")
endif()
if(NOT EXISTS ${game}/save/saveg.dat)
  message(FATAL_ERROR "lua_games: SIGTERM ended the game without its leave path\n${log}")
endif()
