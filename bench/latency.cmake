# Key to picture through a private X server, the game beside a minimal SDL2 program.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LATENCY_X11 REQUIRED IMPORTED_TARGET x11 xext xtst xdamage xfixes)
add_executable(latency_reference ${CMAKE_CURRENT_SOURCE_DIR}/latency_reference.cpp)
target_link_libraries(latency_reference PRIVATE PkgConfig::DISPLAY_PLATFORM)
add_executable(latency ${CMAKE_CURRENT_SOURCE_DIR}/latency.cpp)
target_link_libraries(latency PRIVATE PkgConfig::LATENCY_X11)
target_compile_definitions(latency PRIVATE
  TERVALON_GAME="$<TARGET_FILE:tervalon>"
  LATENCY_REFERENCE="$<TARGET_FILE:latency_reference>"
  TERVALON_DATA="${CMAKE_CURRENT_SOURCE_DIR}/latency.dat")
add_dependencies(latency tervalon latency_reference)
