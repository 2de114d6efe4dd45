# Runs the sample game through the headless harness and compares the screen at set frames
# with the reviewed golden images in tests/data/sample/screens/ (each byte within 2):
# the opening's message window fading in with the first scene, the tweens and the bouncing
# ball, the rule-image wipe, the last scene and the controls panel after it, then (with
# tests/data/sample/input.txt) the story: a page with ruby, a line fading in with its "。"
# hung past the margin, the right-click menu, the links, a page of the cape, the backlog on
# its own backdrop at two pages, the page after it with the click-wait icon, and the fade to
# black at the end. When the sample game changes, look at the frames it leaves in the build
# tree's tmp/sample_screens and copy them there once they are right.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(pngdiff ${BINARY_DIR}/tools/kestrin-pngdiff)
set(out ${BINARY_DIR}/tmp/sample_screens)
set(expected ${SOURCE_DIR}/tests/data/sample/screens)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})

set(frames 15 106 190 250 300 400 480 530 560 640 760 850 900 1015 1110)
set(shots "")
foreach(frame ${frames})
  list(APPEND shots --screenshot ${frame}:${out}/frame${frame}.png)
endforeach()
execute_process(
  COMMAND ${harness} ${SOURCE_DIR}/sample --frames 1200 --input ${SOURCE_DIR}/tests/data/sample/input.txt ${shots}
  RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kestrin-harness failed (${status}):\n${errors}")
endif()

set(failed "")
foreach(frame ${frames})
  if(NOT EXISTS ${out}/frame${frame}.png)
    string(APPEND failed "\nframe ${frame}: no screenshot (the game ended before it?)")
    continue()
  endif()
  execute_process(
    COMMAND ${pngdiff} ${expected}/frame${frame}.png ${out}/frame${frame}.png 2
    RESULT_VARIABLE differs
    OUTPUT_VARIABLE report
    ERROR_VARIABLE report)
  if(NOT differs EQUAL 0)
    string(APPEND failed "\nframe ${frame}: ${report}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "sample game screens differ from ${expected}:${failed}")
endif()
