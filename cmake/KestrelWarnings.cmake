# Warnings for our own targets; third-party headers come in as SYSTEM and stay quiet.
function(kestrel_set_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wformat=2 -Werror)
endfunction()
