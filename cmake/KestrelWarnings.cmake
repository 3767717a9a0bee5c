# Warnings for our own targets; third-party headers come in as SYSTEM and stay quiet.
# KESTREL_WERROR turns them into errors: every preset (and so CI) sets it, while a plain
# configure leaves it off, so that a compiler or optimisation level we have not tried
# cannot stop a packager's build.
option(KESTREL_WERROR "Treat compiler warnings as errors" OFF)

function(kestrel_set_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wformat=2 $<$<BOOL:${KESTREL_WERROR}>:-Werror>)
endfunction()
