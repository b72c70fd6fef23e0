# tervalon-levels: the level checker for level authors.
add_executable(tervalon-levels levels.cpp levels_reach.cpp levels_slack.cpp)
target_link_libraries(tervalon-levels PRIVATE game_rules)
