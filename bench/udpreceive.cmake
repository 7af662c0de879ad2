# Loopback receive throughput into the packet ring (not run by the test suite).
add_executable(bench_udp_receive ${CMAKE_CURRENT_LIST_DIR}/bench_udp_receive.cpp)
korvessa_target_options(bench_udp_receive)
target_link_libraries(bench_udp_receive PRIVATE korvessa_core korvessa_testsupport)
