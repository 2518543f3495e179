# Installs the build BUILD below PREFIX and checks the layout: the program in
# bin (and that it runs), its manual page in share/man/man1.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file bin/vellum share/man/man1/vellum.1)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "${file} not installed")
  endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/vellum --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version MATCHES "^vellum ")
  message(FATAL_ERROR "installed vellum does not run: ${status} ${version}")
endif()
file(REMOVE_RECURSE ${PREFIX})
