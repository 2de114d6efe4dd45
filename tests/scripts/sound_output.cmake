# The mixed sound of whole runs (kestrin-harness --audio-out), measured with sox: a tone at
# a channel gain of 500 per mille is 6.02 dB below the same tone at 1000, and so is music at
# a master volume ("s.bgmvol") of 500 from the next frame on; a streamed intro
# continues into its "_b" loop and the loop into itself sample for sample; a music fade-out
# of 1000 ms is silent from the frame after the one in which it reached its end.
include(${CMAKE_CURRENT_LIST_DIR}/HarnessChecks.cmake)
set(out ${BINARY_DIR}/tmp/sound_output)
file(REMOVE_RECURSE ${out})
set(failed "")


function(make_sound game name)
  run_sox(ignored -R -D -r 44100 -n -c 2 -b 16 -t wavpcm ${out}/${game}/${name}.wav synth ${ARGN})
endfunction()

# Runs a game of one script with clicks at the given frames; its sound goes to game.wav.
function(run_game game frames script clicks)
  run_sound_game(${out}/${game} ${frames} "${script}" "${clicks}")
endfunction()

# A sox stats figure of the left channel ("RMS lev dB", "Max level", ...) of a file, after
# the effects given.
function(stat result name file)
  run_sox(text ${file} -n ${ARGN} remix 1 stats)
  string(REGEX MATCH "${name}[ ]+([-0-9.inf]+)" ignored "${text}")
  set(${result} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# The same figure of the difference of two files.
function(stat_difference result name a b)
  run_sox(text -m -v 1 ${a} -v -1 ${b} -n remix 1 stats)
  string(REGEX MATCH "${name}[ ]+([-0-9.inf]+)" ignored "${text}")
  set(${result} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# One frame is 44100 / 60 = 735 samples.
# --- Gain: 1000 per mille in frames 0-59, 500 in frames 60-119.
file(MAKE_DIRECTORY ${out}/gain)
make_sound(gain tone 1 sine 1000 vol 0.5)
run_game(gain 130 "[seplay id=t file=tone loop=1]\n@\n[sestop id=t]\n[var name=s.segain.h data=500]\n[seplay id=h file=tone loop=1]\n@\n" "60;120")
stat(full "RMS lev dB" ${out}/gain.wav trim 4410s 35280s)
stat(half "RMS lev dB" ${out}/gain.wav trim 48510s 35280s)
if(full STREQUAL "" OR half STREQUAL "")
  string(APPEND failed "\n--- no RMS levels measured: '${full}' '${half}'")
else()
  # dB with two decimals: the difference in hundredths.
  string(REPLACE "." "" full_centi "${full}")
  string(REPLACE "." "" half_centi "${half}")
  math(EXPR difference_centi "${half_centi} - ${full_centi}")
  if(difference_centi LESS -603 OR difference_centi GREATER -601)
    string(APPEND failed "\n--- 500 per mille measures ${half} dB against ${full} dB at 1000, not -6.02 dB lower")
  endif()
endif()

# --- Master volume: "s.bgmvol" set to 500 by the script in frame 60 is applied at the
# start of frame 61, before any block runs: frame 60 still sounds at 1000.
file(MAKE_DIRECTORY ${out}/master)
make_sound(master tone 1 sine 1000 vol 0.5)
run_game(master 130 "[splay file=tone]\n@\n[var name=s.bgmvol data=500]\n@\n" "60")
stat(frame60 "RMS lev dB" ${out}/master.wav trim 44100s 735s)
stat(frame61 "RMS lev dB" ${out}/master.wav trim 44835s 735s)
stat(later "RMS lev dB" ${out}/master.wav trim 48510s 35280s)
# A frame holds 16.67 periods of the tone: its RMS is within 0.1 dB of the whole tone's.
function(near result a b)
  string(REPLACE "." "" a_centi "${a}")
  string(REPLACE "." "" b_centi "${b}")
  math(EXPR d "${a_centi} - ${b_centi}")
  if(d GREATER -10 AND d LESS 10)
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()
near(ok60 "${frame60}" "${full}")
near(ok61 "${frame61}" "${half}")
if(NOT ok60 OR NOT ok61 OR NOT later STREQUAL half)
  string(APPEND failed "\n--- s.bgmvol 500 from frame 60: ${frame60} dB in frame 60, ${frame61} dB in frame 61, "
                       "${later} dB later (the tone measures ${full} dB at 1000, ${half} dB at 500)")
endif()

# --- Loop: an intro of 22000 samples and its loop of 1 s (shorter than a stream half, 5 s),
# both whole periods of 441 Hz; 14 s hold the intro and the loop 13 times and a half, across
# two refills of each stream half.
file(MAKE_DIRECTORY ${out}/loop)
make_sound(loop music_a 22000s sine 441 vol 0.5)
make_sound(loop music_b 44100s sine 441 vol 0.5)
run_game(loop 840 "[splay file=music_a]\n@\n" "")
set(loops "")
foreach(i RANGE 13)
  list(APPEND loops ${out}/loop/music_b.wav)
endforeach()
run_sox(ignored ${out}/loop/music_a.wav ${loops} ${out}/loop_expected.wav trim 0 617400s)
stat(length "Length s" ${out}/loop.wav)
stat_difference(residual "Max level" ${out}/loop.wav ${out}/loop_expected.wav)
if(NOT length STREQUAL "14.000" OR residual STREQUAL "" OR residual GREATER 0.0001)
  string(APPEND failed "\n--- the streamed music of ${length} s differs from the intro and its repeated loop by up to ${residual}")
endif()

# --- Fade-out: the music fades from frame 60 (click) over 1000 ms. The fade starts with
# the tween pass of frame 61 and ends in frame 121: that frame is the first silent one.
file(MAKE_DIRECTORY ${out}/fade)
make_sound(fade music_a 22000s sine 441 vol 0.5)
make_sound(fade music_b 44100s sine 441 vol 0.5)
run_game(fade 180 "[splay file=music_a]\n@\n[sfadeout time=1000]\n@\n" "60")
stat(before "Max level" ${out}/fade.wav trim 43365s 735s)
stat(during "Max level" ${out}/fade.wav trim 88200s 735s)
stat(after "Max level" ${out}/fade.wav trim 88935s 43365s)
if(NOT before STREQUAL "0.500000" OR during STREQUAL "" OR during EQUAL 0 OR NOT after STREQUAL "0.000000")
  string(APPEND failed "\n--- the fade-out: peak ${before} in frame 59, ${during} in frame 120, ${after} from frame 121 on")
endif()

if(failed)
  message(FATAL_ERROR "sound output differs:${failed}")
endif()
