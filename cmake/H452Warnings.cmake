# Warnings for our own targets only (Qt's and FFTW's headers are system headers).
function(h452_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()
