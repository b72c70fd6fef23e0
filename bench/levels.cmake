# The level checker's reachability search on a shipped level.
tervalon_bench(levels_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/levels_bench.cpp LIBS game_check)
target_compile_definitions(levels_bench PRIVATE TERVALON_LEVEL_FILE="${PROJECT_SOURCE_DIR}/data/tervalon.dat")
