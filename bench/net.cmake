# Burst of discovery-sized datagrams through the transport: default vs. raised
# receive buffer (a plain program printing both counts and their ratio).
kestrel_add_bench(net_burst ${CMAKE_CURRENT_SOURCE_DIR}/net_burst.cpp)
