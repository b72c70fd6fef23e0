# game/check: the level checker as a library (the checks, the reachability
# search, the slack of the solutions), run as a job in slices; over the rules
# and the replay language, with no display.
add_library(game_check STATIC check/check.cpp check/reach.cpp check/slack.cpp)
target_link_libraries(game_check PUBLIC game_replay)
