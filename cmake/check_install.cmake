# Installs the build BUILD below PREFIX and checks the layout: the program in
# bin (and that it runs), its manual page compressed in share/man/man1 (and
# that it is the page), the bash, zsh and fish completions where those shells
# look, and the copyright file.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file bin/vellum share/man/man1/vellum.1.gz share/bash-completion/completions/vellum
        share/zsh/vendor-completions/_vellum share/fish/vendor_completions.d/vellum.fish
        share/doc/vellum/copyright)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "${file} not installed")
  endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/vellum --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version MATCHES "^vellum ")
  message(FATAL_ERROR "installed vellum does not run: ${status} ${version}")
endif()
execute_process(COMMAND gzip -dc ${PREFIX}/share/man/man1/vellum.1.gz OUTPUT_VARIABLE page RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT page MATCHES "^\\.TH VELLUM 1")
  message(FATAL_ERROR "the installed manual page is not vellum.1: ${status}")
endif()
file(READ ${PREFIX}/share/bash-completion/completions/vellum bash_completion)
if(NOT bash_completion MATCHES "complete .*-F _vellum vellum")
  message(FATAL_ERROR "the bash completion does not complete vellum")
endif()
file(REMOVE_RECURSE ${PREFIX})
