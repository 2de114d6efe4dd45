# The "ime" tag through the harness, in a UTF-8 and a Shift_JIS copy of one game: Enter in the
# field's first second is swallowed, typed text and a committed composition reach the
# variable (a backspace after a cursor move takes one whole character), text typed into the
# message layer loses a whole character to a backspace, and a dialog's answer lands in its
# variable. The screen with an open composition is compared with the reviewed golden image
# (each byte within 2); when it changes, look at tmp/text_field/composition.png first.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(pngdiff ${BINARY_DIR}/tools/kestrin-pngdiff)
set(game ${SOURCE_DIR}/tests/data/harness/textfield)
set(out ${BINARY_DIR}/tmp/text_field)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out}/sjis)
# The script is ASCII: the same file serves a Shift_JIS game.
file(COPY ${game}/main.iet DESTINATION ${out}/sjis)
file(WRITE ${out}/sjis/system.ini "[WINDOW]\nWIDTH=320\nHEIGHT=240\n")

foreach(run utf8 sjis)
  if(run STREQUAL "utf8")
    set(folder ${game})
  else()
    set(folder ${out}/sjis)
  endif()
  execute_process(
    COMMAND ${harness} ${folder} --frames 100 --input ${game}/input.txt --dump-vars ${out}/${run}.txt
            --screenshot 13:${out}/${run}.png
    RESULT_VARIABLE status
    ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kestrin-harness failed on the ${run} game (${status}):\n${errors}")
  endif()
  file(READ ${out}/${run}.txt vars)
  foreach(line "first=Kestrゲム\n" "name=Kestrゲム\n" "word=abc日\n" "again=1\n")
    string(FIND "${vars}" "${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the ${run} game's variables lack \"${line}\":\n${vars}")
    endif()
  endforeach()
  execute_process(
    COMMAND ${pngdiff} ${game}/composition.png ${out}/${run}.png 2
    RESULT_VARIABLE differs
    OUTPUT_VARIABLE report
    ERROR_VARIABLE report)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "the ${run} game's text field differs from ${game}/composition.png: ${report}")
  endif()
endforeach()
