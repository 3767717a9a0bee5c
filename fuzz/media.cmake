# Payloads of the live view's video packets, through the decoder and the conversion.
kestrel_add_fuzzer(h264_docoder fuzz_h264_docoder.cpp kestrel_media_decode)

# The live stream's packet cutter.
kestrel_add_fuzzer(media_cutter fuzz_media_cutter.cpp kestrel_media)
