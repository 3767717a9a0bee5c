# The station core's handlers of device input: the reply dispatcher and the
# announcement handler.
kestrel_add_fuzzer(lan_info fuzz_lan_info.cpp kestrel_protocol)
kestrel_add_fuzzer(ipc_to_nvr fuzz_ipc_to_nvr.cpp kestrel_protocol)
