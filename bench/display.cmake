# Surface operations side by side with SDL's software blitter and memcpy.
tervalon_bench(display_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/display_surfaces.cpp
  LIBS display PkgConfig::DISPLAY_PLATFORM)
# Presenting a frame scaled to the window, side by side with memcpy.
tervalon_bench(present_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/display_present.cpp LIBS display)
# The audio thread's mixing cost per device buffer, idle and with every voice.
tervalon_bench(audio_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/display_audio.cpp LIBS display_sdl)
