# The QR encoder takes a UID as a device sent it.
kestrel_add_fuzzer(qr_encoder fuzz_qr_encoder.cpp kestrel_qr)
