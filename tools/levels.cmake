# tervalon-levels: the level checker for level authors.
add_executable(tervalon-levels levels.cpp)
target_link_libraries(tervalon-levels PRIVATE game_rules)
