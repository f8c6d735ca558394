# The window benchmarks, on the X server of $DISPLAY: start-up against a
# minimal Qt window, transcript growth and responsiveness under load.
if(NOT TARGET quibo_app_platform)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)

add_library(quibo_bench_window STATIC window_support.cpp)
target_link_libraries(quibo_bench_window PUBLIC quibo_bench quibo_text Qt6::Widgets)

# Start-up: two small programs, each ended at its window's first paint.
add_executable(startup_chat startup_chat_main.cpp startup_paint.cpp)
target_link_libraries(startup_chat PRIVATE quibo_app quibo_app_platform quibo_app_service_host)
add_executable(startup_minimal startup_minimal_main.cpp startup_paint.cpp)
target_link_libraries(startup_minimal PRIVATE quibo_app_platform)
add_executable(startup_bench startup_bench.cpp)
target_link_libraries(startup_bench PRIVATE quibo_bench_window)
target_compile_definitions(startup_bench PRIVATE
  QUIBO_STARTUP_CHAT="$<TARGET_FILE:startup_chat>"
  QUIBO_STARTUP_MINIMAL="$<TARGET_FILE:startup_minimal>")
add_dependencies(startup_bench startup_chat startup_minimal)

# One start of each, or one tiny round of each measurement; budgets are not
# checked here. They share the X server's key grabs with the window tests.
add_test(NAME bench_smoke_startup COMMAND startup_bench --smoke)
set_tests_properties(bench_smoke_startup PROPERTIES LABELS bench-smoke RESOURCE_LOCK x11 TIMEOUT 120)

# Transcript growth: runs parts of itself under callgrind.
add_executable(window_transcript_bench window_transcript_bench.cpp)
target_link_libraries(window_transcript_bench PRIVATE quibo_bench_window quibo_app
                                                      quibo_app_platform quibo_app_service_host)
add_test(NAME bench_smoke_window_transcript COMMAND window_transcript_bench --smoke)
set_tests_properties(bench_smoke_window_transcript PROPERTIES
  LABELS bench-smoke RESOURCE_LOCK x11 TIMEOUT 300)

# Responsiveness: the real window and exchanges against a slow loopback service.
add_executable(window_load_bench window_load_bench.cpp)
target_link_libraries(window_load_bench PRIVATE quibo_bench_window quibo_app quibo_app_platform
                                                quibo_app_testing)
add_test(NAME bench_smoke_window_load COMMAND window_load_bench --smoke)
set_tests_properties(bench_smoke_window_load PROPERTIES
  LABELS bench-smoke RESOURCE_LOCK x11 TIMEOUT 120)
