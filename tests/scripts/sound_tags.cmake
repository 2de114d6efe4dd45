# Runs the sound-tag game (tests/data/harness/sound) through the harness and compares the
# "r." variables that its cases leave with expected.txt, and the trace with the lines of
# expected_trace.txt. The sounds are made here with sox.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(source ${SOURCE_DIR}/tests/data/harness/sound)
set(out ${BINARY_DIR}/tmp/sound_tags)
set(game ${out}/game)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
file(COPY ${source}/ DESTINATION ${game})

function(make_sound name)
  execute_process(COMMAND sox -R -D -r 44100 -n -c 2 -b 16 -t wavpcm ${game}/${name}.wav synth ${ARGN}
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "sox could not make ${name}.wav: ${errors}")
  endif()
endfunction()
make_sound(tone 1 sine 1000 vol 0.5)
make_sound(short 0.1 sine 1000 vol 0.5)
make_sound(bgm_a 0.5 sine 441 vol 0.5)
make_sound(bgm_b 1 sine 441 vol 0.5)

execute_process(
  COMMAND ${harness} ${game} --frames 600 --trace ${out}/trace.txt --dump-vars ${out}/vars.txt
          --audio-out ${out}/out.wav
  RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kestrin-harness failed (${status}):\n${errors}")
endif()

set(failed "")
file(STRINGS ${out}/vars.txt results REGEX "^r\\.")
string(REPLACE ";" "\n" actual "${results}")
string(APPEND actual "\n")
file(READ ${source}/expected.txt wanted)
if(NOT actual STREQUAL wanted)
  file(WRITE ${out}/actual.txt "${actual}")
  execute_process(COMMAND diff ${source}/expected.txt ${out}/actual.txt OUTPUT_VARIABLE difference)
  string(APPEND failed "\n--- variables: expected ${source}/expected.txt, got ${out}/actual.txt:\n${difference}")
endif()

file(READ ${out}/trace.txt traced)
file(STRINGS ${source}/expected_trace.txt lines ENCODING UTF-8)
foreach(line IN LISTS lines)
  string(FIND "${traced}" "${line}\n" at)
  if(at EQUAL -1)
    string(APPEND failed "\n--- the trace lacks: ${line}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "sound tags differ:${failed}")
endif()
