# Surface operations side by side with SDL's software blitter and memcpy.
tervalon_bench(display_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/display_surfaces.cpp
  LIBS display PkgConfig::DISPLAY_PLATFORM)
