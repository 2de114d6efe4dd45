# The sample game through the headless harness on the hardware renderer (OpenGL through SDL's
# off-screen driver on Mesa): its screens at set frames match the software renderer's golden
# images in tests/data/sample/screens/ within a PSNR floor per frame. Skipped where no OpenGL
# context can be made.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(pngdiff ${BINARY_DIR}/tools/kestrin-pngdiff)
set(out ${BINARY_DIR}/tmp/sample_screens_hardware)
set(expected ${SOURCE_DIR}/tests/data/sample/screens)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})

set(frames 15 106 190 250 300 400 480 530 560 640 760 850 900 1015 1110)
# Each frame's floor, about 3 dB under what Mesa's llvmpipe reaches (49.3, 62.8, 58.2, 50.4, 61.6 and
# 59.9 dB; the story's pages, menu, backlog and closing fade 63.8, 62.1, 57.5, 64.3, 62.8, 68.7, 66.4,
# 62.2 and 52.4 dB): filtering and blending on the device differ by a step here and there, while a
# picture with something misplaced (a ball 6 pixels off) falls to about 32 dB.
set(floors 46 59 55 47 58 56 60 59 54 61 59 65 63 59 49)
set(shots "")
foreach(frame ${frames})
  list(APPEND shots --screenshot ${frame}:${out}/frame${frame}.png)
endforeach()
# Mesa keeps process-lifetime allocations that the leak check cannot tell from ours.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "LSAN_OPTIONS=detect_leaks=0"
          ${harness} ${SOURCE_DIR}/sample --frames 1200 --input ${SOURCE_DIR}/tests/data/sample/input.txt --renderer hardware ${shots}
  RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kestrin-harness failed (${status}):\n${errors}")
endif()
if(errors MATCHES "hardware renderer did not start")
  message("sample_screens_hardware: skipped (no OpenGL context here)")
  return()
endif()

set(failed "")
foreach(frame floor IN ZIP_LISTS frames floors)
  if(NOT EXISTS ${out}/frame${frame}.png)
    string(APPEND failed "\nframe ${frame}: no screenshot (the game ended before it?)")
    continue()
  endif()
  execute_process(
    COMMAND ${pngdiff} ${expected}/frame${frame}.png ${out}/frame${frame}.png psnr:${floor}
    RESULT_VARIABLE differs
    OUTPUT_VARIABLE report
    ERROR_VARIABLE report)
  message("${report}")
  if(NOT differs EQUAL 0)
    string(APPEND failed "\nframe ${frame}: ${report}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "hardware screens differ from ${expected}:${failed}")
endif()
