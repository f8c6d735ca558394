# The robot beside nginx on loopback, both driven by the robot's load program.
if(NOT TARGET quibo-robot)
  return()
endif()
add_executable(robot_bench robot_bench.cpp robot_servers.cpp)
target_link_libraries(robot_bench PRIVATE quibo_bench)
target_compile_definitions(robot_bench PRIVATE
  QUIBO_ROBOT_EXECUTABLE="$<TARGET_FILE:quibo-robot>"
  QUIBO_ROBOT_LOAD_EXECUTABLE="$<TARGET_FILE:quibo-robot-load>")
add_dependencies(robot_bench quibo-robot quibo-robot-load)

# A few requests to each server; without nginx (./test does not install it)
# the anchor is skipped with a line saying so.
add_test(NAME bench_smoke_robot COMMAND robot_bench --smoke)
set_tests_properties(bench_smoke_robot PROPERTIES LABELS bench-smoke TIMEOUT 120)
