# Compiler warnings for our own targets (Qt's, FFTW's and GoogleTest's
# headers come in as system headers, so they stay quiet).
#
# h452_warnings(target) gives one target the warning set. Every C or C++
# target defined in the project gets it at the end of the configure step
# even when its folder forgot the call (h452_warnings_everywhere), so a new
# test or tool cannot slip through without warnings.
#
# H452_WERROR=ON turns every warning into an error; CI builds that way so a
# warning cannot land unnoticed.
option(H452_WERROR "Treat compiler warnings as errors" OFF)

function(h452_warnings target)
  get_target_property(done ${target} H452_WARNINGS_SET)
  if(done)
    return()
  endif()
  set_property(TARGET ${target} PROPERTY H452_WARNINGS_SET ON)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  if(H452_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Walks every folder below dir and applies h452_warnings to each target that
# compiles sources of its own (custom and interface targets have none).
function(h452_warnings_everywhere dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      h452_warnings(${t})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    h452_warnings_everywhere(${sub})
  endforeach()
endfunction()
