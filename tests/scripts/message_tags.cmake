# Runs the message tag games (tests/data/harness/msgtags/*: layers, fonts, links) through
# the harness; each compares its "r." variables with expected.txt and finds the lines of
# expected_trace.txt in its trace. input.txt, when there, is the game's scripted input.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(failed "")
foreach(name layers fonts links)
  set(source ${SOURCE_DIR}/tests/data/harness/msgtags/${name})
  set(out ${BINARY_DIR}/tmp/message_tags/${name})
  set(game ${out}/game)
  file(REMOVE_RECURSE ${out})
  file(MAKE_DIRECTORY ${out})
  file(COPY ${source}/ DESTINATION ${game})
  set(input "")
  if(EXISTS ${source}/input.txt)
    set(input --input ${source}/input.txt)
  endif()
  execute_process(
    COMMAND ${harness} ${game} --frames 300 ${input} --trace ${out}/trace.txt --dump-vars ${out}/vars.txt
    RESULT_VARIABLE status
    ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kestrin-harness failed on ${name} (${status}):\n${errors}")
  endif()

  # grep keeps the backslashes of the block texts that a CMake list would eat.
  execute_process(COMMAND grep -a "^r\\." ${out}/vars.txt OUTPUT_VARIABLE actual)
  file(READ ${source}/expected.txt wanted)
  if(NOT actual STREQUAL wanted)
    file(WRITE ${out}/actual.txt "${actual}")
    execute_process(COMMAND diff ${source}/expected.txt ${out}/actual.txt OUTPUT_VARIABLE difference)
    string(APPEND failed "\n--- ${name}: expected ${source}/expected.txt, got ${out}/actual.txt:\n${difference}")
  endif()

  if(EXISTS ${source}/expected_trace.txt)
    file(READ ${out}/trace.txt traced)
    file(STRINGS ${source}/expected_trace.txt lines ENCODING UTF-8)
    foreach(line IN LISTS lines)
      string(FIND "${traced}" "${line}\n" at)
      if(at EQUAL -1)
        string(APPEND failed "\n--- ${name}: the trace lacks: ${line}")
      endif()
    endforeach()
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "message tags differ:${failed}")
endif()
