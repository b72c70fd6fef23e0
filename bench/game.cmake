tervalon_bench(game_bench SOURCES game_bench.cpp LIBS game_rules)
target_include_directories(game_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/game)
