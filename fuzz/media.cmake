# Payloads of the live view's video packets, through the decoder and the conversion.
kestrel_add_fuzzer(h264_docoder fuzz_h264_docoder.cpp kestrel_media_decode)
