# The line check's reader of login replies.
kestrel_add_fuzzer(login_answer fuzz_login_answer.cpp kestrel_check)
