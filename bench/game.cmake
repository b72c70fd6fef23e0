tervalon_bench(game_bench SOURCES game_bench.cpp LIBS game_replay)
tervalon_bench(game_draw_bench SOURCES game_draw_bench.cpp LIBS game_view)
tervalon_bench(record_bench SOURCES record_bench.cpp LIBS game_app)
