# cmake -P screenshot.cmake: the software-centre screenshot, played rather than
# drawn by hand. Plays the recorded hub start and the first half of level 1's
# forward solution with tervalon-replay in the data folder, snaps the picture
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
get_filename_component(dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
file(WRITE ${OUT}.script "${script}\n${level1_half}\nsnap ${OUT}.ppm\n")

execute_process(COMMAND ${REPLAY} ${OUT}.script WORKING_DIRECTORY ${DATA}
  OUTPUT_QUIET RESULT_VARIABLE played)
if(NOT played EQUAL 0)
  message(FATAL_ERROR "tervalon-replay stopped with ${played} on ${OUT}.script")
endif()
execute_process(COMMAND ${PPM2PNG} ${OUT}.ppm ${OUT} RESULT_VARIABLE converted)
if(NOT converted EQUAL 0)
  message(FATAL_ERROR "tervalon-ppm2png stopped with ${converted}")
endif()
file(REMOVE ${OUT}.script ${OUT}.ppm)
