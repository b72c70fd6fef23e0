tervalon_bench(game_bench SOURCES game_bench.cpp LIBS game_rules)
target_include_directories(game_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/game)

tervalon_bench(game_draw_bench SOURCES game_draw_bench.cpp LIBS game_draw)
target_include_directories(game_draw_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/game)

tervalon_bench(record_bench SOURCES record_bench.cpp LIBS game_draw)
target_include_directories(record_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/game)
