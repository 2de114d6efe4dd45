# The "video" tag through kestrin-harness on its virtual 60 fps clock: a full-window movie of
# one second holds the script until its end, and each skip mode ends it early only for its
# own keys (1: left button, wheel back, Return, or at once while skipping; 2: right button or
# Escape; 0: never). The movie's picture fills the game area; ".mja" movie layers load from
# loose files.
cmake_policy(SET CMP0007 NEW)
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(pngdiff ${BINARY_DIR}/tools/kestrin-pngdiff)
set(data ${SOURCE_DIR}/tests/data/harness/video)
set(out ${BINARY_DIR}/tmp/video_tag)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})

# A game of 320x240 with the harness movies and SCRIPT as its main.iet.
function(make_game name script)
  file(MAKE_DIRECTORY ${out}/${name})
  file(COPY ${data}/movie.mp4 ${data}/anim.mja ${SOURCE_DIR}/tests/data/video/clips/audio.wav
       DESTINATION ${out}/${name})
  file(WRITE ${out}/${name}/system.ini "[WINDOW]\nWIDTH=320\nHEIGHT=240\n[SYSTEM]\nCHARSET=utf-8\n")
  file(WRITE ${out}/${name}/main.iet "${script}")
endfunction()

# Runs GAME for FRAMES frames with the input lines INPUT; the trace and the variables go to
# RESULT.
set(run 0)
function(run_game result game frames input)
  math(EXPR n "${run} + 1")
  set(run ${n} PARENT_SCOPE)
  set(base ${out}/run${n})
  file(WRITE ${base}-input.txt "${input}")
  execute_process(COMMAND ${harness} ${out}/${game} --frames ${frames} --input ${base}-input.txt
                          --trace ${base}-trace.txt --dump-vars ${base}-vars.txt ${ARGN}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${game} (${frames} frames, input \"${input}\") exited with ${status}")
  endif()
  file(READ ${base}-trace.txt trace)
  file(READ ${base}-vars.txt vars)
  set(${result} "${trace}\n--- variables\n${vars}" PARENT_SCOPE)
endfunction()

make_game(skip1 "[video file=\"movie.mp4\"]\n[after]\n")
make_game(skip2 "[video file=\"movie.mp4\" skip=\"2\"]\n[after]\n")
make_game(skip0 "[video file=\"Movie.MP4\" skip=\"0\"]\n[after]\n")
make_game(skipping1 "@\n[video file=\"movie.mp4\"]\n[after]\n")
make_game(skipping2 "@\n[video file=\"movie.mp4\" skip=\"2\"]\n[after]\n")

# game | frames | input | ends before the frames run out | s.clickskip is 1
set(cases
  "skip1|20|10 click 5 5|1|1"
  "skip1|20|10 key 13|1|1"
  "skip1|20|10 wheel -1|1|1"
  "skip1|45|10 rclick 5 5\n12 key 27\n14 wheel 1\n16 key 32|0|0"
  "skip1|55||0|0"
  "skip1|70||1|0"
  "skip2|20|10 rclick 5 5|1|1"
  "skip2|20|10 key 27|1|1"
  "skip2|45|10 click 5 5\n12 key 13\n14 wheel -1|0|0"
  "skip0|55|10 click 5 5\n12 key 13\n14 rclick 5 5\n16 key 27\n18 wheel -1|0|0"
  "skip0|70|10 click 5 5|1|0"
  "skipping1|10|5 key 17|1|1"
  "skipping2|40|5 key 17|0|0"
)
foreach(case ${cases})
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 game)
  list(GET fields 1 frames)
  list(GET fields 2 input)
  list(GET fields 3 ends)
  list(GET fields 4 clickskip)
  string(REPLACE "\\n" "\n" input "${input}")
  run_game(result ${game} ${frames} "${input}")
  string(FIND "${result}" "[after]" at)
  string(FIND "${result}" "s.clickskip=1\n" skipped)
  if((ends AND at EQUAL -1) OR (NOT ends AND NOT at EQUAL -1))
    message(FATAL_ERROR "${case}: the movie wait should end: ${ends}\n${result}")
  endif()
  if((clickskip AND skipped EQUAL -1) OR (NOT clickskip AND NOT skipped EQUAL -1))
    message(FATAL_ERROR "${case}: s.clickskip should be 1: ${clickskip}\n${result}")
  endif()
endforeach()

# A movie that cannot play ends the wait at once, with a log line.
make_game(broken "[video file=\"missing.mp4\"]\n[after]\n[video file=\"audio.wav\"]\n[after2]\n")
run_game(result broken 2 "")
foreach(line "Movie \"missing.mp4\" not found" "Movie \"audio.wav\" cannot be played" "[after]" "[after2]")
  string(FIND "${result}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "a movie that cannot play: no \"${line}\" in\n${result}")
  endif()
endforeach()

# The picture 450 ms in is the movie's frame 4, stretched over the game area.
run_game(result skip0 30 "" --screenshot 27:${out}/frame4.png)
execute_process(COMMAND ${pngdiff} ${SOURCE_DIR}/tests/data/video/clips/h264-4-320x240.png ${out}/frame4.png psnr:40
                RESULT_VARIABLE status OUTPUT_VARIABLE diff ERROR_VARIABLE diff)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the movie's picture differs from ffmpeg's frame 4 scaled to 320x240: ${diff}")
endif()

# ".mja" layers: the name with ".mja" appended is found; a missing file and a file that is no
# frame sequence are traced, and the script goes on.
make_game(layers "[video id=\"a\" file=\"anim\" loop=\"1\"]\n[video id=\"b\" file=\"nothing\"]\n[video id=\"c\" file=\"system.ini\"]\n[after]\n")
run_game(result layers 5 "")
foreach(line "[video file=\"nothing\"] 指定されたファイルは見つかりません。"
             "[video file=\"system.ini\"] 指定されたファイルは非対応形式です。" "[after]")
  string(FIND "${result}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR ".mja layers: no \"${line}\" in\n${result}")
  endif()
endforeach()
string(FIND "${result}" "[video file=\"anim\"] 指定" at)
if(NOT at EQUAL -1)
  message(FATAL_ERROR ".mja layers: anim.mja was not found or not read:\n${result}")
endif()
