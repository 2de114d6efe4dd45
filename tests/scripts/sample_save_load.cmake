# The sample game's right-click menu saves a page of the story and loads it again
# (tests/data/sample/save_load.txt): after the load the screen shows the saved page as it
# was, not the page the game had gone on to, and the variables are those of the saved page.
include(${SOURCE_DIR}/tests/scripts/HarnessChecks.cmake)
set(pngdiff ${BINARY_DIR}/tools/kestrin-pngdiff)
set(out ${BINARY_DIR}/tmp/sample_save_load)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})

# 620: the first page after the save; 690: the second page; 790: after the load.
run_harness(sample ${SOURCE_DIR}/sample --frames 800 --input ${SOURCE_DIR}/tests/data/sample/save_load.txt
            --save-dir ${out}/save --trace ${out}/trace.txt --dump-vars ${out}/vars.txt
            --screenshot 620:${out}/saved.png --screenshot 690:${out}/next.png --screenshot 790:${out}/loaded.png)

file(READ ${out}/trace.txt trace)
file(READ ${out}/vars.txt vars)
set(failed "")
if(NOT EXISTS ${out}/save/slot1.dat)
  string(APPEND failed "\nno save file slot1.dat was written")
endif()
if(NOT trace MATCHES "var data=\"2\" name=\"page\"")
  string(APPEND failed "\nthe story never reached its second page")
endif()
if(trace MATCHES "セーブデータ|no save to load")
  string(APPEND failed "\nthe load failed")
endif()
if(NOT vars MATCHES "(^|\n)page=1\n")
  string(APPEND failed "\nthe variables are not those of the saved page")
endif()
foreach(shot saved next loaded)
  if(NOT EXISTS ${out}/${shot}.png)
    message(FATAL_ERROR "no screenshot ${shot}.png (the game ended before it?)\n${trace}")
  endif()
endforeach()
execute_process(COMMAND ${pngdiff} ${out}/saved.png ${out}/loaded.png 2
                RESULT_VARIABLE differs OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT differs EQUAL 0)
  string(APPEND failed "\nthe loaded screen is not the saved page: ${report}")
endif()
execute_process(COMMAND ${pngdiff} ${out}/next.png ${out}/loaded.png 2
                RESULT_VARIABLE differs OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(differs EQUAL 0)
  string(APPEND failed "\nthe loaded screen is still the second page")
endif()
if(failed)
  message(FATAL_ERROR "sample save and load (outputs in ${out}):${failed}\n${trace}")
endif()
