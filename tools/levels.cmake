# tervalon-levels: the level checker for level authors, a command line over
# the checker library (game/check). It needs no window.
add_executable(tervalon-levels levels.cpp)
target_link_libraries(tervalon-levels PRIVATE game_check)
target_compile_definitions(tervalon-levels PRIVATE TERVALON_VERSION="${PROJECT_VERSION}")

# A helper for recording solutions: moves the presses of one until each has
# some slack (docs/levels.md).
add_executable(tervalon-slack-search slack_search.cpp)
target_link_libraries(tervalon-slack-search PRIVATE game_replay)
