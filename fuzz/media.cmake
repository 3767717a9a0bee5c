# The live stream's packet cutter.
kestrel_add_fuzzer(media_cutter fuzz_media_cutter.cpp kestrel_media)
