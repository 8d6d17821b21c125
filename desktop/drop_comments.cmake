# Run by CPack on the staged package, after stripping: removes the .comment
# section (the compiler's name and version) from every ELF file.
file(GLOB_RECURSE staged LIST_DIRECTORIES false ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
foreach(file IN LISTS staged)
  file(READ ${file} magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND ${CPACK_GALLOWS_OBJCOPY} --remove-section=.comment ${file}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "objcopy failed on ${file}")
    endif()
  endif()
endforeach()
