# tervalon-levels: the level checker for level authors. Its reachability
# search is a library of its own so that a benchmark can time it. Neither
# needs a window.
add_library(level_reach STATIC levels_reach.cpp)
target_link_libraries(level_reach PUBLIC game_rules)
add_executable(tervalon-levels levels.cpp levels_slack.cpp)
target_link_libraries(tervalon-levels PRIVATE level_reach game_replay)
target_compile_definitions(tervalon-levels PRIVATE TERVALON_VERSION="${PROJECT_VERSION}")
