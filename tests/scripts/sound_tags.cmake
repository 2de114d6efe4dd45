# Runs the sound-tag game (tests/data/harness/sound) through the harness and compares the
# "r." variables that its cases leave with expected.txt, and the trace with the lines of
# expected_trace.txt. The sounds are made here with sox.
include(${CMAKE_CURRENT_LIST_DIR}/HarnessChecks.cmake)
set(source ${SOURCE_DIR}/tests/data/harness/sound)
set(out ${BINARY_DIR}/tmp/sound_tags)
set(game ${out}/game)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
file(COPY ${source}/ DESTINATION ${game})

function(make_sound name)
  run_sox(ignored -R -D -r 44100 -n -c 2 -b 16 -t wavpcm ${game}/${name}.wav synth ${ARGN})
endfunction()
make_sound(tone 1 sine 1000 vol 0.5)
make_sound(short 0.1 sine 1000 vol 0.5)
make_sound(bgm_a 0.5 sine 441 vol 0.5)
make_sound(bgm_b 1 sine 441 vol 0.5)

run_harness(game ${game} --frames 600 --trace ${out}/trace.txt --dump-vars ${out}/vars.txt
            --audio-out ${out}/out.wav)

set(failed "")
check_result_variables(${out}/vars.txt ${source}/expected.txt)
check_trace_lines(${out}/trace.txt ${source}/expected_trace.txt)
if(failed)
  message(FATAL_ERROR "sound tags differ:${failed}")
endif()
