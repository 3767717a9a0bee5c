# Parsers of device input in the protocol layer.
kestrel_add_fuzzer(dev_info fuzz_dev_info.cpp kestrel_protocol)
kestrel_add_fuzzer(dev_ability fuzz_dev_ability.cpp kestrel_protocol)
kestrel_add_fuzzer(key_command fuzz_key_command.cpp kestrel_protocol)
kestrel_add_fuzzer(config_text fuzz_config_text.cpp kestrel_protocol)
kestrel_add_fuzzer(sensor_records fuzz_sensor_records.cpp kestrel_protocol)
