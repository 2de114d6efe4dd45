# What the whole-game tests share: running the harness, sox, and comparing what a game left
# (its "r." variables, its trace) with the files beside it. Included by the test scripts,
# which set BINARY_DIR and SOURCE_DIR and collect differences in `failed`.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)

# Runs kestrin-harness with the arguments after label; a failed run ends the test.
function(run_harness label)
  execute_process(COMMAND ${harness} ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kestrin-harness failed on ${label} (${status}):\n${errors}")
  endif()
endfunction()

# Runs sox with the arguments; its printed text goes to result.
function(run_sox result)
  execute_process(COMMAND sox ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "sox ${ARGN} failed: ${text}")
  endif()
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

# Writes a one-script game of 64x48 (UTF-8 scripts) into dir with clicks at the given frames
# in dir/input.txt, and runs it for frames frames with its sound going to dir.wav.
function(run_sound_game dir frames script clicks)
  file(MAKE_DIRECTORY ${dir})
  file(WRITE ${dir}/system.ini "[SYSTEM]\nBOOT=main.iet\nCHARSET=utf-8\n[WINDOW]\nWIDTH=64\nHEIGHT=48\n")
  file(WRITE ${dir}/main.iet "${script}")
  set(input "")
  foreach(frame IN LISTS clicks)
    string(APPEND input "${frame} click 1 1\n")
  endforeach()
  file(WRITE ${dir}/input.txt "${input}")
  get_filename_component(game ${dir} NAME)
  run_harness(${game} ${dir} --frames ${frames} --input ${dir}/input.txt --audio-out ${dir}.wav)
endfunction()

# Compares the "r." lines of the variable dump vars with the file expected; a difference is
# appended to `failed` of the caller.
function(check_result_variables vars expected)
  file(STRINGS ${vars} results REGEX "^r\\.")
  string(REPLACE ";" "\n" actual "${results}")
  string(APPEND actual "\n")
  file(READ ${expected} wanted)
  if(NOT actual STREQUAL wanted)
    file(WRITE ${vars}.actual.txt "${actual}")
    execute_process(COMMAND diff ${expected} ${vars}.actual.txt OUTPUT_VARIABLE difference)
    set(failed "${failed}\n--- variables: expected ${expected}, got ${vars}.actual.txt:\n${difference}" PARENT_SCOPE)
  endif()
endfunction()

# Checks that every line of the file expected stands as a whole line in the trace; what is
# missing is appended to `failed` of the caller.
function(check_trace_lines trace expected)
  file(READ ${trace} traced)
  file(STRINGS ${expected} lines ENCODING UTF-8)
  set(missing "")
  foreach(line IN LISTS lines)
    string(FIND "${traced}" "${line}\n" at)
    if(at EQUAL -1)
      string(APPEND missing "\n--- the trace lacks: ${line}")
    endif()
  endforeach()
  set(failed "${failed}${missing}" PARENT_SCOPE)
endfunction()
