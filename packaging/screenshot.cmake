# cmake -P screenshot.cmake: the software-centre screenshot, played rather than
# drawn by hand. Plays the recorded hub start and the first half of level 1's
# forward solution with tervalon-replay on the shipped levels, snaps the picture
# and converts it to PNG.
#   -DREPLAY=tervalon-replay -DPPM2PNG=tervalon-ppm2png -DDATA=data folder
#   -DOUT=the PNG to write
foreach(var REPLAY PPM2PNG DATA OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "screenshot.cmake needs -D${var}=...")
  endif()
endforeach()

file(GLOB hub ${DATA}/solutions/00-*.txt)
file(GLOB level1 ${DATA}/solutions/01-*.txt)
file(READ ${hub} script)
file(STRINGS ${level1} lines)
list(LENGTH lines count)
math(EXPR half "${count} / 2")
list(SUBLIST lines 0 ${half} lines)
list(JOIN lines "\n" level1_half)
# A snap is written only into the current folder, so the play runs in a
# folder of its own beside OUT with a copy of the level file.
set(work ${OUT}.work)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY ${DATA}/tervalon.dat DESTINATION ${work})
file(WRITE ${work}/screenshot.script "${script}\n${level1_half}\nsnap screenshot.ppm\n")

execute_process(COMMAND ${REPLAY} screenshot.script WORKING_DIRECTORY ${work}
  OUTPUT_QUIET RESULT_VARIABLE played)
if(NOT played EQUAL 0)
  message(FATAL_ERROR "tervalon-replay stopped with ${played} on ${work}/screenshot.script")
endif()
execute_process(COMMAND ${PPM2PNG} ${work}/screenshot.ppm ${OUT} RESULT_VARIABLE converted)
if(NOT converted EQUAL 0)
  message(FATAL_ERROR "tervalon-ppm2png stopped with ${converted}")
endif()
file(REMOVE_RECURSE ${work})
