# Runs the sample game through the headless harness and compares its trace and its
# variables with tests/data/sample/. Paths that depend on the machine are masked.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(out ${BINARY_DIR}/tmp/sample_game)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
set(expected ${SOURCE_DIR}/tests/data/sample)

execute_process(
  COMMAND ${harness} ${SOURCE_DIR}/sample --frames 600
          --trace ${out}/trace.txt --dump-vars ${out}/vars.txt --screenshot 0:${out}/frame0.png
  RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kestrin-harness failed (${status}):\n${errors}")
endif()

function(normalize in result)
  file(READ ${in} text)
  string(REGEX REPLACE "(^|\n)(s\\.datapath|s\\.savepath)=[^\n]*" "\\1\\2=*" text "${text}")
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

if(NOT EXISTS ${out}/frame0.png)
  message(FATAL_ERROR "kestrin-harness wrote no screenshot")
endif()

set(failed "")
foreach(name trace vars)
  normalize(${out}/${name}.txt actual)
  file(READ ${expected}/${name}.txt wanted)
  if(NOT actual STREQUAL wanted)
    file(WRITE ${out}/${name}.actual.txt "${actual}")
    string(APPEND failed "\n--- ${name}: expected ${expected}/${name}.txt, got ${out}/${name}.actual.txt:\n${actual}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "sample game output differs:${failed}")
endif()
