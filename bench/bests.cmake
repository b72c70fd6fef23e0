# What a new best costs the game's thread beside a very large bests list, and
# what the writer thread spends merging and writing it.
tervalon_bench(bests_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bests_bench.cpp LIBS game_journey)
target_compile_definitions(bests_bench PRIVATE TERVALON_LEVEL_FILE="${PROJECT_SOURCE_DIR}/data/tervalon.dat")
