# Parsers of what crosses a firmware transfer connection: the station's reading of the
# device's answers, and the simulated device's reading of the file head.
kestrel_add_fuzzer(upg_answers fuzz_upg_answers.cpp kestrel_upgrade)
kestrel_add_fuzzer(sim_upg_head fuzz_sim_upg_head.cpp kestrel_devsim)
