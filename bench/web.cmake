# The web request beside a bare libcurl request on loopback.
if(NOT TARGET quibo_web)
  return()
endif()
add_executable(web_bench web_bench.cpp)
target_link_libraries(web_bench PRIVATE quibo_bench quibo_web CURL::libcurl)
add_test(NAME bench_smoke_web COMMAND web_bench --smoke)
set_tests_properties(bench_smoke_web PROPERTIES LABELS bench-smoke TIMEOUT 300)
