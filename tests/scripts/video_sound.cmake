# A movie's sound through kestrin-harness --audio-out on the virtual 60 fps clock, measured with
# sox: while the picture plays, the mix is the movie's 1 kHz tone as ffmpeg itself decodes it
# (resampled from 22050 Hz mono to 44100 Hz stereo); it is silent once the movie has ended or
# been skipped. A sound that starts 0.25 s after the first picture is heard from then (the
# codec smears its onset by a frame or two) and for its own length only. One frame is
# 44100 / 60 = 735 samples.
include(${CMAKE_CURRENT_LIST_DIR}/HarnessChecks.cmake)
set(data ${SOURCE_DIR}/tests/data/harness/video)
set(out ${BINARY_DIR}/tmp/video_sound)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
set(failed "")


# A sox figure ("RMS lev dB", "Pk lev dB", "Rough frequency", ...) of the left channel of
# frames [first, first + count) of a file, or of the difference of two files.
function(figure result name first count)
  math(EXPR start "${first} * 735")
  math(EXPR length "${count} * 735")
  list(LENGTH ARGN files)
  if(files EQUAL 2)
    list(GET ARGN 0 a)
    list(GET ARGN 1 b)
    run_sox(text -m -v 1 ${a} -v -1 ${b} -n trim ${start}s ${length}s remix 1 stats stat)
  else()
    run_sox(text ${ARGN} -n trim ${start}s ${length}s remix 1 stats stat)
  endif()
  string(REGEX MATCH "${name}:?[ ]+([-0-9.inf]+)" ignored "${text}")
  set(${result} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# Runs a game of one script for FRAMES frames with clicks at the given frames; its sound goes
# to GAME.wav.
function(run_game game frames script clicks)
  file(MAKE_DIRECTORY ${out}/${game})
  file(COPY ${data}/tone.mp4 ${data}/late-tone.mp4 DESTINATION ${out}/${game})
  run_sound_game(${out}/${game} ${frames} "${script}" "${clicks}")
endfunction()

# ffmpeg's own decoding of the movie's sound, as the mixer takes it.
execute_process(COMMAND ffmpeg -nostdin -hide_banner -loglevel error -y -i ${data}/tone.mp4 -vn -ar 44100 -ac 2
                        -c:a pcm_s16le ${out}/reference.wav
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ffmpeg cannot decode the tone movie: ${errors}")
endif()

# The movie starts in the game's first frame, so its sound starts with the mix.
run_game(ended 90 "[video file=\"tone.mp4\" skip=\"0\"]\n@\n" "")
run_game(skipped 60 "[video file=\"tone.mp4\"]\n@\n" "20")
run_game(late 70 "[video file=\"late-tone.mp4\" skip=\"0\"]\n@\n" "")

# game | first frame | frames | what: ffmpeg (the 1 kHz tone, sample for sample as ffmpeg
# decodes it), tone (the 1 kHz tone) or silence
set(cases
  "ended|0|58|ffmpeg"
  "ended|62|28|silence"
  "skipped|0|20|ffmpeg"
  "skipped|22|38|silence"
  "late|0|11|silence"
  "late|16|28|tone"
  "late|47|12|silence"
)
foreach(case ${cases})
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 game)
  list(GET fields 1 first)
  list(GET fields 2 count)
  list(GET fields 3 what)
  set(wav ${out}/${game}.wav)
  if(NOT what STREQUAL "silence")
    figure(rms "RMS lev dB" ${first} ${count} ${wav})
    figure(frequency "Rough[ ]+frequency" ${first} ${count} ${wav})
    set(difference "-inf")
    if(what STREQUAL "ffmpeg")
      figure(difference "Pk lev dB" ${first} ${count} ${wav} ${out}/reference.wav)
    endif()
    if(rms STREQUAL "" OR rms STREQUAL "-inf" OR rms LESS -15)
      string(APPEND failed "\n--- ${case}: no tone (RMS ${rms} dB)")
    endif()
    if(frequency STREQUAL "" OR frequency LESS 980 OR frequency GREATER 1020)
      string(APPEND failed "\n--- ${case}: the sound is not the 1 kHz tone (${frequency} Hz)")
    endif()
    # The samples are the movie's own: at most a rounding away from ffmpeg's.
    if(NOT difference STREQUAL "-inf" AND (difference STREQUAL "" OR difference GREATER -60))
      string(APPEND failed "\n--- ${case}: the sound differs from ffmpeg's decoding by ${difference} dB")
    endif()
  else()
    figure(peak "Pk lev dB" ${first} ${count} ${wav})
    if(NOT peak STREQUAL "-inf")
      string(APPEND failed "\n--- ${case}: not silent (peak ${peak} dB)")
    endif()
  endif()
endforeach()

if(NOT failed STREQUAL "")
  message(FATAL_ERROR "movie sound:${failed}")
endif()
