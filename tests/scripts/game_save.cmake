# Game saves through whole runs (kestrin-harness --save-dir): a scene with layers, a tween in
# flight, music and a looping effect is saved; the game changes everything and loads it
# again. Once the replayed tween has ended the screen equals the saved scene's (software and
# hardware renderers). A second run with the same save folder loads the save at its start:
# same screen, same variables, and its sound from the first sample equals the first run's,
# so the music and the effect start again from their beginning.
set(harness ${BINARY_DIR}/tests/harness/kestrin-harness)
set(pngdiff ${BINARY_DIR}/tools/kestrin-pngdiff)
set(out ${BINARY_DIR}/tmp/game_save)
file(REMOVE_RECURSE ${out})
set(game ${out}/game)
file(MAKE_DIRECTORY ${game})
file(COPY ${SOURCE_DIR}/sample/image/day.png ${SOURCE_DIR}/sample/image/star.png
          ${SOURCE_DIR}/sample/sound/theme_a.ogg ${SOURCE_DIR}/sample/sound/chime.ogg DESTINATION ${game})
file(WRITE ${game}/system.ini "[SYSTEM]\nBOOT=main.iet\nCHARSET=utf-8\n[WINDOW]\nWIDTH=160\nHEIGHT=120\n")
# g.run is kept on disk beside the saves: 1 once the first run has saved and changed.
file(WRITE ${game}/main.iet [=[
[if estimate="g.run==1"]
[load file=scene.dat type=1 time=0]
[/if]
[lyc id=bg file=day.png]
[lyc id=star file=star.png]
[lyprop id=star left=10 top=20]
[flip]
[lytween id=star param=left from=10 to=100 msec=1000]
[splay file=theme_a]
[seplay id=loop file=chime loop=1]
[var name=mark data=saved]
[wait time=100]
[save file=scene.dat]
[if estimate="g.run==1"]
[jump label=done]
[/if]
[wait time=1500]
[lydel id=star]
[lyprop id=bg left=30 alpha=100]
[flip]
[wait time=200]
[sstop]
[sestop id=loop]
[var name=mark data=changed]
[var name=g.run data=1]
[save file=flag.dat]
[load file=scene.dat type=1 time=0]
*done
[wait time=5000]
]=])

set(failed "")
# The OpenGL driver keeps allocations to the end of the process: no leak check there.
function(run name)
  set(env "")
  if(name STREQUAL "hardware")
    set(env ${CMAKE_COMMAND} -E env "LSAN_OPTIONS=detect_leaks=0")
  endif()
  execute_process(COMMAND ${env} ${harness} ${game} --save-dir ${out}/saves_${name} ${ARGN}
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kestrin-harness failed on ${name} (${status}):\n${errors}")
  endif()
endfunction()

function(same a b what)
  execute_process(COMMAND ${pngdiff} ${a} ${b} 0 RESULT_VARIABLE differs OUTPUT_VARIABLE report ERROR_VARIABLE report)
  if(NOT differs EQUAL 0)
    set(failed "${failed}\n${what}: ${report}" PARENT_SCOPE)
  endif()
endfunction()

foreach(renderer software hardware)
  # Frame 80: the tween has ended, nothing changed yet. The scene changes near frame 97 and
  # is loaded near frame 109.
  run(${renderer} --renderer ${renderer} --frames 220 --screenshot 80:${out}/${renderer}_saved.png
      --screenshot 103:${out}/${renderer}_changed.png --screenshot 210:${out}/${renderer}_loaded.png
      --dump-vars ${out}/${renderer}_first.txt --audio-out ${out}/${renderer}_first.wav --trace ${out}/${renderer}_first.log)
  same(${out}/${renderer}_saved.png ${out}/${renderer}_loaded.png "${renderer}: loaded scene")
  execute_process(COMMAND ${pngdiff} ${out}/${renderer}_saved.png ${out}/${renderer}_changed.png 0 RESULT_VARIABLE differs
                  OUTPUT_QUIET ERROR_QUIET)
  if(differs EQUAL 0)
    string(APPEND failed "\n${renderer}: the changed scene looks like the saved one (the test shows nothing)")
  endif()
endforeach()

# The next run keeps the first one's save folder and loads at once.
run(software --frames 120 --screenshot 100:${out}/second_loaded.png --dump-vars ${out}/second.txt
    --audio-out ${out}/second.wav --trace ${out}/second.log)
same(${out}/software_saved.png ${out}/second_loaded.png "second run: loaded scene")
file(READ ${out}/software_first.txt first)
file(READ ${out}/second.txt second)
if(NOT first STREQUAL second)
  string(APPEND failed "\nvariables differ:\n--- first run\n${first}--- second run\n${second}")
endif()
if(NOT first MATCHES "mark=saved")
  string(APPEND failed "\nthe first run ended without the saved variables:\n${first}")
endif()

# The first 1.5 s: the music and the effect from their first sample in both runs.
execute_process(COMMAND sox -m -v 1 ${out}/software_first.wav -v -1 ${out}/second.wav -n trim 0 66150s stats
                RESULT_VARIABLE status OUTPUT_VARIABLE stats ERROR_VARIABLE stats)
string(REGEX MATCH "Max level[ ]+([-0-9.]+)" ignored "${stats}")
set(difference "${CMAKE_MATCH_1}")
execute_process(COMMAND sox ${out}/second.wav -n trim 0 66150s stats OUTPUT_VARIABLE stats ERROR_VARIABLE stats)
string(REGEX MATCH "Max level[ ]+([-0-9.]+)" ignored "${stats}")
set(level "${CMAKE_MATCH_1}")
if(NOT status EQUAL 0 OR NOT difference STREQUAL "0.000000" OR level STREQUAL "0.000000")
  string(APPEND failed "\nsound after the load differs from the sound from its start (difference ${difference}, level ${level})")
endif()

# The sample game's right-click menu over a script that stops twice: a right click opens it,
# its upper button saves; the next right click opens it again and its lower button loads,
# so the game goes on from just after the save once more.
set(menu ${out}/menu)
file(COPY ${SOURCE_DIR}/sample/image ${SOURCE_DIR}/sample/rclick.iet ${SOURCE_DIR}/sample/system.ini DESTINATION ${menu})
file(WRITE ${menu}/main.iet "[rclick allow=1]\n[var name=n data=1]\n[stop]\n")
file(WRITE ${out}/menu_input.txt "10 rclick 300 300\n20 click 320 150\n30 rclick 300 300\n40 click 320 226\n")
execute_process(COMMAND ${harness} ${menu} --save-dir ${out}/saves_menu --frames 90 --input ${out}/menu_input.txt
                        --trace ${out}/menu.log RESULT_VARIABLE status ERROR_VARIABLE errors)
file(STRINGS ${out}/menu.log saved REGEX "debugprint menu: saved")
list(LENGTH saved count)
if(NOT status EQUAL 0 OR NOT count EQUAL 2 OR NOT EXISTS ${out}/saves_menu/slot1.dat)
  string(APPEND failed "\nthe right-click menu did not save and load (${status}, ${count} saves):\n${errors}")
endif()

if(failed)
  message(FATAL_ERROR "game saves:${failed}\n(files in ${out})")
endif()
