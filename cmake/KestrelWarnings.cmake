# Warnings for our own targets; third-party headers come in as SYSTEM and stay quiet.
# KESTREL_WERROR turns them into errors: every preset (and so CI) sets it, while a plain
# configure leaves it off, so that a compiler or optimisation level we have not tried
# cannot stop a packager's build.
option(KESTREL_WERROR "Treat compiler warnings as errors" OFF)

function(kestrel_set_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wformat=2 $<$<BOOL:${KESTREL_WERROR}>:-Werror>
    # GCC 12 reports overlapping copies inside std::string's own concatenation when it
    # inlines it at -O3 (a false report of that compiler, fixed in 13).
    $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
endfunction()
